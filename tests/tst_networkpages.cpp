// The Ethernet, Wi-Fi and mobile network pages and the Configure Wi-Fi
// dialog: what they show of a reply, what Save sends, the network test print
// reaching a listener on port 9100, the credentials, and the mobile module's
// restart with its status polls. The records' bytes are tst_settings' part.

#include "link/lastread.h"
#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "linkfixture.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using settings::NetworkInfo;
using settings::WnetStatus;
Q_DECLARE_METATYPE(WnetStatus)

namespace {

// Ethernet DHCP 127.77.0.10 / `dhcpNetmask`, static 127.77.0.20 / 255.255.255.0,
// MAC ...:f5; Wi-Fi the same in 127.77.1.x, MAC ...:f6, named "Café 東京".
NetworkInfo networkInfo(const QString& dhcpNetmask = "255.255.0.0")
{
    NetworkInfo info;
    for (const int wifi : {0, 1}) {
        const QString net = QStringLiteral("127.77.%1.").arg(wifi);
        const QStringList values {
            "a0:b1:c2:d3:e4:f" + QString::number(5 + wifi), net + "10", dhcpNetmask, net + "20", "255.255.255.0"};
        for (int i = 0; i < values.size(); ++i)
            info.setText((wifi ? NetworkInfo::WifiMac : NetworkInfo::EthernetMac) + i, values[i]);
    }
    info.setText(NetworkInfo::WifiSsid, QString::fromUtf8("Café 東京"));
    return info;
}

// A 16-bit field as a printer may send it, beyond what the setters take.
WnetStatus withRaw(const WnetStatus& value, int index, quint16 raw)
{
    QByteArray reply = value.bytes();
    reply[value.field(index).offset] = char(raw & 0xFF);
    reply[value.field(index).offset + 1] = char(raw >> 8);
    return *WnetStatus::fromReply(reply);
}

// APN "cmnet" and dial number "*99#", in use.
WnetStatus wnetStatus(const QString& location = "113.9,22.5", int rssi = -75, int status = WnetStatus::Connected)
{
    WnetStatus value;
    value.setText(WnetStatus::Location, location);
    value.setText(WnetStatus::Apn, "cmnet");
    value.setText(WnetStatus::Dial, "*99#");
    value.setNumber(WnetStatus::Rssi, rssi);
    value.setFlag(WnetStatus::UseApn, true);
    return value.setNumber(WnetStatus::Status, status) ? value : withRaw(value, WnetStatus::Status, quint16(status));
}

// What the main window's dispatch does with a reply.
template <class Page, class Value> void dispatch(Page& page, const Value& value)
{
    lastRead.refresh(value.bytes());
    page.load(value);
}

// The static address and netmask a sent record carries; none for a record of another kind.
template <class Address> QStringList carried(const QByteArray& record)
{
    const auto value = Address::fromCommand(record);
    return value ? QStringList {value->text(0), value->text(1)} : QStringList {};
}

} // namespace

class TestNetworkPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    WidgetLan* lan_ = nullptr;
    WidgetWiFi* wifi_ = nullptr;
    std::unique_ptr<QWidget> pages_;

    WidgetNetwork& page(bool wifi) const { return wifi ? static_cast<WidgetNetwork&>(*wifi_) : *lan_; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        TestPage::setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        TcpRawPrint::setCloseDelayMs(0);
        capture_.install();
    }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init()
    {
        capture_.records.clear();
        capture_.result = true;
        MessageBox::resetForTests();
        pages_ = std::make_unique<QWidget>();
        lan_ = new WidgetLan(pages_.get());
        wifi_ = new WidgetWiFi(pages_.get());
        dispatch(*lan_, networkInfo());
        wifi_->load(networkInfo());
    }
    // No box may be left unseen by a test.
    void cleanup() { QCOMPARE(MessageBox::takeShown().size(), 0); }

    void saveSendsOnlyAChange_data()
    {
        QTest::addColumn<bool>("wifi");
        QTest::addColumn<QString>("dhcpNetmask");
        QTest::addColumn<QStringList>("typed"); // static address and netmask; null: left as loaded
        QTest::addColumn<bool>("writeFails");
        QTest::addColumn<QStringList>("sent"); // empty: nothing
        const QString keep;
        QTest::newRow("no edit") << false << "255.255.0.0" << QStringList {keep, keep} << false << QStringList {};
        QTest::newRow("typed back") << true << "255.255.0.0" << QStringList {"127.77.1.20", keep} << false
                                    << QStringList {};
        QTest::newRow("empty netmask takes the DHCP one")
            << false << "255.255.0.0" << QStringList {keep, ""} << false << QStringList {"127.77.0.20", "255.255.0.0"};
        QTest::newRow("unparsable address and netmask, zero DHCP netmask")
            << true << "0.0.0.0" << QStringList {"printer-1", "mask"} << false
            << QStringList {"0.0.0.0", "255.255.255.0"};
        QTest::newRow("failed write stays unsaved") << false << "255.255.0.0" << QStringList {"127.77.0.21", keep}
                                                    << true << QStringList {"127.77.0.21", "255.255.255.0"};
    }
    void saveSendsOnlyAChange()
    {
        QFETCH(bool, wifi);
        QFETCH(QString, dhcpNetmask);
        QFETCH(QStringList, typed);
        QFETCH(bool, writeFails);
        QFETCH(QStringList, sent);
        dispatch(page(wifi), networkInfo(dhcpNetmask));
        // Each page shows its own network's share.
        QCOMPARE(fieldOf(page(wifi), "MAC Address:")->text() + ' ' + fieldOf(page(wifi), "IP Address (DHCP):")->text(),
            wifi ? "A0:B1:C2:D3:E4:F6 127.77.1.10" : "A0:B1:C2:D3:E4:F5 127.77.0.10");
        QVERIFY(!page(wifi).saveButton()->isEnabled());
        // An edit, even one that ends with the loaded text.
        for (const int i : {0, 1}) {
            QLineEdit* field = fieldOf(page(wifi), i ? "Netmask (Static):" : "IP Address (Static):");
            if (!typed[i].isNull())
                field->setText("x"), field->setText(typed[i]);
        }
        QCOMPARE(page(wifi).saveButton()->isEnabled(), !(typed[0].isNull() && typed[1].isNull()));
        capture_.result = !writeFails;
        page(wifi).saveButton()->click();
        QCOMPARE(fieldOf(page(wifi), "Netmask (Static):")->text(), sent.value(1, "255.255.255.0"));
        QCOMPARE(page(wifi).saveButton()->isEnabled(), writeFails);
        // Sent once, as the page's own record; a failed write goes again.
        capture_.result = true;
        page(wifi).doSave();
        QCOMPARE(capture_.records.size(), sent.isEmpty() ? 0 : writeFails ? 2 : 1);
        const QByteArray record = capture_.records.value(0);
        QCOMPARE(wifi ? carried<settings::WifiAddress>(record) : carried<settings::EthernetAddress>(record), sent);
    }

    // To the static address if usable, else the DHCP one; a listener on this test's own loopback address.
    void testPrintReachesPort9100_data()
    {
        QTest::addColumn<bool>("wifi");
        QTest::addColumn<QString>("staticAddress");
        QTest::addColumn<QString>("dhcpAddress");
        QTest::addColumn<QString>("error"); // empty: printed
        const QString listener = SimProcess::testAddress().toString();
        // 127.78.x.y: nobody there.
        const QString nobody = QHostAddress(SimProcess::testAddress().toIPv4Address() + 0x10000).toString();
        QTest::newRow("static") << false << listener << nobody << "";
        QTest::newRow("static all ones: DHCP") << true << "255.255.255.255" << listener << "";
        QTest::newRow("static unparsable: DHCP") << false << "printer" << listener << "";
        QTest::newRow("neither") << true << "0.0.0.0"
                                 << "255.255.255.255"
                                 << "No valid IP address.";
        QTest::newRow("refused") << false << nobody << "0.0.0.0"
                                 << "Connection refused";
    }
    void testPrintReachesPort9100()
    {
        QFETCH(bool, wifi);
        QFETCH(QString, staticAddress);
        QFETCH(QString, dhcpAddress);
        QFETCH(QString, error);
        QTcpServer listener;
        QVERIFY(listener.listen(SimProcess::testAddress(), TcpRawPrint::kPort));
        QByteArray received;
        connect(&listener, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [&received, socket] { received += socket->readAll(); });
        });
        NetworkInfo info = networkInfo();
        info.setText(wifi ? NetworkInfo::WifiDhcpIp : NetworkInfo::EthernetDhcpIp, dhcpAddress);
        page(wifi).load(info);
        fieldOf(page(wifi), "IP Address (Static):")->setText(staticAddress);
        const qint64 mark = logSize();
        if (!error.isEmpty())
            MessageBox::queueAnswer(QMessageBox::Ok);
        page(wifi).printTestPageButton()->click();
        QCOMPARE(page(wifi).printTestPageButton()->isEnabled(), error == "No valid IP address.");
        QTRY_VERIFY_WITH_TIMEOUT(page(wifi).printTestPageButton()->isEnabled(), 15000);
        // The job is gone with its connection.
        QTRY_VERIFY(page(wifi).findChildren<TcpRawPrint*>().isEmpty());
        if (error.isEmpty())
            QTRY_COMPARE(received, page(wifi).buildTestPage());
        else
            QCOMPARE(MessageBox::takeShown().value(0).text, error);
        const QStringList logged = logMessagesSince(mark, "TCP socket");
        // Without an address no connection is tried at all.
        QCOMPARE(logged.size(), error.isEmpty() ? 3 : error == "Connection refused" ? 2 : 0);
        if (error.isEmpty())
            QCOMPARE(logged, QStringList({"TCP socket created.", "TCP socket connected.", "TCP socket disconnected."}));
    }

    // Each accepted dialog sends the credentials at once; they are no unsaved change.
    void configureSendsTheCredentials_data()
    {
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("sent");
        QTest::newRow("accepted") << "Shop" << true << true;
        QTest::newRow("32 bytes") << QString(32, 'a') << true << true;
        // A longer name matches no network: the dialog stays open to shorten it.
        QTest::newRow("33 bytes") << QString(33, 'a') << true << false;
        QTest::newRow("11 three-byte characters") << QString(11, QChar(0x6771)) << true << false;
        QTest::newRow("no name, OK disabled") << "" << true << false;
        QTest::newRow("cancelled") << "Shop" << false << false;
    }
    void configureSendsTheCredentials()
    {
        QFETCH(QString, ssid);
        QFETCH(bool, accept);
        QFETCH(bool, sent);
        const bool refused = accept && !sent && !ssid.isEmpty();
        for (const int round : {1, 2}) {
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<DialogConfigureWiFi*>(QApplication::activeModalWidget());
                QVERIFY(dialog && !dialog->okButton()->isEnabled());
                QCOMPARE(dialog->passwordField()->echoMode(), QLineEdit::Password);
                dialog->passwordField()->setText("s3cret");
                dialog->ssidField()->setText(ssid);
                QCOMPARE(dialog->okButton()->isEnabled(), !ssid.isEmpty());
                if (refused)
                    MessageBox::queueAnswer(QMessageBox::Ok);
                if (accept)
                    dialog->okButton()->click();
                if (dialog->isVisible())
                    dialog->reject();
            });
            buttonOf(*wifi_, "Configure SSID...")->click();
            QCOMPARE(capture_.records.size(), sent ? round : 0);
        }
        settings::WifiCredentials credentials;
        credentials.setText(settings::WifiCredentials::Ssid, ssid);
        credentials.setText(settings::WifiCredentials::Password, "s3cret");
        QCOMPARE(capture_.records.value(1), sent ? credentials.bytes() : QByteArray());
        QCOMPARE(fieldOf(*wifi_, "SSID:")->text(), sent ? ssid : QString::fromUtf8("Café 東京"));
        QCOMPARE(MessageBox::takeShown().size(), refused ? 2 : 0);
        QVERIFY(!wifi_->saveButton()->isEnabled());
        QVERIFY(!readFile("log.txt").contains("s3cret"));
    }

    // Loading shows the status and the APN settings; Save sends them when they
    // differ from what was last read.
    void wnetLoadAndSave_data()
    {
        QTest::addColumn<WnetStatus>("status");
        QTest::addColumn<QStringList>("shown"); // longitude, latitude, RSSI, status
        QTest::addColumn<bool>("apnChecked");
        QTest::addColumn<QString>("apn"); // typed; null: left as loaded
        QTest::addColumn<bool>("sent");
        const QString keep;
        QTest::newRow("connected") << wnetStatus() << QStringList {"113.9", "22.5", "-75", "Connected"} << true << keep
                                   << false;
        QTest::newRow("no comma, new APN")
            << wnetStatus("113.9") << QStringList {"", "", "-75", "Connected"} << true << "internet" << true;
        QTest::newRow("leading comma") << wnetStatus(",22.5") << QStringList {"", "22.5", "-75", "Connected"} << true
                                       << keep << false;
        // RSSI 0x00FF: no figure.
        QTest::newRow("no RSSI, status 7")
            << wnetStatus("1,2", 255, 7) << QStringList {"1", "2", "", ""} << true << keep << false;
        // Shown unchecked, which Save writes as 0, texts and all.
        QTest::newRow("APN flag not set")
            << withRaw(wnetStatus("1,2", 0, WnetStatus::Ready), WnetStatus::UseApn, 0x00FF)
            << QStringList {"1", "2", "0", "Ready"} << false << keep << true;
    }
    void wnetLoadAndSave()
    {
        QFETCH(WnetStatus, status);
        QFETCH(QStringList, shown);
        QFETCH(bool, apnChecked);
        QFETCH(QString, apn);
        QFETCH(bool, sent);
        WidgetWnet page;
        page.load(wnetStatus("9,9", 1, WnetStatus::Enabled));
        dispatch(page, status);
        QStringList actual;
        for (const char* label : {"Longitude:", "Latitude:", "RSSI:", "Status:", "APN:", "Dial Number:"})
            actual.append(fieldOf(page, label)->text());
        QCOMPARE(actual, shown + QStringList({"cmnet", "*99#"}));
        QCOMPARE(page.findChild<QCheckBox*>()->isChecked(), apnChecked);
        QCOMPARE(fieldOf(page, "APN:")->isEnabled() + fieldOf(page, "Dial Number:")->isEnabled(), apnChecked ? 2 : 0);
        QVERIFY(!page.saveButton()->isEnabled());

        if (!apn.isNull())
            fieldOf(page, "APN:")->setText(apn);
        page.doSave();
        page.doSave();
        settings::ApnSettings expected;
        expected.setFlag(settings::ApnSettings::UseApn, apnChecked);
        expected.setText(settings::ApnSettings::Apn, apn.isNull() ? "cmnet" : apn);
        expected.setText(settings::ApnSettings::Dial, "*99#");
        QCOMPARE(capture_.records, sent ? QList<QByteArray> {expected.bytes()} : QList<QByteArray> {});
        QVERIFY(!page.saveButton()->isEnabled());
    }

    // Unsaved APN edits are asked about first, since the polls overwrite
    // them. Each poll is answered at once, "Connected" from poll
    // `connectedFrom` on: only one from the eleventh poll on ends the polling.
    void restart_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("connectedFrom");
        QTest::addColumn<int>("polls"); // -1: no restart
        const QList<int> yes {QMessageBox::Yes}, no {QMessageBox::No};
        QTest::newRow("declined") << false << no << 1 << -1;
        QTest::newRow("edit kept") << true << no << 1 << -1;
        QTest::newRow("edit given up, connected throughout") << true << yes + yes << 1 << 11;
        QTest::newRow("connected from poll 10") << false << yes << 10 << 11;
        QTest::newRow("from poll 11") << false << yes << 11 << 11;
        QTest::newRow("from poll 12") << false << yes << 12 << 12;
        QTest::newRow("never") << false << yes << 61 << 60;
    }
    void restart()
    {
        QFETCH(bool, edited);
        QFETCH(QList<int>, answers);
        QFETCH(int, connectedFrom);
        QFETCH(int, polls);
        WidgetWnet page;
        page.setPollIntervalMs(5);
        dispatch(page, wnetStatus());
        if (edited)
            fieldOf(page, "APN:")->setText("internet");
        int sent = 0;
        int pollsWhileEditable = 0;
        capture_.onRecord = [&](const QByteArray& record) {
            if (record != QByteArray::fromHex("0400"))
                return;
            ++sent;
            pollsWhileEditable += buttonOf(page, "Restart...")->isEnabled() || page.saveButton()->isEnabled()
                || page.findChild<QCheckBox*>()->isEnabled() || fieldOf(page, "APN:")->isEnabled();
            // The reply arrives after the poll, through the event loop.
            const WnetStatus reply
                = wnetStatus("1,2", -75, sent >= connectedFrom ? WnetStatus::Connected : WnetStatus::Connecting);
            QMetaObject::invokeMethod(
                &page, [&page, reply] { dispatch(page, reply); }, Qt::QueuedConnection);
        };
        for (int answer : answers)
            MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        buttonOf(page, "Restart...")->click();
        QStringList asked;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            asked << box.text;
        QCOMPARE(asked.size(), answers.size());
        QCOMPARE(asked.first() == "Unsaved settings will be lost. Continue?", edited);
        QCOMPARE(asked.last() == "Restart the 4G module?", !edited || polls >= 0);
        QCOMPARE(buttonOf(page, "Restart...")->isEnabled(), polls < 0);
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(page, "Restart...")->isEnabled(), 15000);
        capture_.onRecord = nullptr;
        QCOMPARE(capture_.records.value(0), polls < 0 ? QByteArray() : QByteArray::fromHex("3201"));
        QCOMPARE(sent, qMax(polls, 0));
        QCOMPARE(pollsWhileEditable, 0);
        QVERIFY(fieldOf(page, "Dial Number:")->isEnabled());
        QCOMPARE(page.saveButton()->isEnabled(), edited && polls < 0);
    }
};

QTEST_MAIN(TestNetworkPages)
#include "tst_networkpages.moc"
