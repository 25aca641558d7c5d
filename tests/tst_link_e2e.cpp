// The Transceiver and its TCP link against the printer simulator over real
// loopback sockets: handshake, reading every record, writing settings, the
// heartbeat watchdog.

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/recordlayouts.h"
#include "link/records.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray logText()
{
    return readFile("log.txt");
}

} // namespace

class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;

    QString statePath() const { return dir_.filePath("printer.json"); }

    bool connectLink()
    {
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        if (!link_->openTcp(sim_.address()))
            return false;
        return connected.wait(15000);
    }

    // Sends the requests and collects one reply per request, in order.
    QList<QByteArray> request(const QList<quint16>& types)
    {
        QSignalSpy responses(&hostCmd, &HostCmd::responseReceived);
        for (quint16 type : types) {
            if (!hostCmd.requestRecord(type))
                return {};
        }
        while (responses.size() < types.size()) {
            if (!responses.wait(15000))
                break;
        }
        QList<QByteArray> records;
        for (const QList<QVariant>& arguments : responses)
            records.append(arguments.at(0).toByteArray());
        return records;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
    }
    void cleanupTestCase() { logClose(); }

    void init()
    {
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
    }

    void handshakeAndFullRead()
    {
        QVERIFY(sim_.start(
            {"--project", "LQ560", "--model", "LQ560-4G-CN-2024", "--sn", "SIM0000000000001", "--state", statePath()}));
        QVERIFY(connectLink());
        QVERIFY(hostCmd.sessionKey() != packet::Key {});

        const QList<QByteArray> records = request({1, 2, 3, 4, 5, 6});
        QCOMPARE(records.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const RecordReader reader(records[i]);
            QCOMPARE(reader.u16(layout::kIdOffset), quint16(i + 1));
            QVERIFY2(reader.size() >= layout::readtype::kMinLength[i + 1], qPrintable(QString::number(i + 1)));
        }
        const RecordReader info(records[0]);
        QCOMPARE(info.latin1(layout::deviceinfo::kModel, 16), QString("LQ560-4G-CN-2024"));
        QCOMPARE(info.latin1(layout::deviceinfo::kSn, 24), QString("SIM0000000000001"));
    }

    void settingsRecordIsApplied()
    {
        QVERIFY(sim_.start({"--state", statePath()}));
        QVERIFY(connectLink());
        const QByteArray before = request({layout::readtype::kAudio}).value(0);
        QVERIFY(before.size() >= layout::audio::kSize);

        // Every audio switch flipped from what the printer reported.
        QByteArray record = QByteArray::fromHex("0301") + before.mid(2, 5);
        for (int i = 2; i < 6; ++i)
            record[i] = char(record[i] ^ 1);
        record[6] = char(record[6] ^ 3);
        QVERIFY(hostCmd.sendRecord(record));
        QCOMPARE(request({layout::readtype::kAudio}).value(0).mid(2, 5), record.mid(2));

        // The printer keeps it across a restart.
        link_->close();
        QCOMPARE(sim_.stop(), 0);
        QVERIFY(sim_.start({"--state", statePath()}));
        QVERIFY(connectLink());
        QCOMPARE(request({layout::readtype::kAudio}).value(0).mid(2, 5), record.mid(2));
    }

    void heartbeatDropsASilentLink()
    {
        QVERIFY(sim_.start({"--keepalive-ms", "0"}));
        link_->tcpPrinter()->setHeartbeatInterval(20);
        QVERIFY(connectLink());
        QSignalSpy down(link_.get(), &Transceiver::disconnected);
        QVERIFY(down.wait(15000));
        QVERIFY(logText().contains("] Heartbeat lost (tcpprinter.cpp,"));
        // The link state stays until somebody closes it.
        QCOMPARE(link_->linkState(), qint32(Transceiver::Tcp));
        QVERIFY(!link_->openTcp(sim_.address()));
    }

    void keepAlivePacketsHoldTheLink()
    {
        // Keep-alives every 50 ms against a 15 x 100 ms watchdog.
        QVERIFY(sim_.start({"--keepalive-ms", "50"}));
        link_->tcpPrinter()->setHeartbeatInterval(100);
        QVERIFY(connectLink());
        QSignalSpy down(link_.get(), &Transceiver::disconnected);
        QVERIFY(!down.wait(3000));
        QCOMPARE(request({layout::readtype::kSerial}).size(), 1);
    }

    void shiftSelectsTheFixedNonce_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("shift alone") << int(Qt::ShiftModifier) << true;
        QTest::newRow("shift and control") << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
        QTest::newRow("none") << int(Qt::NoModifier) << false;
    }
    void shiftSelectsTheFixedNonce()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, fixed);
        QVERIFY(sim_.start());
        link_->setModifierSource([modifiers] { return Qt::KeyboardModifiers(modifiers); });
        const quint32 before = quint32(QDateTime::currentSecsSinceEpoch());
        QVERIFY(connectLink());
        if (fixed)
            QCOMPARE(hostCmd.nonce(), 1u);
        else
            QVERIFY(hostCmd.nonce() >= before);
        // The printer derived the same session key from that nonce.
        QCOMPARE(request({layout::readtype::kAudio}).size(), 1);
    }

    void leftoverBytesDoNotSpoilTheNextLink()
    {
        QVERIFY(sim_.start());
        // Half a packet from a link that went away.
        const QByteArray partial = QByteArray::fromHex("1001110a") + QByteArray(30, '\x42');
        QCOMPARE(hostCmd.receive(reinterpret_cast<const quint8*>(partial.constData()), quint32(partial.size())),
            quint32(partial.size()));
        QVERIFY(connectLink());
    }

    void burstOfRepliesIsReadWhole()
    {
        // More reply bytes than one 8 KiB read, and no later traffic to
        // trigger another read notification.
        QVERIFY(sim_.start({"--keepalive-ms", "0"}));
        QVERIFY(connectLink());
        QList<quint16> types;
        for (int i = 0; i < 40; ++i)
            types.append(layout::readtype::kWnet);
        const QList<QByteArray> records = request(types);
        QCOMPARE(records.size(), 40);
        for (const QByteArray& record : records)
            QCOMPARE(RecordReader(record).u16(0), layout::readtype::kWnet);
    }

    void openAndWriteRules()
    {
        QVERIFY(!link_->write("x", 1, 100));
        QVERIFY(!hostCmd.requestRecord(1));

        // Nothing listens on the printer port of this address.
        QSignalSpy states(link_->tcpPrinter(), &TcpPrinter::stateChanged);
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QVERIFY(link_->openTcp(sim_.address()));
        QVERIFY(!link_->openTcp(sim_.address()));
        QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty()
                && states.last().at(0).value<QAbstractSocket::SocketState>() == QAbstractSocket::UnconnectedState,
            15000);
        QCOMPARE(connected.size(), 0);
        QVERIFY(logText().contains("] error=0 (tcpprinter.cpp,")); // ConnectionRefusedError
        link_->close();
        QCOMPARE(link_->linkState(), qint32(Transceiver::None));
    }
};

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
