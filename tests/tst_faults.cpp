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
#include "modalcloser.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
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

    bool startSim(const QStringList& fault)
    {
        return f_.sim.start(
            QStringList {"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery", "--font-dir", fonts_.path()}
            + fault);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path()));
        DialogReconnect::setRetryDelay(100);
        ReconnectBackoff::setTimes(100, 100, 60000);
    }
    void init()
    {
        MessageBox::resetForTests();
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
    }

    // The pages load through the fault; where the link goes, the reconnect
    // dialog brings the window back to the printer, sound again.
    void windowThroughTheFault_data()
    {
        QTest::addColumn<FakePrinter::Faults>("faults");
        QTest::addColumn<int>("drops"); // 0: never; 1: after the window came up; 2: before
        const QByteArray junk = QByteArray::fromHex("5aa510"), header = QByteArray::fromHex("1001110c2f5a");
        QTest::newRow("3-byte pieces") << FakePrinter::Faults {3, 1, {}, {}, -1, false} << 0;
        QTest::newRow("junk, a header's start") << FakePrinter::Faults {0, 1, junk, header, -1, false} << 0;
        QTest::newRow("both, 7-byte pieces") << FakePrinter::Faults {7, 1, junk, header, -1, false} << 0;
        QTest::newRow("handshake answered twice") << FakePrinter::Faults {0, 2, {}, {}, -1, false} << 0;
        // The answer is 68 bytes; replies 1, 2 and 3 are 196, 260 and 52.
        QTest::newRow("closed after 3 replies") << FakePrinter::Faults {0, 1, {}, {}, 68 + 196 + 260 + 52, false} << 1;
        QTest::newRow("reset inside reply 2") << FakePrinter::Faults {0, 1, {}, {}, 68 + 196 + 130, true} << 1;
        QTest::newRow("reset inside reply 1, pieces") << FakePrinter::Faults {5, 1, {}, {}, 68 + 98, true} << 1;
        // The idle watchdog ends the wait.
        QTest::newRow("handshake never answered") << FakePrinter::Faults {0, 0, {}, {}, -1, false} << 2;
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
        const auto sound = [this] { f_.link->tcpPrinter()->setHeartbeatInterval(TcpPrinter::kDefaultTickMs); };
        connect(f_.link.get(), &Transceiver::disconnected, &printer, sound);
        // Queued after the window's own: a reply counts once the window has it.
        QSet<int> replies;
        const auto count
            = [&replies](const QByteArray& reply) { replies.insert(reply.isEmpty() ? 0 : quint8(reply[0])); };
        connect(&hostCmd, &HostCmd::responseReceived, &printer, count, Qt::QueuedConnection);
        QVERIFY(f_.link->openTcp(printer.address()));
        QTRY_VERIFY_WITH_TIMEOUT(window_->statusLabel()->text() == f_.connectedText()
                && replies.contains({2, 3, 4, 5, 6})
                && fieldOf(*window_->widgetDeviceInformation(), "Model:")->text() == "LQ560-4G",
            15000);
        QCOMPARE(lastRead.audio.bytes().toHex(), QByteArray("03010101010101"));
        QCOMPARE(printer.connections, drops ? 2 : 1);
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // The simulator refuses an upload too large to hold or a file name that
    // would leave the font folder, with a non-zero status. Then it stops
    // reading in the middle of a font: the upload fails with a word to the
    // user, and the link comes back.
    void uploadsRefusedOrStalled()
    {
        QVERIFY(startSim({"--fault-stall-upload", "1048576"}) && f_.connectTcp());
        Responses replies({FileUpload::kReplyId});
        for (const auto& [path, size] : {std::pair<QByteArray, quint32> {"/data/PUB/fonts/Huge.ttf", 0xFFFFFFFFu},
                 {"/data/PUB/fonts/Big.ttf", (64u << 20) + 1}, {"/data/PUB/fonts/../escape.ttf", 100u},
                 {"/etc/escape.ttf", 100u}})
            QVERIFY(hostCmd.requestUpload(path, size));
        QVERIFY(replies.waitFor(4));
        for (const QByteArray& reply : qAsConst(replies.records))
            QVERIFY(RecordReader(reply).u16(2) != 0);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("../escape.ttf")));

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
        QVERIFY(MessageBox::takeShown().value(0).text.endsWith("The printer stopped taking the file."));
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), f_.connectedText(), 15000);
        QCOMPARE(QDir(fonts_.path()).entryList(QDir::Files), QStringList({"DejaVuSansMono.ttf", "fonts.conf"}));
        QCOMPARE(modal.seen, QStringList());
    }

    // The USB device closes once the handshake and two read requests came
    // in: the window goes back to Not Connected, offering no TCP reconnect.
    void usbLinkClosedByThePrinter()
    {
        conf.vidPidList = {0x5A7C0002u};
        FakeUsbTree tree;
        QVERIFY(tree.addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(startSim({"--usb-pty", tree.devRoot() + "/lp0", "--fault-pty-close-after", "70"}));
        ModalCloser modal;
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(f_.link->openUsb(tree.lp0(), false) && disconnected.wait(15000));
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
        QVERIFY(window_->connectAction()->isEnabled() && !window_->tabWidget()->isEnabled());
        QCOMPARE(modal.seen, QStringList());
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
