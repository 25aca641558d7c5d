// The promises every link keeps, each row run over TCP and over USB (the
// simulator's pseudo-terminal): connected() once the printer answered the
// handshake, replies reach HostCmd in order, writes reach the printer with
// their count reported, close gives disconnected() once.

#include "app/conf.h"
#include "link/recordlayouts.h"
#include "link/records.h"
#include "usb/usbtestsupport.h"

class TestLinkContract : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<FakeUsbTree> tree_;

    static void addLinks()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("tcp") << false;
        QTest::newRow("usb") << true;
    }

    bool open()
    {
        QFETCH(bool, usb);
        return usb ? f_.link->openUsb(tree_->interfacePath("lp0", "5a7c", "0002"), false)
                   : f_.link->openTcp(f_.sim.address());
    }

    bool connectLink()
    {
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        return open() && connected.wait(15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u};
    }
    void cleanupTestCase() { f_.cleanupCase(); }

    // One printer on both media for every row.
    void init()
    {
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(f_.sim.start({"--usb-pty", tree_->devRoot() + "/lp0", "--project", "LQ560", "--model",
            "LQ560-4G-CN-2024", "--sn", "SIM0000000000001"}));
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
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QVERIFY(open());
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
        QVERIFY(connectLink());
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
        QVERIFY(connectLink());
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        f_.link->close();
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
        f_.link->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
        QVERIFY(!f_.link->write("x", 1, 100));
        // And the link can be had again.
        QVERIFY(connectLink());
    }
};

QTEST_GUILESS_MAIN(TestLinkContract)
#include "tst_usb_contract.moc"
