// The main window and the font dialog on a TCP or USB link to a simulator
// that misbehaves on purpose. Whatever the printer does, the event loop keeps
// turning, memory stays bounded, an unsaved edit stays unsaved and the window
// ends in a state it can go on from, never offering a TCP reconnect for USB.
// Also the simulator's refusals of malformed input.

#include "app/conf.h"
#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "link/lastread.h"
#include "link/usbprinter.h"
#include "linkfixture.h"
#include "loopwatch.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
#include "ui/dialogreconnect.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"
#include "usb/usbtestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTcpSocket>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

void forgetLastRead()
{
    lastRead.ethernetAddress = {};
    lastRead.wifiAddress = {};
    lastRead.printSettings = {};
    lastRead.apn = {};
    lastRead.serial = {};
    lastRead.audio = {};
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<DialogFontSettings> dialog_;
    std::unique_ptr<FakeUsbTree> tree_;

    QString simLogPath() const { return f_.dir.filePath(QStringLiteral("sim.log")); }
    QByteArray simLog() const { return readFile(simLogPath()); }

    QStringList simArguments(const QStringList& fault = {}) const
    {
        return QStringList {"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery", "--font-dir", fonts_.path(),
                   "--log", simLogPath()}
        + fault;
    }

    // Every page's copy came in: the whole reload went through.
    static bool everyPageRead()
    {
        for (const settings::Record* copy : std::initializer_list<const settings::Record*> {
                 &lastRead.wifiAddress, &lastRead.printSettings, &lastRead.serial, &lastRead.audio}) {
            if (copy->bytes().count('\0') == copy->bytes().size() - 2)
                return false;
        }
        return true;
    }

    bool connectLink()
    {
        return f_.link->openTcp(f_.sim.address())
            && QTest::qWaitFor([this] { return window_->statusLabel()->text() == f_.connectedText(); }, 15000);
    }

    bool loadedEverything()
    {
        return QTest::qWaitFor(
            [this] {
                return fieldOf(*window_->widgetDeviceInformation(), "Model:")->text() == "LQ560-4G" && everyPageRead();
            },
            15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path()));
        DialogReconnect::setRetryDelay(100);
    }
    void cleanupTestCase() { f_.cleanupCase(); }

    void init()
    {
        MessageBox::resetForTests();
        forgetLastRead();
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        QFile::remove(simLogPath());
    }
    void cleanup()
    {
        dialog_.reset();
        DialogFontSettings::setFileChooser({});
        window_.reset();
        f_.dropLink();
        tree_.reset();
    }

    // The pages load in full although the replies come in pieces, among
    // garbage or with a second handshake answer.
    void pagesLoadThroughTheFault_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("split") << QStringList {"--fault-split", "--fault-seed", "7"} << QByteArray("packet split at");
        QTest::newRow("garbage") << QStringList {"--fault-garbage", "--fault-seed", "11"}
                                 << QByteArray("bytes of a stray header after the packet");
        QTest::newRow("split and garbage")
            << QStringList {"--fault-split", "--fault-garbage", "--fault-seed", "13"} << QByteArray("packet split at");
        QTest::newRow("handshake twice") << QStringList {"--fault-handshake", "twice"}
                                         << QByteArray("answered a second time");
    }
    void pagesLoadThroughTheFault()
    {
        QFETCH(QStringList, fault);
        QFETCH(QByteArray, logged);
        QVERIFY(f_.sim.start(simArguments(fault)));
        LoopWatch watch;
        QVERIFY(connectLink());
        QVERIFY(loadedEverything());
        // A second reload, through the fault again, changes nothing.
        const QByteArray audio = lastRead.audio.bytes();
        forgetLastRead();
        window_->reloadAction()->setEnabled(true);
        window_->reloadAction()->trigger();
        QVERIFY(loadedEverything());
        QCOMPARE(lastRead.audio.bytes(), audio);
        QVERIFY(window_->tabWidget()->isEnabled());
        QVERIFY(simLog().contains(logged));
        QVERIFY(watch.turned());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // The printer drops the link while the pages load; the user's Save at
    // that moment fails and stays offered, and once the printer is back the
    // reconnect dialog brings the window back.
    void droppedLinkReconnects_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("drop after 3 replies")
            << QStringList {"--fault-drop-after", "3"} << QByteArray("connection closed after 3 replies");
        QTest::newRow("drop inside reply 2")
            << QStringList {"--fault-drop-mid", "2"} << QByteArray("connection aborted inside reply 2");
        QTest::newRow("drop inside reply 1, split") << QStringList {"--fault-drop-mid", "1", "--fault-split",
            "--fault-seed", "5"} << QByteArray("connection aborted inside reply 1");
    }
    void droppedLinkReconnects()
    {
        QFETCH(QStringList, fault);
        QFETCH(QByteArray, logged);
        QVERIFY(f_.sim.start(simArguments(fault)));
        LoopWatch watch;
        ModalCloser modal({"DialogReconnect"});

        WidgetAudio* audio = window_->widgetAudio();
        bool saveFailed = false;
        bool copyKept = false;
        bool restarted = false;
        QByteArray faultLog;
        // Ends the connection below with the test.
        QObject scope;
        // The user saves just as the link drops: the window has not heard
        // of it yet. Then the printer comes back without the fault.
        connect(f_.link.get(), &Transceiver::disconnected, &scope, [&] {
            if (restarted)
                return;
            restarted = true;
            const QByteArray copy = lastRead.audio.bytes();
            audio->findChildren<QCheckBox*>().constFirst()->click();
            audio->saveButton()->click();
            saveFailed = audio->saveButton()->isEnabled();
            copyKept = lastRead.audio.bytes() == copy;
            f_.sim.stop();
            faultLog = simLog();
            QFile::remove(simLogPath());
            f_.sim.start(simArguments());
        });

        // Back on line, the unsaved edit is not dropped without a word: the
        // user is asked, and here chooses the printer's values.
        MessageBox::queueAnswer(QMessageBox::Yes);
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QTRY_VERIFY_WITH_TIMEOUT(restarted, 15000);
        QVERIFY(saveFailed);
        QVERIFY(copyKept);
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), f_.connectedText(), 15000);
        QVERIFY(loadedEverything());
        const QList<MessageBox::Shown> asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).text, QString("Unsaved settings will be lost. Continue?"));
        QVERIFY(modal.opened.contains("DialogReconnect"));
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.turned());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
        QVERIFY(faultLog.contains(logged));
    }

    // The printer never answers the handshake: the window never claims a
    // connection, and a later connect to a sound printer works.
    void unansweredHandshakeStaysNotConnected()
    {
        QVERIFY(f_.sim.start(simArguments({"--fault-handshake", "never"})));
        LoopWatch watch;
        ModalCloser modal;
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QTRY_VERIFY_WITH_TIMEOUT(simLog().contains("fault: handshake nonce"), 15000);
        QTest::qWait(500);
        QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
        QVERIFY(window_->connectAction()->isEnabled());
        QVERIFY(!window_->tabWidget()->isEnabled());
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.turned());

        f_.link->close();
        QVERIFY(f_.sim.start(simArguments()));
        QVERIFY(connectLink());
        QVERIFY(loadedEverything());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // The printer stops reading in the middle of a font: the upload fails
    // with a word to the user, the link comes back and a later font installs.
    void stalledUploadFails()
    {
        QVERIFY(f_.sim.start(simArguments({"--fault-stall-upload", QString::number(kMiB)})));
        QVERIFY(connectLink());
        dialog_ = std::make_unique<DialogFontSettings>(window_.get());
        dialog_->show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontsTable()->rowCount() > 0, 15000);
        ModalCloser modal({"QProgressDialog"});
        // More than the kernel's buffers hold between the two.
        QString path = writeScratchFile("Stalled.ttf", fileData(int(32 * kMiB)));
        QVERIFY(!path.isEmpty());
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        dialog_->upload()->setBlockTimeout(1000);
        QSignalSpy failed(dialog_->upload(), &FileUpload::failed);
        QSignalSpy reconnected(f_.link.get(), &Transceiver::connected);
        LoopWatch watch;
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QVERIFY(simLog().contains("fault: stopped reading after"));
        QCOMPARE(failed.at(0).at(0).toString(), QString("The printer stopped taking the file."));
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.at(0).text.endsWith("The printer stopped taking the file."));
        QTRY_COMPARE_WITH_TIMEOUT(reconnected.size(), 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->progressDialog(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), f_.connectedText(), 15000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Stalled.ttf")));
        QCOMPARE(modal.seen, QStringList());

        // Below the point where the printer stops reading.
        const QByteArray data = fileData(10000);
        path = writeScratchFile("After.ttf", data);
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        dialog_->doAddFont();
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontNames().contains("After.ttf"), 30000);
        QCOMPARE(readFile(QDir(fonts_.path()).filePath("After.ttf")), data);
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(watch.turned());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    void usbWindowThroughTheFault_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<bool>("staysConnected");
        QTest::addColumn<bool>("closesByItself");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("split") << QStringList {"--fault-split", "--fault-seed", "3"} << true << false
                               << QByteArray("packet split at");
        QTest::newRow("garbage") << QStringList {"--fault-garbage", "--fault-seed", "4"} << true << false
                                 << QByteArray("garbage bytes before");
        // The handshake (20 bytes) and two read requests, then half of the third.
        QTest::newRow("pty closed after 70 bytes") << QStringList {"--fault-pty-close-after", "70"} << false << true
                                                   << QByteArray("USB closed after 70 bytes");
        QTest::newRow("pty closed inside the handshake") << QStringList {"--fault-pty-close-after", "10"} << false
                                                         << true << QByteArray("USB closed after 10 bytes");
        QTest::newRow("handshake never") << QStringList {"--fault-handshake", "never"} << false << false
                                         << QByteArray("not answered");
    }
    void usbWindowThroughTheFault()
    {
        QFETCH(QStringList, fault);
        QFETCH(bool, staysConnected);
        QFETCH(bool, closesByItself);
        QFETCH(QByteArray, logged);
        conf.vidPidList = {0x5A7C0002u};
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(f_.sim.start(simArguments(QStringList {"--usb-pty", tree_->devRoot() + "/lp0"} + fault)));
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
        LoopWatch watch;
        ModalCloser modal;
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(f_.link->openUsb(tree_->interfacePath("lp0", "5a7c", "0002"), false));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(simLogPath()).contains(logged), 15000);
        if (staysConnected) {
            QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Connected (USB)"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(
                fieldOf(*window_->widgetDeviceInformation(), "Model:")->text(), QString("LQ560-4G"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(lastRead.audio.bytes().left(2).toHex(), QByteArray("0301"), 15000);
        } else if (closesByItself) {
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
            QVERIFY(f_.link->usbPrinter()->interfaceName().isEmpty());
        } else {
            // Nothing ever comes: the window never claims a connection.
            QTest::qWait(500);
            QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
            f_.link->close();
        }
        if (!staysConnected) {
            QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
            QVERIFY(window_->connectAction()->isEnabled());
            QVERIFY(!window_->tabWidget()->isEnabled());
        }
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.turned());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }

    // Malformed input to the simulator is refused and logged, and the
    // connection goes on: packets that cannot be, an upload too large to
    // hold, file names that would leave the font folder.
    void simulatorRefusesMalformedInput_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("uploadPath");
        QTest::addColumn<quint32>("uploadSize");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("wrong magic") << QByteArray::fromHex("11011101") + QByteArray(16, 'x') << QByteArray() << 0u
                                     << QByteArray("do not start a packet: 11 01 11 01");
        QTest::newRow("block count above the maximum")
            << QByteArray::fromHex("10011120") + QByteArray(512, 'x') << QByteArray() << 0u
            << QByteArray("do not start a packet: 10 01 11 20");
        QTest::newRow("upload of 4 GiB") << QByteArray() << QByteArray("/data/PUB/fonts/Huge.ttf") << 0xFFFFFFFFu
                                         << QByteArray("refused an upload of 4294967295 bytes");
        QTest::newRow("upload of 64 MiB and one byte")
            << QByteArray() << QByteArray("/data/PUB/fonts/Big.ttf") << quint32(64 * kMiB + 1)
            << QByteArray("refused an upload of 67108865 bytes");
        QTest::newRow("upload to ../") << QByteArray() << QByteArray("/data/PUB/fonts/../escape.ttf") << 100u
                                       << QByteArray("refused an upload: ");
        QTest::newRow("upload to an absolute path elsewhere")
            << QByteArray() << QByteArray("/etc/escape.ttf") << 100u << QByteArray("refused an upload: ");
    }
    void simulatorRefusesMalformedInput()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, uploadPath);
        QFETCH(quint32, uploadSize);
        QFETCH(QByteArray, logged);
        QVERIFY(f_.sim.start(simArguments({"--keepalive-ms", "0"})));
        QTcpSocket socket;
        socket.connectToHost(f_.sim.address(), f_.sim.port());
        QVERIFY(socket.waitForConnected(5000));
        HostCmd host;
        host.setWriter([&socket](const quint8* data, quint32 length, int) {
            return socket.write(reinterpret_cast<const char*>(data), length) == qint64(length) && socket.flush();
        });
        connect(&socket, &QTcpSocket::readyRead, &host, [&] {
            const QByteArray bytes = socket.readAll();
            host.receiveAll(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()));
        });
        QSignalSpy found(&host, &HostCmd::deviceFound);
        QSignalSpy replies(&host, &HostCmd::responseReceived);
        if (!raw.isEmpty()) {
            socket.write(raw);
            QTRY_VERIFY_WITH_TIMEOUT(simLog().contains(logged), 10000);
        }
        // The connection still works.
        QVERIFY(host.sendHandshake(false));
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 10000);
        if (!uploadPath.isEmpty()) {
            QVERIFY(host.requestUpload(uploadPath, uploadSize));
            QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 10000);
            const QByteArray reply = replies.at(0).at(0).toByteArray();
            QCOMPARE(quint8(reply.at(0)), quint8(0x62));
            QVERIFY(quint8(reply.at(2)) != 0 || quint8(reply.at(3)) != 0);
            QVERIFY(simLog().contains(logged));
            QVERIFY(!simLog().contains("accepted an upload"));
        }
        QVERIFY(host.requestRecord(6));
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), uploadPath.isEmpty() ? 1 : 2, 10000);
        const QStringList files = QDir(fonts_.path()).entryList(QDir::Files);
        QVERIFY(!files.contains("Huge.ttf") && !files.contains("Big.ttf"));
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("../escape.ttf")));
        QCOMPARE(f_.sim.stop(), 0);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
