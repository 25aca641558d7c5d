// The Transceiver and its USB link against the printer simulator on a
// pseudo-terminal, found through a fake sysfs tree: handshake, reading every
// record, the connect dialog's probe, and unplugging.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "link/recordlayouts.h"
#include "link/records.h"
#include "link/transceiver.h"
#include "link/usbprinter.h"
#include "simprocess.h"
#include "testsupport.h"
#include "usb/usbtestsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

class TestUsbEndToEnd : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    std::unique_ptr<FakeUsbTree> tree_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;

    QString usbPath() const
    {
        return tree_->interfacePath(QStringLiteral("lp0"), QStringLiteral("5a7c"), QStringLiteral("0002"));
    }

    // The simulator links the node itself; sysfs shows the printer's IDs.
    bool startPrinter(const QStringList& arguments = {})
    {
        return tree_->addPrinter(QStringLiteral("lp0"), QStringLiteral("5a7c"), QStringLiteral("0002"))
            && sim_.start(QStringList {"--usb-pty", tree_->devRoot() + QStringLiteral("/lp0")} + arguments);
    }

    bool connectLink()
    {
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        return link_->openUsb(usbPath(), false) && connected.wait(15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
    }
    void cleanupTestCase() { logClose(); }

    void init()
    {
        conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u};
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->isValid());
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    void cleanup()
    {
        link_->close();
        link_.reset();
        transceiver = nullptr;
        QCOMPARE(sim_.stop(), 0);
        tree_.reset();
    }

    void handshakeAndFullRead()
    {
        QVERIFY(startPrinter({"--project", "LQ560", "--model", "LQ560-4G-CN-2024", "--sn", "SIM0000000000001"}));
        QCOMPARE(UsbPrinter::enumerate(), QStringList {usbPath()});
        QVERIFY(connectLink());
        QCOMPARE(link_->linkState(), qint32(Transceiver::Usb));
        QCOMPARE(link_->usbPrinter()->interfaceName(), usbPath());

        const QList<QByteArray> records = requestRecords({1, 2, 3, 4, 5, 6});
        QCOMPARE(records.size(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(RecordReader(records[i]).u16(layout::kIdOffset), quint16(i + 1));
        const RecordReader info(records[0]);
        QCOMPARE(info.latin1(layout::deviceinfo::kModel, 16), QString("LQ560-4G-CN-2024"));
        QCOMPARE(info.latin1(layout::deviceinfo::kSn, 24), QString("SIM0000000000001"));
    }

    void probeFindsThePrinterWithoutConnecting()
    {
        QVERIFY(startPrinter({"--project", "LQ230"}));
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QSignalSpy disconnected(link_.get(), &Transceiver::disconnected);
        // deviceFound comes from the reader thread; count it on this one, as
        // the connect dialog does. The Transceiver's own slot was queued first.
        QObject receiver;
        QList<host_cmd_dev_info_t> found;
        connect(&hostCmd, &HostCmd::deviceFound, &receiver, [&found](host_cmd_dev_info_t info) { found.append(info); });

        QVERIFY(link_->openUsb(usbPath(), true));
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 15000);
        QCOMPARE(QByteArray(found[0].project), QByteArray("LQ230"));
        QCOMPARE(connected.size(), 0);
        QCOMPARE(link_->usbPrinter()->interfaceName(), usbPath());

        link_->close();
        QCOMPARE(disconnected.size(), 1);
        // Then the user connects to what the probe found.
        QVERIFY(connectLink());
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }

    void unplugClosesTheLink()
    {
        QVERIFY(startPrinter());
        QVERIFY(connectLink());
        QSignalSpy disconnected(link_.get(), &Transceiver::disconnected);
        const qint64 mark = logSize();
        QVERIFY(::kill(pid_t(sim_.process().processId()), SIGUSR1) == 0);
        QVERIFY(disconnected.wait(15000));

        QStringList seen;
        for (const QString& message : logMessagesSince(mark)) {
            if (message.startsWith(QLatin1String("ReadFile failed")) || message == QLatin1String("thread exited")
                || message == QLatin1String("USB closed."))
                seen.append(message);
        }
        QCOMPARE(seen, QStringList({"ReadFile failed (err=19).", "thread exited", "USB closed."}));
        QVERIFY(link_->usbPrinter()->interfaceName().isEmpty());

        // The link state stays until somebody closes it.
        QCOMPARE(link_->linkState(), qint32(Transceiver::Usb));
        QVERIFY(!link_->write("x", 1, 100));
        QVERIFY(!link_->openUsb(usbPath(), false));
        link_->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        // The node went with the printer.
        const qint64 reopen = logSize();
        QVERIFY(!link_->openUsb(usbPath(), false));
        QCOMPARE(logMessagesSince(reopen), QStringList {"CreateFile failed (err=2)."});
    }

    // A font goes over USB as over TCP, but cannot be cancelled: a USB
    // printer does not notice the device being reopened.
    void fontUploadOverUsb()
    {
        QTemporaryDir fonts;
        QVERIFY(fonts.isValid());
        QVERIFY(startPrinter({"--font-dir", fonts.path()}));
        QVERIFY(connectLink());
        FileUpload upload;
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
        QSignalSpy finished(&upload, &FileUpload::finished);
        QByteArray data(10000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7);
        QVERIFY(upload.start("Usb.ttf", data));
        QVERIFY(finished.wait(30000));
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
        QCOMPARE(readFile(QDir(fonts.path()).filePath("Usb.ttf")), data);

        QVERIFY(upload.start("Second.ttf", data));
        QVERIFY(!upload.canCancel());
        upload.cancel();
        QVERIFY(finished.wait(30000));
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
        QCOMPARE(readFile(QDir(fonts.path()).filePath("Second.ttf")), data);
    }
};

QTEST_GUILESS_MAIN(TestUsbEndToEnd)
#include "tst_usb_e2e.moc"
