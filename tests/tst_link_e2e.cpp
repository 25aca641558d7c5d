// The TCP link against the printer simulator over loopback: the heartbeat
// watchdog, the session nonce, leftovers and bursts, refused connections.
// What every link promises is in tst_usb_contract.

#include "link/recordlayouts.h"
#include "link/records.h"
#include "link/tcpprinter.h"
#include "linkfixture.h"

#include <QDateTime>

class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

    LinkFixture f_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init() { f_.makeLink(); }
    void cleanup() { QCOMPARE(f_.dropLink(), 0); }

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
        QTest::newRow("none") << int(Qt::NoModifier) << false;
    }
    void shiftSelectsTheFixedNonce()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, fixed);
        QVERIFY(f_.sim.start());
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

    void leftoverBytesDoNotSpoilTheNextLink()
    {
        QVERIFY(f_.sim.start());
        // Half a packet from a link that went away.
        const QByteArray partial = QByteArray::fromHex("1001110a") + QByteArray(30, '\x42');
        QCOMPARE(hostCmd.receive(reinterpret_cast<const quint8*>(partial.constData()), quint32(partial.size())),
            quint32(partial.size()));
        QVERIFY(f_.connectTcp());
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
};

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
