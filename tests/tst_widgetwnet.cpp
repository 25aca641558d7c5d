// The mobile network page: what it shows of a mobile network record, the APN
// record its Save sends, and the restart with its status polls, first with
// the packets captured and then over a TCP link to the printer simulator.
// Records and expected bytes are laid out by hand from the record tables.

#include "link/lastread.h"
#include "linkfixture.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QCheckBox>

namespace {

// A mobile network record (344 bytes); the numbers are given as their wire bytes.
QByteArray wnetRecord(const QByteArray& location, const char* rssiHex, const char* statusHex, const char* flagHex)
{
    QByteArray record = QByteArray::fromHex("0400") + field("EC200U V1.0", 64) + field("866123045678903", 16)
        + field("89860012345678901234", 24) + field("460001234567890", 16) + field("4600", 4) // MCC fills its field
        + field("01", 4) + field("China Unicom", 64) + field(location, 64) + QByteArray::fromHex(rssiHex)
        + QByteArray::fromHex(statusHex) + QByteArray::fromHex(flagHex) + field("cmnet", 64) + field("*99#", 16);
    Q_ASSERT(record.size() == 344);
    return record;
}

QByteArray connectedRecord()
{
    return wnetRecord("113.9,22.5", "b5ff", "0400", "0100");
}

// What the main window's dispatch does with a type-4 reply.
void dispatch(WidgetWnet& page, const QByteArray& record)
{
    lastRead.refresh(record);
    page.loadRecord(record);
    page.saveButton()->setEnabled(false);
}

QPushButton* restartOf(const QWidget& page)
{
    return buttonOf(page, "Restart...");
}

const QByteArray kRestart = QByteArray::fromHex("3201");
const QByteArray kPoll = QByteArray::fromHex("0400");

} // namespace

class TestWidgetWnet : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    std::unique_ptr<MainWindow> window_;

    WidgetWnet& page() const { return *window_->widgetWnet(); }

    // The main window on a TCP link to the simulator, its page filled.
    bool startAndConnect(const QStringList& extraArguments = {})
    {
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        if (!f_.sim.start(QStringList {"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"} + extraArguments))
            return false;
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
        // The reload's type-4 reply has been loaded.
        return f_.link->openTcp(f_.sim.address())
            && QTest::qWaitFor([&] { return fieldOf(page(), "APN:")->text() == "cmnet"; }, 15000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init()
    {
        capture_.records.clear();
        capture_.onRecord = nullptr;
        capture_.result = true;
        // Packets go on to the simulator once a test has linked to it.
        hostCmd.setWriter(capture_.writer([this](const quint8* data, quint32 length, int timeoutMs) {
            return transceiver ? transceiver->write(data, length, timeoutMs) : capture_.result;
        }));
        MessageBox::resetForTests();
        lastRead.apn = QByteArray(84, '\0');
    }
    void cleanup()
    {
        hostCmd.setWriter(nullptr);
        capture_.onRecord = nullptr;
        window_.reset();
        f_.dropLink();
    }

    void loadShowsTheRecord_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QStringList>("shown"); // longitude, latitude, RSSI, status
        QTest::addColumn<bool>("apnChecked");
        QTest::newRow("connected") << connectedRecord() << QStringList {"113.9", "22.5", "-75", "Connected"} << true;
        QTest::newRow("no comma") << wnetRecord("113.9", "b5ff", "0400", "0100")
                                  << QStringList {"", "", "-75", "Connected"} << true;
        QTest::newRow("two commas") << wnetRecord("113.9,22.5,7", "b5ff", "0400", "0100")
                                    << QStringList {"", "", "-75", "Connected"} << true;
        QTest::newRow("leading comma") << wnetRecord(",22.5", "b5ff", "0400", "0100")
                                       << QStringList {"", "22.5", "-75", "Connected"} << true;
        QTest::newRow("RSSI none, ready")
            << wnetRecord("1,2", "ff00", "0600", "0100") << QStringList {"1", "2", "", "Ready"} << true;
        QTest::newRow("RSSI 255 is a value")
            << wnetRecord("1,2", "ffff", "0000", "0100") << QStringList {"1", "2", "-1", "Disabled"} << true;
        QTest::newRow("status 7") << wnetRecord("1,2", "0000", "0700", "0000") << QStringList {"1", "2", "0", ""}
                                  << false;
        QTest::newRow("status 0x0104") << wnetRecord("1,2", "0000", "0401", "0000") << QStringList {"1", "2", "0", ""}
                                       << false;
        QTest::newRow("APN flag not set")
            << wnetRecord("1,2", "0000", "0500", "ff00") << QStringList {"1", "2", "0", "Connecting"} << false;
    }
    void loadShowsTheRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, shown);
        QFETCH(bool, apnChecked);
        WidgetWnet page;
        page.loadRecord(wnetRecord("9,9", "0100", "0300", "0100"));
        dispatch(page, record);

        QStringList actual;
        for (const char* label : {"Version:", "MCC:", "MNC:", "ISP:", "Longitude:", "Latitude:", "RSSI:", "Status:"})
            actual.append(fieldOf(page, label)->text());
        QCOMPARE(actual, QStringList({"EC200U V1.0", "4600", "01", "China Unicom"}) + shown);
        QCOMPARE(page.findChild<QCheckBox*>()->isChecked(), apnChecked);
        QCOMPARE(fieldOf(page, "APN:")->text(), QString("cmnet"));
        QCOMPARE(fieldOf(page, "APN:")->isEnabled(), apnChecked);
        QCOMPARE(fieldOf(page, "Dial Number:")->isEnabled(), apnChecked);
        QVERIFY(!page.saveButton()->isEnabled());
    }

    void saveSendsOnlyAChange_data()
    {
        QTest::addColumn<QByteArray>("flagHex");
        QTest::addColumn<bool>("check");
        QTest::addColumn<QString>("apn");
        QTest::addColumn<QString>("dial");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray dial = field("*99#", 16);
        const QString cmnet("cmnet"), star99("*99#");
        QTest::newRow("no edits") << QByteArray("0100") << true << cmnet << star99 << QByteArray();
        // The box shows "not set" as unchecked, which Save writes as 0.
        QTest::newRow("flag not set, no edits") << QByteArray("ff00") << false << cmnet << star99
                                                << QByteArray::fromHex("31010000") + field("cmnet", 64) + dial;
        QTest::newRow("new APN") << QByteArray("0100") << true << QString("internet") << QString("*99***1#")
                                 << QByteArray::fromHex("31010100") + field("internet", 64) + field("*99***1#", 16);
        QTest::newRow("unchecked still sends the texts") << QByteArray("0100") << false << cmnet << star99
                                                         << QByteArray::fromHex("31010000") + field("cmnet", 64) + dial;
        QTest::newRow("70-character APN") << QByteArray("0100") << true << QString(70, 'a') << star99
                                          << QByteArray::fromHex("31010100") + QByteArray(63, 'a') + '\0' + dial;
    }
    void saveSendsOnlyAChange()
    {
        QFETCH(QByteArray, flagHex);
        QFETCH(bool, check);
        QFETCH(QString, apn);
        QFETCH(QString, dial);
        QFETCH(QByteArray, expected);
        WidgetWnet page;
        dispatch(page, wnetRecord("1,2", "0000", "0400", flagHex.constData()));
        page.findChild<QCheckBox*>()->setChecked(check);
        fieldOf(page, "APN:")->setText(apn);
        fieldOf(page, "Dial Number:")->setText(dial);
        page.doSave();

        QCOMPARE(capture_.records, expected.isEmpty() ? QList<QByteArray>() : QList<QByteArray> {expected});
        if (!expected.isEmpty()) {
            QCOMPARE(expected.size(), 84);
            QCOMPARE(lastRead.apn, expected);
        }
        QVERIFY(!page.saveButton()->isEnabled());
        // Saved once: the same settings are not sent again.
        page.doSave();
        QCOMPARE(capture_.records.size(), expected.isEmpty() ? 0 : 1);
    }

    void failedWriteKeepsTheChangeUnsaved()
    {
        WidgetWnet page;
        dispatch(page, connectedRecord());
        const QByteArray before = lastRead.apn;
        fieldOf(page, "APN:")->setText("internet");
        capture_.result = false;
        page.saveButton()->click();
        QCOMPARE(capture_.records.size(), 1);
        QCOMPARE(lastRead.apn, before);
        QVERIFY(page.saveButton()->isEnabled());

        capture_.result = true;
        page.saveButton()->click();
        QCOMPARE(capture_.records.size(), 2);
        QCOMPARE(lastRead.apn, capture_.records.constLast());
        QVERIFY(!page.saveButton()->isEnabled());
    }

    void declinedRestartSendsNothing()
    {
        WidgetWnet page;
        dispatch(page, connectedRecord());
        MessageBox::queueAnswer(QMessageBox::No);
        restartOf(page)->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(capture_.records.isEmpty());
        QVERIFY(restartOf(page)->isEnabled());
        QVERIFY(fieldOf(page, "APN:")->isEnabled());
    }

    // Each poll is answered at once; "Connected" from poll `connectedFrom` on.
    void pollsEndAfterConnectedFromTheEleventhPoll_data()
    {
        QTest::addColumn<int>("connectedFrom");
        QTest::addColumn<int>("polls");
        QTest::newRow("connected throughout") << 1 << 11;
        QTest::newRow("from poll 10") << 10 << 11;
        QTest::newRow("from poll 11") << 11 << 11;
        QTest::newRow("from poll 12") << 12 << 12;
        QTest::newRow("never") << 61 << 60;
    }
    void pollsEndAfterConnectedFromTheEleventhPoll()
    {
        QFETCH(int, connectedFrom);
        QFETCH(int, polls);
        WidgetWnet page;
        page.setPollIntervalMs(20);
        dispatch(page, connectedRecord());
        int sent = 0;
        int pollsWhileEditable = 0;
        capture_.onRecord = [&](const QByteArray& record) {
            if (record != kPoll)
                return;
            ++sent;
            if (restartOf(page)->isEnabled() || page.saveButton()->isEnabled()
                || page.findChild<QCheckBox*>()->isEnabled() || fieldOf(page, "APN:")->isEnabled())
                ++pollsWhileEditable;
            // The reply arrives after the poll, through the event loop.
            const QByteArray reply = wnetRecord("1,2", "b5ff", sent >= connectedFrom ? "0400" : "0500", "0100");
            QMetaObject::invokeMethod(
                &page, [&page, reply] { dispatch(page, reply); }, Qt::QueuedConnection);
        };
        MessageBox::queueAnswer(QMessageBox::Yes);
        restartOf(page)->click();
        QVERIFY(!restartOf(page)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(restartOf(page)->isEnabled(), 15000);

        QCOMPARE(capture_.records.value(0), kRestart);
        QCOMPARE(sent, polls);
        QCOMPARE(capture_.records.size(), 1 + polls);
        QCOMPARE(pollsWhileEditable, 0);
        QVERIFY(page.findChild<QCheckBox*>()->isEnabled());
        QVERIFY(fieldOf(page, "APN:")->isEnabled());
        QVERIFY(fieldOf(page, "Dial Number:")->isEnabled());
        QVERIFY(!page.saveButton()->isEnabled());
    }

    void savedApnComesBackFromThePrinter()
    {
        QVERIFY(startAndConnect());
        fieldOf(page(), "APN:")->setText("iot.example");
        page().saveButton()->click();
        QCOMPARE(capture_.records.constLast(),
            QByteArray::fromHex("31010100") + field("iot.example", 64) + field("*99#", 16));

        QObject context;
        QByteArray reply;
        connect(&hostCmd, &HostCmd::responseReceived, &context, [&](const QByteArray& response) {
            if (response.left(2) == kPoll)
                reply = response;
        });
        hostCmd.requestRecord(4);
        QTRY_COMPARE_WITH_TIMEOUT(reply.size(), 344, 10000);
        QCOMPARE(reply.mid(262), QByteArray::fromHex("0100") + field("iot.example", 64) + field("*99#", 16));
    }

    void restartPollsUntilConnected()
    {
        // Polls every 100 ms; the module is connected 1050 ms after the
        // restart command, between the tenth and the eleventh poll.
        QVERIFY(startAndConnect({"--wnet-restart-ms", "1050"}));
        page().setPollIntervalMs(100);
        QStringList statuses;
        QObject context;
        connect(&hostCmd, &HostCmd::responseReceived, &context, [&](const QByteArray& reply) {
            if (reply.left(2) == kPoll)
                statuses.append(QString::fromLatin1(reply.mid(260, 2).toHex()));
        });
        capture_.records.clear();
        MessageBox::queueAnswer(QMessageBox::Yes);
        restartOf(page())->click();
        QTRY_VERIFY_WITH_TIMEOUT(restartOf(page())->isEnabled(), 15000);

        const int polls = int(capture_.records.count(kPoll));
        QCOMPARE(capture_.records.value(0), kRestart);
        QCOMPARE(capture_.records.size(), 1 + polls);
        QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), polls, 10000);
        // Enabling and Connecting first, then Connected from some poll on.
        const int firstConnected = int(statuses.indexOf("0400")) + 1;
        QVERIFY2(firstConnected > 1, qPrintable(statuses.join(' ')));
        for (int i = firstConnected; i < statuses.size(); ++i)
            QCOMPARE(statuses.at(i), QString("0400"));
        // The first poll from the eleventh on that reports Connected is the last
        // one, or the one before it when its reply came after the next tick.
        const int ending = qMax(firstConnected, 11);
        QVERIFY2(polls == ending || polls == ending + 1, qPrintable(statuses.join(' ')));
        QCOMPARE(fieldOf(page(), "Status:")->text(), QString("Connected"));
        QVERIFY(page().findChild<QCheckBox*>()->isEnabled());
        QVERIFY(fieldOf(page(), "APN:")->isEnabled());
        QVERIFY(!page().saveButton()->isEnabled());
    }
};

QTEST_MAIN(TestWidgetWnet)

#include "tst_widgetwnet.moc"
