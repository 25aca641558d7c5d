// The USB link against the printer simulator on a pseudo-terminal, found
// through a fake sysfs tree: the connect dialog's probe, unplugging, and a
// font upload.

#include "app/conf.h"
#include "link/fileupload.h"
#include "link/recordlayouts.h"
#include "link/usbprinter.h"
#include "usb/usbtestsupport.h"

#include <csignal>

class TestUsbEndToEnd : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<FakeUsbTree> tree_;

    QString usbPath() const { return tree_->interfacePath("lp0", "5a7c", "0002"); }

    // The simulator links the node itself; sysfs shows the printer's IDs.
    bool startPrinter(const QStringList& arguments = {})
    {
        return tree_->addPrinter("lp0", "5a7c", "0002")
            && f_.sim.start(QStringList {"--usb-pty", tree_->devRoot() + "/lp0"} + arguments);
    }

    bool connectLink()
    {
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        return f_.link->openUsb(usbPath(), false) && connected.wait(15000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init()
    {
        conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u};
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->isValid());
        f_.makeLink();
    }
    void cleanup()
    {
        QCOMPARE(f_.dropLink(), 0);
        tree_.reset();
    }

    void probeFindsThePrinterWithoutConnecting()
    {
        QVERIFY(startPrinter({"--project", "LQ230"}));
        QCOMPARE(UsbPrinter::enumerate(), QStringList {usbPath()});
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        // deviceFound comes from the reader thread; count it on this one, as
        // the connect dialog does. The Transceiver's own slot was queued first.
        QObject receiver;
        QList<host_cmd_dev_info_t> found;
        connect(&hostCmd, &HostCmd::deviceFound, &receiver, [&found](host_cmd_dev_info_t info) { found.append(info); });

        QVERIFY(f_.link->openUsb(usbPath(), true));
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 15000);
        QCOMPARE(QByteArray(found[0].project), QByteArray("LQ230"));
        QCOMPARE(connected.size(), 0);
        QCOMPARE(f_.link->usbPrinter()->interfaceName(), usbPath());

        f_.link->close();
        QCOMPARE(disconnected.size(), 1);
        // Then the user connects to what the probe found.
        QVERIFY(connectLink());
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }

    void unplugClosesTheLink()
    {
        QVERIFY(startPrinter());
        QVERIFY(connectLink());
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        const qint64 mark = logSize();
        QVERIFY(::kill(pid_t(f_.sim.process().processId()), SIGUSR1) == 0);
        QVERIFY(disconnected.wait(15000));

        QStringList seen;
        for (const QString& message : logMessagesSince(mark)) {
            if (message.startsWith("ReadFile failed") || message == "thread exited" || message == "USB closed.")
                seen.append(message);
        }
        QCOMPARE(seen, QStringList({"ReadFile failed (err=19).", "thread exited", "USB closed."}));
        QVERIFY(f_.link->usbPrinter()->interfaceName().isEmpty());

        // The link state stays until somebody closes it.
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Usb));
        QVERIFY(!f_.link->write("x", 1, 100));
        QVERIFY(!f_.link->openUsb(usbPath(), false));
        f_.link->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        // The node went with the printer.
        const qint64 reopen = logSize();
        QVERIFY(!f_.link->openUsb(usbPath(), false));
        QCOMPARE(logMessagesSince(reopen), QStringList {"CreateFile failed (err=2)."});
    }

    // A USB printer does not notice the device being reopened, so a USB
    // upload cannot be cancelled: it runs to its end.
    void fontUploadOverUsb()
    {
        QTemporaryDir fonts;
        QVERIFY(fonts.isValid());
        QVERIFY(startPrinter({"--font-dir", fonts.path()}));
        QVERIFY(connectLink());
        FileUpload upload;
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(10000);
        for (const char* name : {"Usb.ttf", "Second.ttf"}) {
            QVERIFY(upload.start(name, data));
            QVERIFY(!upload.canCancel());
            upload.cancel();
            QVERIFY(finished.wait(30000));
            QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
            QCOMPARE(readFile(QDir(fonts.path()).filePath(name)), data);
        }
    }
};

QTEST_GUILESS_MAIN(TestUsbEndToEnd)
#include "tst_usb_e2e.moc"
