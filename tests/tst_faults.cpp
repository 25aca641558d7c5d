// The main window and the font dialog on a link to a printer that misbehaves
// on purpose: over TCP a printer played in this process, over USB and for a
// stalled upload the simulator. Whatever the printer does, memory stays
// bounded and the window ends in a state it can go on from, never offering a
// TCP reconnect for USB. Also the simulator's refusals of malformed uploads.

#include "app/conf.h"
#include "faketransport.h"
#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "link/lastread.h"
#include "link/usbprinter.h"
#include "linkfixture.h"
#include "loopwatch.h"
#include "modalcloser.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
#include "ui/dialogreconnect.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"
#include "usb/usbtestsupport.h"

#include <QAction>
#include <QTableWidget>

Q_DECLARE_METATYPE(FakePrinter::Faults)

class TestFaults : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    std::unique_ptr<MainWindow> window_;

    QString simLogPath() const { return f_.dir.filePath(QStringLiteral("sim.log")); }
    QByteArray simLog() const { return readFile(simLogPath()); }
    QStringList simArguments(const QStringList& fault = {}) const
    {
        return QStringList {"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery", "--font-dir", fonts_.path(),
                   "--log", simLogPath()}
        + fault;
    }

    // The window says `status`, and it was handed every page's reply.
    bool loaded(const QString& status)
    {
        return QTest::qWaitFor(
            [&] {
                return window_->statusLabel()->text() == status && replies_.contains({2, 3, 4, 5, 6})
                    && fieldOf(*window_->widgetDeviceInformation(), "Model:")->text() == "LQ560-4G";
            },
            15000);
    }
    QSet<int> replies_;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path()));
        DialogReconnect::setRetryDelay(100);
        ReconnectBackoff::setTimes(100, 100, 60000);
    }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init()
    {
        MessageBox::resetForTests();
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        replies_.clear();
        // Queued after the window's own: a reply counts once the window has it.
        connect(
            &hostCmd, &HostCmd::responseReceived, window_.get(),
            [this](const QByteArray& reply) { replies_.insert(reply.isEmpty() ? 0 : quint8(reply[0])); },
            Qt::QueuedConnection);
        QFile::remove(simLogPath());
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
    }

    // The pages load through the fault; where the link goes, the reconnect
    // dialog brings the window back once the printer is sound again.
    void windowThroughTheFault_data()
    {
        QTest::addColumn<FakePrinter::Faults>("faults");
        QTest::addColumn<int>("drops"); // 0: never; 1: after the window came up; 2: before
        const QByteArray junk = QByteArray::fromHex("5aa510"), header = QByteArray::fromHex("1001110c2f5a");
        QTest::newRow("3-byte pieces") << FakePrinter::Faults {3, {}, {}, 1, -1, false} << 0;
        QTest::newRow("junk, a header's start") << FakePrinter::Faults {0, junk, header, 1, -1, false} << 0;
        QTest::newRow("both, 7-byte pieces") << FakePrinter::Faults {7, junk, header, 1, -1, false} << 0;
        QTest::newRow("handshake answered twice") << FakePrinter::Faults {0, {}, {}, 2, -1, false} << 0;
        // The answer is 68 bytes; replies 1, 2 and 3 are 196, 260 and 52.
        QTest::newRow("closed after 3 replies") << FakePrinter::Faults {0, {}, {}, 1, 68 + 196 + 260 + 52, false} << 1;
        QTest::newRow("reset inside reply 2") << FakePrinter::Faults {0, {}, {}, 1, 68 + 196 + 130, true} << 1;
        QTest::newRow("reset inside reply 1, pieces") << FakePrinter::Faults {5, {}, {}, 1, 68 + 98, true} << 1;
        // The idle watchdog ends the wait.
        QTest::newRow("handshake never answered") << FakePrinter::Faults {0, {}, {}, 0, -1, false} << 2;
    }
    void windowThroughTheFault()
    {
        QFETCH(FakePrinter::Faults, faults);
        QFETCH(int, drops);
        FakePrinter printer;
        QVERIFY(printer.listen());
        printer.faults = faults;
        f_.link->tcpPrinter()->setHeartbeatInterval(drops == 2 ? 20 : TcpPrinter::kDefaultTickMs);
        LoopWatch watch;
        ModalCloser modal({"DialogReconnect"});
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        int claimed = -1;
        QObject scope;
        connect(f_.link.get(), &Transceiver::disconnected, &scope, [&] {
            claimed = claimed < 0 ? int(connected.size()) : claimed;
            printer.faults = {};
            f_.link->tcpPrinter()->setHeartbeatInterval(TcpPrinter::kDefaultTickMs);
        });
        QVERIFY(f_.link->openTcp(printer.address()));
        QTRY_COMPARE_WITH_TIMEOUT(printer.connections, drops ? 2 : 1, 15000);
        QVERIFY(loaded(f_.connectedText()));
        QCOMPARE(lastRead.audio.bytes().toHex(), QByteArray("03010101010101"));
        QCOMPARE(claimed, drops ? int(drops == 1) : -1);
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // The printer stops reading in the middle of a font: the upload fails
    // with a word to the user, and the link comes back.
    void stalledUploadFails()
    {
        QVERIFY(f_.sim.start(simArguments({"--fault-stall-upload", "1048576"})));
        QVERIFY(f_.connectTcp());
        auto* dialog = new DialogFontSettings(window_.get());
        dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->installedFontsTable()->rowCount() > 0, 15000);
        ModalCloser modal({"QProgressDialog"});
        // More than the kernel's buffers hold between the two.
        const QString path = writeScratchFile("Stalled.ttf", fileData(32 << 20));
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        dialog->upload()->setBlockTimeout(1000);
        QSignalSpy failed(dialog->upload(), &FileUpload::failed);
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QVERIFY(simLog().contains("fault: stopped reading after"));
        QVERIFY(MessageBox::takeShown().value(0).text.endsWith("The printer stopped taking the file."));
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), f_.connectedText(), 15000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Stalled.ttf")));
        QCOMPARE(modal.seen, QStringList());
    }

    // The USB device closes once the handshake and two read requests came
    // in: the window goes back to Not Connected, offering no TCP reconnect.
    void usbLinkClosedByThePrinter()
    {
        conf.vidPidList = {0x5A7C0002u};
        FakeUsbTree tree;
        QVERIFY(tree.addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(f_.sim.start(simArguments({"--usb-pty", tree.devRoot() + "/lp0", "--fault-pty-close-after", "70"})));
        LoopWatch watch;
        ModalCloser modal;
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(f_.link->openUsb(tree.interfacePath("lp0", "5a7c", "0002"), false));
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
        QVERIFY(simLog().contains("USB closed after 70 bytes"));
        QVERIFY(f_.link->usbPrinter()->interfaceName().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
        QVERIFY(window_->connectAction()->isEnabled() && !window_->tabWidget()->isEnabled());
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // The simulator refuses an upload too large to hold or a file name that
    // would leave the font folder, with a non-zero status, and logs it.
    void simulatorRefusesMalformedUploads_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<quint32>("size");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("4 GiB") << QByteArray("/data/PUB/fonts/Huge.ttf") << 0xFFFFFFFFu
                               << QByteArray("refused an upload of 4294967295 bytes");
        QTest::newRow("64 MiB and one byte") << QByteArray("/data/PUB/fonts/Big.ttf") << quint32(64 << 20) + 1
                                             << QByteArray("refused an upload of 67108865 bytes");
        QTest::newRow("to ../") << QByteArray("/data/PUB/fonts/../escape.ttf") << 100u
                                << QByteArray("refused an upload: ");
        QTest::newRow("elsewhere") << QByteArray("/etc/escape.ttf") << 100u << QByteArray("refused an upload: ");
    }
    void simulatorRefusesMalformedUploads()
    {
        QFETCH(QByteArray, path);
        QFETCH(quint32, size);
        QFETCH(QByteArray, logged);
        QVERIFY(f_.sim.start(simArguments()) && f_.connectTcp());
        Responses replies({FileUpload::kReplyId});
        QVERIFY(hostCmd.requestUpload(path, size) && replies.waitFor(1));
        QVERIFY(RecordReader(replies.records.value(0)).u16(2) != 0);
        QVERIFY(simLog().contains(logged) && !simLog().contains("accepted an upload"));
        QCOMPARE(QDir(fonts_.path()).entryList(QDir::Files), QStringList({"DejaVuSansMono.ttf", "fonts.conf"}));
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("../escape.ttf")));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
