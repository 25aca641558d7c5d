// The promises every link keeps, run against the TCP link and the USB link
// (the simulator's pseudo-terminal): open gives connected() once the printer
// answered the handshake, writes reach the printer with their count reported,
// what the printer sends reaches HostCmd, and close gives disconnected() once.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/recordlayouts.h"
#include "link/records.h"
#include "link/transceiver.h"
#include "simprocess.h"
#include "testsupport.h"
#include "usb/usbtestsupport.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestLinkContract : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    std::unique_ptr<FakeUsbTree> tree_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;

    static void addLinks()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("tcp") << false;
        QTest::newRow("usb") << true;
    }

    bool open()
    {
        QFETCH(bool, usb);
        if (!usb)
            return link_->openTcp(sim_.address());
        return link_->openUsb(
            tree_->interfacePath(QStringLiteral("lp0"), QStringLiteral("5a7c"), QStringLiteral("0002")), false);
    }

    bool connectLink()
    {
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        return open() && connected.wait(15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
        conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u};
    }
    void cleanupTestCase() { logClose(); }

    // One printer on both media for every row.
    void init()
    {
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->addPrinter(QStringLiteral("lp0"), QStringLiteral("5a7c"), QStringLiteral("0002")));
        QVERIFY(sim_.start({"--usb-pty", tree_->devRoot() + QStringLiteral("/lp0")}));
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

    void connectedOnceAfterTheHandshake_data() { addLinks(); }
    void connectedOnceAfterTheHandshake()
    {
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QVERIFY(open());
        // Nothing before the printer answered.
        QCOMPARE(connected.size(), 0);
        QVERIFY(connected.wait(15000));
        QVERIFY(hostCmd.sessionKey() != packet::Key {});
        // The printer derived the same key.
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
        QCOMPARE(connected.size(), 1);
    }

    void repliesReachHostCmdInOrder_data() { addLinks(); }
    void repliesReachHostCmdInOrder()
    {
        QVERIFY(connectLink());
        const QList<QByteArray> records = requestRecords({1, 2, 3, 4, 5, 6, 2});
        QCOMPARE(records.size(), 7);
        const quint16 expected[] = {1, 2, 3, 4, 5, 6, 2};
        for (int i = 0; i < records.size(); ++i)
            QCOMPARE(RecordReader(records[i]).u16(layout::kIdOffset), expected[i]);
    }

    void writesReachThePrinterAndAreCounted_data() { addLinks(); }
    void writesReachThePrinterAndAreCounted()
    {
        QVERIFY(connectLink());
        const QByteArray before = requestRecords({layout::readtype::kAudio}).value(0);
        QVERIFY(before.size() >= layout::audio::kSize);

        QSignalSpy written(link_.get(), &Transceiver::bytesWritten);
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
        QVERIFY(connectLink());
        QSignalSpy disconnected(link_.get(), &Transceiver::disconnected);
        link_->close();
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
        link_->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(link_->linkState(), qint32(Transceiver::None));
        QVERIFY(!link_->write("x", 1, 100));
        // And the link can be had again.
        QVERIFY(connectLink());
    }
};

QTEST_GUILESS_MAIN(TestLinkContract)
#include "tst_usb_contract.moc"
