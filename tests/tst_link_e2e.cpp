// The links to the printer simulator: the promises every link keeps, each
// row run over TCP and over USB (the simulator's pseudo-terminal, found
// through a fake sysfs tree); then what is the TCP link's own (heartbeat,
// nonce, bursts, a reset, refusal) and the USB link's own (probe, unplug,
// an upload that cannot be cancelled, nor reopens the link).

#include "app/conf.h"
#include "link/fileupload.h"
#include "link/lastread.h"
#include "link/tcpprinter.h"
#include "link/usbprinter.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "usb/usbtestsupport.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <sys/socket.h>

class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<FakeUsbTree> tree_;

    QString usbPath() const { return tree_->interfacePath("lp0", "5a7c", "0002"); }

    // One printer on both media; the simulator links the USB node itself.
    bool startPrinter(const QStringList& arguments = {})
    {
        return tree_->addPrinter("lp0", "5a7c", "0002")
            && f_.sim.start(QStringList {"--usb-pty", tree_->devRoot() + "/lp0"} + arguments);
    }

    static void addLinks()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("tcp") << false;
        QTest::newRow("usb") << true;
    }
    bool open(bool usb) { return usb ? f_.link->openUsb(usbPath(), false) : f_.link->openTcp(f_.sim.address()); }
    bool connectLink(bool usb)
    {
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        return open(usb) && connected.wait(15000);
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

    void handshakeThenRepliesInOrder_data() { addLinks(); }
    void handshakeThenRepliesInOrder()
    {
        QFETCH(bool, usb);
        QVERIFY(startPrinter({"--project", "LQ560", "--model", "LQ560-4G-CN-2024", "--sn", "SIM0000000000001"}));
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QVERIFY(open(usb));
        // Nothing before the printer answered.
        QCOMPARE(connected.size(), 0);
        QVERIFY(connected.wait(15000));
        QCOMPARE(f_.link->linkState(), qint32(usb ? Transceiver::Usb : Transceiver::Tcp));
        QVERIFY(hostCmd.sessionKey() != packet::Key {});

        // Replies under the key the printer derived, each as long as its type needs.
        const QList<QByteArray> records = requestRecords({1, 2, 3, 4, 5, 6, 2});
        QCOMPARE(records.size(), 7);
        const quint16 expected[] = {1, 2, 3, 4, 5, 6, 2};
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(RecordReader(records[i]).u16(layout::kIdOffset), expected[i]);
            QVERIFY(records[i].size() >= layout::readtype::kMinLength[expected[i]]);
        }
        const RecordReader info(records[0]);
        QCOMPARE(info.latin1(layout::deviceinfo::kModel, 16), QString("LQ560-4G-CN-2024"));
        QCOMPARE(info.latin1(layout::deviceinfo::kSn, 24), QString("SIM0000000000001"));
        QCOMPARE(connected.size(), 1);
    }

    void writesReachThePrinterAndAreCounted_data() { addLinks(); }
    void writesReachThePrinterAndAreCounted()
    {
        QFETCH(bool, usb);
        QVERIFY(startPrinter() && connectLink(usb));
        const QByteArray before = requestRecords({layout::readtype::kAudio}).value(0);
        QVERIFY(before.size() >= layout::audio::kSize);

        QSignalSpy written(f_.link.get(), &Transceiver::bytesWritten);
        // Every audio switch flipped from what the printer reported.
        QByteArray record = QByteArray::fromHex("0301") + before.mid(2, 5);
        for (int i = 2; i < 6; ++i)
            record[i] = char(record[i] ^ 1);
        record[6] = char(record[6] ^ 3);
        QVERIFY(hostCmd.sendRecord(record));
        // A 7-byte record travels as one block behind the header.
        const auto total = [&written] {
            qint64 sum = 0;
            for (const QList<QVariant>& arguments : written)
                sum += arguments.at(0).value<qint64>();
            return sum;
        };
        QTRY_COMPARE_WITH_TIMEOUT(total(), qint64(20), 15000);
        QCOMPARE(requestRecords({layout::readtype::kAudio}).value(0).mid(2, 5), record.mid(2));
    }

    void closeReportsDisconnectedOnce_data() { addLinks(); }
    void closeReportsDisconnectedOnce()
    {
        QFETCH(bool, usb);
        QVERIFY(startPrinter() && connectLink(usb));
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        f_.link->close();
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
        f_.link->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
        QVERIFY(!f_.link->write("x", 1, 100));
        // And the link can be had again.
        QVERIFY(connectLink(usb));
    }

    void heartbeatDropsASilentLink()
    {
        QVERIFY(f_.sim.start({"--keepalive-ms", "0"}));
        f_.link->tcpPrinter()->setHeartbeatInterval(20);
        QVERIFY(f_.connectTcp());
        QSignalSpy down(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(down.wait(15000));
        QVERIFY(readFile("log.txt").contains("] Heartbeat lost (tcpprinter.cpp,"));
        // The link state stays until somebody closes it.
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Tcp));
        QVERIFY(!f_.link->openTcp(f_.sim.address()));
    }

    void keepAlivePacketsHoldTheLink()
    {
        // Keep-alives every 50 ms against a 15 x 100 ms watchdog.
        QVERIFY(f_.sim.start({"--keepalive-ms", "50"}));
        f_.link->tcpPrinter()->setHeartbeatInterval(100);
        QVERIFY(f_.connectTcp());
        QSignalSpy down(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(!down.wait(3000));
        QCOMPARE(requestRecords({layout::readtype::kSerial}).size(), 1);
    }

    void shiftSelectsTheFixedNonce_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("shift alone") << int(Qt::ShiftModifier) << true;
        QTest::newRow("shift and control") << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
        QTest::newRow("no source handed in") << -1 << false;
    }
    void shiftSelectsTheFixedNonce()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, fixed);
        QVERIFY(f_.sim.start());
        if (modifiers >= 0)
            f_.link->setModifierSource([modifiers] { return Qt::KeyboardModifiers(modifiers); });
        const quint32 before = quint32(QDateTime::currentSecsSinceEpoch());
        QVERIFY(f_.connectTcp());
        if (fixed)
            QCOMPARE(hostCmd.nonce(), 1u);
        else
            QVERIFY(hostCmd.nonce() >= before);
        // The printer derived the same session key from that nonce.
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }

    void burstOfRepliesIsReadWhole()
    {
        // More reply bytes than one 8 KiB read, and no later traffic to
        // trigger another read notification.
        QVERIFY(f_.sim.start({"--keepalive-ms", "0"}));
        QVERIFY(f_.connectTcp());
        const QList<QByteArray> records = requestRecords(QVector<quint16>(40, layout::readtype::kWnet).toList());
        QCOMPARE(records.size(), 40);
        for (const QByteArray& record : records)
            QCOMPARE(RecordReader(record).u16(0), layout::readtype::kWnet);
    }

    void writeIntoAResetLinkLeavesTheEditUnsaved()
    {
        // A printer of our own on the printer port, which resets the link
        // before the event loop has seen it: the write finds out.
        QTcpServer printer;
        QVERIFY(printer.listen(f_.sim.address(), TcpPrinter::kPort));
        QSignalSpy up(f_.link->tcpPrinter(), &TcpPrinter::connected);
        QVERIFY(f_.link->openTcp(f_.sim.address()) && up.wait(15000));
        QVERIFY(printer.hasPendingConnections() || printer.waitForNewConnection(5000));
        QTcpSocket* peer = printer.nextPendingConnection();
        const linger reset {1, 0};
        QCOMPARE(::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
        peer->abort();
        pollfd seen {int(f_.link->tcpPrinter()->findChild<QTcpSocket*>()->socketDescriptor()), POLLIN, 0};
        QCOMPARE(::poll(&seen, 1, 5000), 1);

        settings::AudioSettings copy;
        settings::AudioSettings edit;
        edit.setFlag(settings::AudioSettings::All, true);
        QCOMPARE(LastRead::send(copy, edit), LastRead::Save::Failed);
        QCOMPARE(copy, settings::AudioSettings());
    }

    void refusedConnectionIsNoLink()
    {
        QVERIFY(!f_.link->write("x", 1, 100));
        QVERIFY(!hostCmd.requestRecord(1));
        // Nothing listens on the printer port of this address.
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QVERIFY(!f_.link->openTcp(f_.sim.address()));
        QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty()
                && states.last().at(0).value<QAbstractSocket::SocketState>() == QAbstractSocket::UnconnectedState,
            15000);
        QCOMPARE(connected.size(), 0);
        QVERIFY(readFile("log.txt").contains("] error=0 (tcpprinter.cpp,")); // ConnectionRefusedError
        f_.link->close();
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
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
        QVERIFY(connectLink(true));
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }

    void unplugClosesTheLink()
    {
        QVERIFY(startPrinter());
        QVERIFY(connectLink(true));
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
    // upload cannot be cancelled, nor does it ever reopen the link.
    void fontUploadOverUsb()
    {
        QTemporaryDir fonts;
        QVERIFY(fonts.isValid());
        QVERIFY(startPrinter({"--font-dir", fonts.path()}));
        QVERIFY(connectLink(true));
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
        // A request the printer never gets fails, and the link stays as it is.
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        QSignalSpy failed(&upload, &FileUpload::failed);
        upload.setReplyTimeout(50);
        hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
        QVERIFY(upload.start("Unheard.ttf", data));
        hostCmd.setWriter({});
        QVERIFY(failed.wait(5000));
        QVERIFY(disconnected.isEmpty());
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
