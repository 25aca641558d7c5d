// The Ethernet, Wi-Fi and mobile network pages and the Configure Wi-Fi
// dialog: what they show of a reply, what Save sends, the network test print
// reaching a listener on port 9100, the credentials, and the mobile module's
// restart with its status polls. The records' bytes are tst_settings' part.

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

using settings::NetworkInfo;
using settings::WnetStatus;

namespace {

// APN "cmnet" and dial number "*99#"; the status and the APN flag as a
// printer may send them, beyond what the setters take.
WnetStatus wnetStatus(
    const QString& location = "113.9,22.5", int rssi = -75, quint16 status = WnetStatus::Connected, quint16 useApn = 1)
{
    WnetStatus value;
    value.setText(WnetStatus::Location, location);
    value.setText(WnetStatus::Apn, "cmnet");
    value.setText(WnetStatus::Dial, "*99#");
    value.setNumber(WnetStatus::Rssi, rssi);
    QByteArray reply = value.bytes();
    for (const auto& [index, raw] : {std::pair {int(WnetStatus::Status), status}, {int(WnetStatus::UseApn), useApn}})
        reply[value.field(index).offset] = char(raw & 0xFF), reply[value.field(index).offset + 1] = char(raw >> 8);
    return *WnetStatus::fromReply(reply);
}

// What the main window's dispatch does with a reply.
template <class Page, class Value> void dispatch(Page& page, const Value& value)
{
    lastRead.refresh(value.bytes());
    page.load(value);
}

} // namespace

class TestNetworkPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    std::unique_ptr<WidgetLan> lan_;
    std::unique_ptr<WidgetWiFi> wifi_;

    WidgetNetwork& page(bool wifi) const { return wifi ? static_cast<WidgetNetwork&>(*wifi_) : *lan_; }

private Q_SLOTS:
    void initTestCase()
    {
        TestPage::setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        TcpRawPrint::setCloseDelayMs(0);
    }
    void init()
    {
        capture_.install();
        MessageBox::resetForTests();
        lan_ = std::make_unique<WidgetLan>();
        wifi_ = std::make_unique<WidgetWiFi>();
        dispatch(*lan_, networkInfo());
        wifi_->load(networkInfo());
    }
    // No box may be left unseen by a test.
    void cleanup() { QCOMPARE(MessageBox::takeShown().size(), 0); }

    void saveSendsOnlyAChange()
    {
        // What each page shows of its network: tst_testpages' network pages.
        QVERIFY(!lan_->saveButton()->isEnabled() && !wifi_->saveButton()->isEnabled());
        // An empty netmask takes the DHCP one; a failed write stays unsaved and goes again, once.
        fieldOf(*lan_, "Netmask (Static):")->clear();
        capture_.result = false;
        lan_->saveButton()->click();
        QCOMPARE(fieldOf(*lan_, "Netmask (Static):")->text(), "255.255.0.0");
        QVERIFY(lan_->saveButton()->isEnabled());
        capture_.result = true;
        lan_->saveButton()->click();
        lan_->doSave();
        QVERIFY(!lan_->saveButton()->isEnabled());
        // The copy takes what was written, the static address and netmask.
        QCOMPARE(capture_.records.size(), 2);
        QCOMPARE(lastRead.ethernetAddress.text(0) + ' ' + lastRead.ethernetAddress.text(1), "127.77.0.20 255.255.0.0");
        // Unparsable text counts as 0.0.0.0; without a DHCP netmask a static address gets /24.
        fieldOf(*wifi_, "Netmask (DHCP):")->setText("0.0.0.0");
        fieldOf(*wifi_, "IP Address (Static):")->setText("printer-1");
        fieldOf(*wifi_, "Netmask (Static):")->setText("mask");
        wifi_->saveButton()->click();
        QCOMPARE(capture_.records.size(), 3);
        QCOMPARE(lastRead.wifiAddress.text(0) + ' ' + lastRead.wifiAddress.text(1), "0.0.0.0 255.255.255.0");
    }

    // To the static address if usable, else the DHCP one; a listener on this test's own loopback address.
    void testPrintReachesPort9100_data()
    {
        QTest::addColumn<bool>("wifi");
        QTest::addColumn<QString>("staticAddress");
        QTest::addColumn<QString>("dhcpAddress");
        QTest::addColumn<int>("logged"); // "TCP socket ..." lines: created, connected, disconnected
        QTest::addColumn<QString>("error"); // empty: printed
        const QString listener = SimProcess::testAddress().toString();
        // 127.78.x.y: nobody there.
        const QString nobody = QHostAddress(SimProcess::testAddress().toIPv4Address() + 0x10000).toString();
        QTest::newRow("Ethernet, static") << false << listener << nobody << 3 << "";
        QTest::newRow("Wi-Fi, static unparsable: DHCP") << true << "printer" << listener << 3 << "";
        QTest::newRow("neither") << false << "255.255.255.255"
                                 << "0.0.0.0" << 0 << "No valid IP address.";
        QTest::newRow("refused") << true << nobody << "0.0.0.0" << 2 << "Connection refused";
    }
    void testPrintReachesPort9100()
    {
        QFETCH(bool, wifi);
        QFETCH(QString, staticAddress);
        QFETCH(QString, dhcpAddress);
        QFETCH(int, logged);
        QFETCH(QString, error);
        QTcpServer listener;
        QVERIFY(listener.listen(SimProcess::testAddress(), TcpRawPrint::kPort));
        QByteArray received;
        connect(&listener, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [&received, socket] { received += socket->readAll(); });
        });
        WidgetNetwork& shown = page(wifi);
        fieldOf(shown, "IP Address (DHCP):")->setText(dhcpAddress);
        fieldOf(shown, "IP Address (Static):")->setText(staticAddress);
        const qint64 mark = logSize();
        if (!error.isEmpty())
            MessageBox::queueAnswer(QMessageBox::Ok);
        shown.printTestPageButton()->click();
        // Without an address no connection is tried at all.
        QCOMPARE(shown.printTestPageButton()->isEnabled(), logged == 0);
        QTRY_VERIFY_WITH_TIMEOUT(shown.printTestPageButton()->isEnabled(), 15000);
        // The job is gone with its connection.
        QTRY_VERIFY(shown.findChildren<TcpRawPrint*>().isEmpty());
        if (error.isEmpty())
            QTRY_COMPARE(received, shown.buildTestPage());
        else
            QCOMPARE(MessageBox::takeShown().value(0).text, error);
        QCOMPARE(logMessagesSince(mark, "TCP socket").size(), logged);
    }

    // Each accepted dialog sends the credentials at once; they are no unsaved change.
    void configureSendsTheCredentials()
    {
        settings::WifiCredentials credentials;
        credentials.setText(settings::WifiCredentials::Ssid, QString(32, 'a'));
        credentials.setText(settings::WifiCredentials::Password, "s3cret");
        int sent = 0;
        for (const bool accept : {false, true, true}) {
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<DialogConfigureWiFi*>(QApplication::activeModalWidget());
                QVERIFY(dialog && !dialog->okButton()->isEnabled());
                QCOMPARE(dialog->passwordField()->echoMode(), QLineEdit::Password);
                dialog->passwordField()->setText("s3cret");
                // 33 bytes match no network: the dialog stays open to shorten the name.
                dialog->ssidField()->setText(QString(11, QChar(0x6771)));
                MessageBox::queueAnswer(QMessageBox::Ok);
                dialog->okButton()->click();
                QVERIFY(dialog->isVisible());
                dialog->ssidField()->setText(QString(32, 'a'));
                if (accept)
                    dialog->okButton()->click();
                if (dialog->isVisible())
                    dialog->reject();
            });
            buttonOf(*wifi_, "Configure SSID...")->click();
            sent += accept;
            QCOMPARE(capture_.records, QVector<QByteArray>(sent, credentials.bytes()).toList());
            QCOMPARE(fieldOf(*wifi_, "SSID:")->text(), sent ? QString(32, 'a') : QString::fromUtf8("Café 東京"));
            QCOMPARE(MessageBox::takeShown().size(), 1);
            QVERIFY(!wifi_->saveButton()->isEnabled());
        }
        QVERIFY(!readFile("log.txt").contains("s3cret"));
    }

    // Each load shows the status and the APN settings over what was shown
    // before; Save sends them when they differ from what was last read.
    void wnetShowsStatusAndSavesApn()
    {
        WidgetWnet page;
        // The texts, then whether the APN switch is on and its two fields enabled.
        const auto shown = [&page] {
            QStringList texts;
            for (const char* label : {"Longitude:", "Latitude:", "RSSI:", "Status:", "APN:", "Dial Number:"})
                texts.append(fieldOf(page, label)->text());
            return texts << QString("%1%2%3")
                                .arg(page.findChild<QCheckBox*>()->isChecked())
                                .arg(fieldOf(page, "APN:")->isEnabled())
                                .arg(fieldOf(page, "Dial Number:")->isEnabled());
        };
        settings::ApnSettings apn;
        apn.setText(settings::ApnSettings::Dial, "*99#");
        dispatch(page, wnetStatus());
        QCOMPARE(shown(), QStringList({"113.9", "22.5", "-75", "Connected", "cmnet", "*99#", "111"}));
        fieldOf(page, "APN:")->setText("internet");
        page.saveButton()->click();
        apn.setFlag(settings::ApnSettings::UseApn, true);
        apn.setText(settings::ApnSettings::Apn, "internet");
        QCOMPARE(capture_.records, QList<QByteArray> {apn.bytes()});
        // RSSI 0x00FF is no figure; status 7 none of the states.
        dispatch(page, wnetStatus("113.9", 255, 7));
        QCOMPARE(shown(), QStringList({"", "", "", "", "cmnet", "*99#", "111"}));
        // A flag that is not 1 shows unchecked, which Save writes as 0.
        dispatch(page, wnetStatus(",2", 0, WnetStatus::Ready, 0x00FF));
        QCOMPARE(shown(), QStringList({"", "2", "0", "Ready", "cmnet", "*99#", "000"}));
        QVERIFY(!page.saveButton()->isEnabled());
        page.doSave();
        apn.setFlag(settings::ApnSettings::UseApn, false);
        apn.setText(settings::ApnSettings::Apn, "cmnet");
        QCOMPARE(capture_.records.value(1), apn.bytes());
    }

    // Unsaved APN edits are asked about first, since the polls overwrite
    // them. Each poll is answered at once, "Connected" from poll
    // `connectedFrom` on: only one from the eleventh poll on ends the polling.
    void restart_data()
    {
        QTest::addColumn<QStringList>("asked"); // all answered Yes but for a restart that does not come
        QTest::addColumn<int>("connectedFrom");
        QTest::addColumn<int>("polls"); // -1: no restart
        const QString unsaved = "Unsaved settings will be lost. Continue?", restart = "Restart the 4G module?";
        QTest::newRow("declined") << QStringList {restart} << 1 << -1;
        QTest::newRow("edit kept") << QStringList {unsaved} << 1 << -1;
        QTest::newRow("edit given up, connected throughout") << QStringList {unsaved, restart} << 1 << 11;
        QTest::newRow("from poll 12") << QStringList {restart} << 12 << 12;
        QTest::newRow("never") << QStringList {restart} << 61 << 60;
    }
    void restart()
    {
        QFETCH(QStringList, asked);
        QFETCH(int, connectedFrom);
        QFETCH(int, polls);
        const bool edited = asked.first() != "Restart the 4G module?";
        WidgetWnet page;
        page.setPollIntervalMs(5);
        dispatch(page, wnetStatus());
        if (edited)
            fieldOf(page, "APN:")->setText("internet");
        int sent = 0;
        capture_.onRecord = [&](const QByteArray& record) {
            if (record != QByteArray::fromHex("0400"))
                return;
            ++sent;
            // Nothing is editable while the polls run.
            QVERIFY(!(buttonOf(page, "Restart...")->isEnabled() || page.saveButton()->isEnabled()
                || page.findChild<QCheckBox*>()->isEnabled() || fieldOf(page, "APN:")->isEnabled()));
            // The reply arrives after the poll, through the event loop.
            const WnetStatus reply
                = wnetStatus("1,2", -75, sent >= connectedFrom ? WnetStatus::Connected : WnetStatus::Connecting);
            QMetaObject::invokeMethod(
                &page, [&page, reply] { dispatch(page, reply); }, Qt::QueuedConnection);
        };
        for (int i = 0; i < asked.size(); ++i)
            MessageBox::queueAnswer(polls < 0 && i == asked.size() - 1 ? QMessageBox::No : QMessageBox::Yes);
        buttonOf(page, "Restart...")->click();
        QStringList texts;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            texts << box.text;
        QCOMPARE(texts, asked);
        QCOMPARE(buttonOf(page, "Restart...")->isEnabled(), polls < 0);
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(page, "Restart...")->isEnabled(), 15000);
        capture_.onRecord = nullptr;
        QCOMPARE(capture_.records.value(0), polls < 0 ? QByteArray() : QByteArray::fromHex("3201"));
        QCOMPARE(sent, qMax(polls, 0));
        QVERIFY(fieldOf(page, "Dial Number:")->isEnabled() && page.findChild<QCheckBox*>()->isEnabled());
        QCOMPARE(page.saveButton()->isEnabled(), edited && polls < 0);
    }
};

QTEST_MAIN(TestNetworkPages)
#include "tst_networkpages.moc"
