// The Ethernet, Wi-Fi and mobile network pages and the Configure Wi-Fi
// dialog: what they show of their records, the records they send, the
// Ethernet and Wi-Fi test pages as they reach the simulator's port 9100, and
// the mobile module's restart with its status polls; first with the packets
// captured, then over a TCP link to the printer simulator. Records and
// expected bytes are laid out by hand from the record tables.

#include "app/conf.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "linkfixture.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetlan.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace {

// The four IPv4 bytes, first number first.
QByteArray ipBytes(const QHostAddress& address)
{
    const quint32 v = address.toIPv4Address();
    const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

// A network information record (248 bytes): type 02 00, Ethernet MAC (18),
// DHCP address, DHCP netmask, static address, static netmask (4 each), SSID
// (128), Wi-Fi MAC (18), its four addresses, Bluetooth MAC (18) and name (32).
QByteArray netinfo(const QByteArray& ethAddresses, const QByteArray& ssid, const QByteArray& wifiAddresses)
{
    const QByteArray record = QByteArray::fromHex("0200") + field("a0:b1:c2:d3:e4:f5", 18) + ethAddresses
        + field(ssid, 128) + field("a0:b1:c2:d3:e4:f6", 18) + wifiAddresses + field("a0:b1:c2:d3:e4:f7", 18)
        + field("LQ540-0137", 32);
    Q_ASSERT(record.size() == 248);
    return record;
}

// Ethernet 127.77.0.10 / 255.255.0.0 by DHCP, 127.77.0.20 / 255.255.255.0 static;
// Wi-Fi 127.77.1.10 / 255.255.255.128 by DHCP, 127.77.1.20 / 255.255.255.0 static.
const QByteArray kEthAddresses = QByteArray::fromHex("7f4d000a ffff0000 7f4d0014 ffffff00");
const QByteArray kWifiAddresses = QByteArray::fromHex("7f4d010a ffffff80 7f4d0114 ffffff00");
// "Café 東京": é is C3 A9, 東 E6 9D B1, 京 E4 BA AC.
const QByteArray kCafeTokyo = "Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC";

// A loopback address where nothing listens: 127.78.x.y.
QHostAddress nobodyThere()
{
    return QHostAddress(SimProcess::testAddress().toIPv4Address() + 0x00010000);
}

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
void dispatchWnet(WidgetWnet& page, const QByteArray& record)
{
    lastRead.refresh(record);
    page.loadRecord(record);
    page.saveButton()->setEnabled(false);
}

const QByteArray kRestart = QByteArray::fromHex("3201");
const QByteArray kPoll = QByteArray::fromHex("0400");

} // namespace

class TestNetworkPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    QList<int> packetSizes_;
    std::unique_ptr<QTemporaryDir> jobs_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WidgetLan> lan_;
    std::unique_ptr<WidgetWiFi> wifi_;

    QWidget& page(const QString& name) const
    {
        return name == "lan" ? static_cast<QWidget&>(*lan_) : static_cast<QWidget&>(*wifi_);
    }
    QPushButton* saveOf(const QString& name) const { return name == "lan" ? lan_->saveButton() : wifi_->saveButton(); }

    // What the main window's dispatch does with a type-2 reply.
    void dispatch(const QByteArray& record)
    {
        lastRead.refresh(record);
        lan_->loadRecord(record);
        wifi_->loadRecord(record);
        lan_->saveButton()->setEnabled(false);
        wifi_->saveButton()->setEnabled(false);
    }

    WidgetWnet& wnet() const { return *window_->widgetWnet(); }

    // The main window on a TCP link to the simulator as `model`, once the
    // reload's replies made `loaded` true.
    bool startWindow(const QString& model, const QStringList& extraArguments, const std::function<bool()>& loaded)
    {
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        hostCmd.project = model.left(5);
        hostCmd.model = model;
        return f_.sim.start(
                   QStringList {"--project", model.left(5), "--model", model, "--no-discovery"} + extraArguments)
            && f_.link->openTcp(f_.sim.address()) && QTest::qWaitFor(loaded, 15000);
    }
    // Its mobile page filled.
    bool startWnet(const QStringList& extraArguments = {})
    {
        return startWindow("LQ560-4G", extraArguments, [this] { return fieldOf(wnet(), "APN:")->text() == "cmnet"; });
    }

    bool startPrinter() { return f_.sim.start({"--no-discovery", "--capture-dir", jobs_->path()}); }
    QString job(int n) const { return jobs_->filePath(QStringLiteral("job-%1.bin").arg(n, 4, 10, QLatin1Char('0'))); }

    // Runs `act` on the Configure Wi-Fi dialog once the page runs it.
    void onDialog(std::function<void(DialogConfigureWiFi&)> act)
    {
        QTimer::singleShot(0, this, [act] {
            auto* dialog = qobject_cast<DialogConfigureWiFi*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            act(*dialog);
        });
    }
    static void fillAndAccept(DialogConfigureWiFi& dialog, const QString& ssid, const QString& password)
    {
        dialog.ssidField()->setText(ssid);
        dialog.passwordField()->setText(password);
        dialog.okButton()->click();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        TestPage::setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    }
    void cleanupTestCase()
    {
        TestPage::setClock({});
        f_.cleanupCase();
    }

    void init()
    {
        capture_.records.clear();
        capture_.onRecord = nullptr;
        capture_.result = true;
        packetSizes_.clear();
        lastRead.apn = {};
        // Packets go on to the simulator once a test has linked to it.
        hostCmd.setWriter(capture_.writer([this](const quint8* data, quint32 length, int timeoutMs) {
            packetSizes_.append(int(length));
            return transceiver ? transceiver->write(data, length, timeoutMs) : capture_.result;
        }));
        MessageBox::resetForTests();
        hostCmd.project = "LQ540";
        conf.Language = 0;
        jobs_ = std::make_unique<QTemporaryDir>();
        lan_ = std::make_unique<WidgetLan>();
        wifi_ = std::make_unique<WidgetWiFi>();
    }
    void cleanup()
    {
        lan_.reset();
        wifi_.reset();
        window_.reset();
        f_.dropLink();
        hostCmd.setWriter(nullptr);
        capture_.onRecord = nullptr;
        // No box may be left unseen by a test.
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void loadShowsTheRecord()
    {
        dispatch(netinfo(kEthAddresses, kCafeTokyo, QByteArray::fromHex("7f4d010a ffffff80 00000000 00000000")));
        const QStringList labels {"MAC Address:", "IP Address (DHCP):", "Netmask (DHCP):", "IP Address (Static):",
            "Netmask (Static):", "SSID:"};
        QStringList lan;
        QStringList wifi;
        for (const QString& label : labels) {
            if (fieldOf(*lan_, label))
                lan.append(fieldOf(*lan_, label)->text());
            wifi.append(fieldOf(*wifi_, label)->text());
        }
        QCOMPARE(lan, QStringList({"A0:B1:C2:D3:E4:F5", "127.77.0.10", "255.255.0.0", "127.77.0.20", "255.255.255.0"}));
        QCOMPARE(wifi,
            QStringList({"A0:B1:C2:D3:E4:F6", "127.77.1.10", "255.255.255.128", "0.0.0.0", "0.0.0.0",
                QString::fromUtf8(kCafeTokyo)}));
        QVERIFY(fieldOf(*wifi_, "SSID:")->isReadOnly());
        QVERIFY(!fieldOf(*lan_, "IP Address (Static):")->isReadOnly());
        QVERIFY(!lan_->saveButton()->isEnabled());
        QVERIFY(!wifi_->saveButton()->isEnabled());
    }

    void saveSendsOnlyAChange_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("dhcpNetmaskZero");
        QTest::addColumn<QString>("address"); // null: left as loaded
        QTest::addColumn<QString>("netmask");
        QTest::addColumn<QByteArray>("expected"); // empty: nothing sent
        QTest::addColumn<QString>("netmaskAfter");
        const QString keep;
        // Code, version 01, static address, static netmask.
        QTest::newRow("lan: no edit") << "lan" << false << keep << keep << QByteArray() << "255.255.255.0";
        QTest::newRow("lan: typed back") << "lan" << false << "127.77.0.20" << keep << QByteArray() << "255.255.255.0";
        QTest::newRow("lan: new address") << "lan" << false << "127.77.0.21" << keep
                                          << QByteArray::fromHex("01017f4d0015ffffff00") << "255.255.255.0";
        QTest::newRow("lan: empty netmask takes the DHCP one")
            << "lan" << false << keep << "" << QByteArray::fromHex("01017f4d0014ffff0000") << "255.255.0.0";
        QTest::newRow("lan: bad netmask, zero DHCP netmask")
            << "lan" << true << "127.77.0.21"
            << "mask" << QByteArray::fromHex("01017f4d0015ffffff00") << "255.255.255.0";
        QTest::newRow("lan: unparsable address")
            << "lan" << false << "printer-1" << keep << QByteArray::fromHex("010100000000ffffff00") << "255.255.255.0";
        QTest::newRow("lan: empty address")
            << "lan" << false << "" << keep << QByteArray::fromHex("010100000000ffffff00") << "255.255.255.0";
        QTest::newRow("wifi: no edit") << "wifi" << false << keep << keep << QByteArray() << "255.255.255.0";
        QTest::newRow("wifi: new address") << "wifi" << false << "127.77.1.21" << keep
                                           << QByteArray::fromHex("02017f4d0115ffffff00") << "255.255.255.0";
        QTest::newRow("wifi: zero netmask takes the DHCP one")
            << "wifi" << false << keep << "0.0.0.0" << QByteArray::fromHex("02017f4d0114ffffff80") << "255.255.255.128";
        QTest::newRow("wifi: empty netmask, zero DHCP netmask")
            << "wifi" << true << "127.77.1.21"
            << "" << QByteArray::fromHex("02017f4d0115ffffff00") << "255.255.255.0";
        QTest::newRow("wifi: unparsable address")
            << "wifi" << false << "1.2.3.4.5" << keep << QByteArray::fromHex("020100000000ffffff00") << "255.255.255.0";
    }
    void saveSendsOnlyAChange()
    {
        QFETCH(QString, page);
        QFETCH(bool, dhcpNetmaskZero);
        QFETCH(QString, address);
        QFETCH(QString, netmask);
        QFETCH(QByteArray, expected);
        QFETCH(QString, netmaskAfter);
        QByteArray eth = kEthAddresses;
        QByteArray wifi = kWifiAddresses;
        if (dhcpNetmaskZero) {
            eth.replace(4, 4, QByteArray(4, '\0'));
            wifi.replace(4, 4, QByteArray(4, '\0'));
        }
        dispatch(netinfo(eth, "Office", wifi));
        // An edit, even one that ends with the loaded text.
        for (const auto& [label, text] : {std::pair {"IP Address (Static):", address}, {"Netmask (Static):", netmask}})
            if (!text.isNull()) {
                fieldOf(this->page(page), label)->setText("x");
                fieldOf(this->page(page), label)->setText(text);
            }
        saveOf(page)->click();

        QCOMPARE(capture_.records, expected.isEmpty() ? QList<QByteArray>() : QList<QByteArray> {expected});
        QCOMPARE(fieldOf(this->page(page), "Netmask (Static):")->text(), netmaskAfter);
        QVERIFY(!saveOf(page)->isEnabled());
        // Saved once: the same values are not sent again.
        QMetaObject::invokeMethod(&this->page(page), "doSave");
        QCOMPARE(capture_.records.size(), expected.isEmpty() ? 0 : 1);
    }

    void lastReadCopiesAreIndependent()
    {
        dispatch(netinfo(kEthAddresses, "Office", kWifiAddresses));
        fieldOf(*lan_, "IP Address (Static):")->setText("127.77.1.20");
        lan_->saveButton()->click();
        wifi_->doSave();
        QCOMPARE(capture_.records, QList<QByteArray> {QByteArray::fromHex("01017f4d0114ffffff00")});
        // The Wi-Fi values now equal the Ethernet copy, but not the Wi-Fi one.
        fieldOf(*wifi_, "IP Address (Static):")->setText("127.77.0.20");
        wifi_->saveButton()->click();
        lan_->doSave();
        QCOMPARE(capture_.records.value(1), QByteArray::fromHex("02017f4d0014ffffff00"));
        QCOMPARE(capture_.records.size(), 2);
    }

    void failedWriteKeepsTheEditUnsaved()
    {
        dispatch(netinfo(kEthAddresses, "Office", kWifiAddresses));
        fieldOf(*wifi_, "IP Address (Static):")->setText("127.77.1.21");
        capture_.result = false;
        wifi_->saveButton()->click();
        QVERIFY(wifi_->saveButton()->isEnabled());
        capture_.result = true;
        wifi_->saveButton()->click();
        QCOMPARE(capture_.records.size(), 2);
        QCOMPARE(capture_.records.constLast(), QByteArray::fromHex("02017f4d0115ffffff00"));
        QVERIFY(!wifi_->saveButton()->isEnabled());
    }

    void testPageBytes_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("language");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray sim = SimProcess::testAddress().toString().toLatin1();
        const QByteArray nobody = nobodyThere().toString().toLatin1();
        // The LQ230 prints no space after the labels and feeds 4 LFs instead of 8.
        const auto lines = [&](const char* sp, const char* mac) {
            return kBody + " MAC Address:" + sp + mac + "\n" + "    IP(DHCP):" + sp + nobody + "\n"
                + "     Netmask:" + sp + "255.255.0.0\n" + "  IP(Static):" + sp + sim + "\n" + "     Netmask:" + sp
                + "255.255.255.0\n" + "Current Time:" + sp + kTime;
        };
        const char* eth = "A0:B1:C2:D3:E4:F5";
        const char* wifi = "A0:B1:C2:D3:E4:F6";
        const QByteArray ethHead = kStart + "\n" + kHeading + "*** Ethernet Print Test Page ***\n";
        const QByteArray wifiHead = kStart + "\n" + kHeading + "*** Wi-Fi Print Test Page ***\n\n";
        const QByteArray tail = kHeading + "*** END ***\n" + kBody + kEnd + "\n\n\n\n";
        const QByteArray ssid = "        SSID:";
        QTest::newRow("Ethernet, LQ230, English: no blank line")
            << "lan"
            << "LQ230" << 0 << ethHead + lines("", eth) + "\n\n" + tail;
        QTest::newRow("Ethernet, LQ230, Chinese") << "lan"
                                                  << "LQ230" << 1 << ethHead + "\n" + lines("", eth) + "\n\n" + tail;
        QTest::newRow("Ethernet, LQ230, language 7 acts as English")
            << "lan"
            << "LQ230" << 7 << ethHead + lines("", eth) + "\n\n" + tail;
        QTest::newRow("Ethernet, LQ520, English")
            << "lan"
            << "LQ520" << 0 << ethHead + "\n" + lines(" ", eth) + "\n\n" + tail + "\n\n\n\n";
        QTest::newRow("Wi-Fi, LQ230, English")
            << "wifi"
            << "LQ230" << 0 << wifiHead + lines("", wifi) + "\n" + ssid + kCafeTokyo + "\n\n" + tail;
        QTest::newRow("Wi-Fi, LQ540, Chinese")
            << "wifi"
            << "LQ540" << 1
            << wifiHead + lines(" ", wifi) + "\n" + ssid + " " + kCafeTokyo + "\n\n" + tail + "\n\n\n\n";
    }
    void testPageBytes()
    {
        QFETCH(QString, page);
        QFETCH(QString, project);
        QFETCH(int, language);
        QFETCH(QByteArray, expected);
        QVERIFY(startPrinter());
        hostCmd.project = project;
        conf.Language = language;
        const QByteArray addresses = ipBytes(nobodyThere()) + QByteArray::fromHex("ffff0000")
            + ipBytes(f_.sim.address()) + QByteArray::fromHex("ffffff00");
        dispatch(netinfo(addresses, kCafeTokyo, addresses));
        const qint64 mark = logSize();
        QPushButton* print = buttonOf(this->page(page), "Print Test Page");
        print->click();
        QVERIFY(!print->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(1)), 15000);
        QCOMPARE(readFile(job(1)), expected);
        QTRY_VERIFY_WITH_TIMEOUT(print->isEnabled(), 15000);
        QCOMPARE(logMessagesSince(mark, "TCP socket"),
            QStringList({"TCP socket created.", "TCP socket connected.", "TCP socket disconnected."}));
    }

    void testPrintTarget_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("staticAddress");
        QTest::addColumn<QString>("dhcpAddress");
        QTest::addColumn<QString>("error"); // empty: printed
        const QString sim = SimProcess::testAddress().toString();
        const QString nobody = nobodyThere().toString();
        for (const QString page : {"lan", "wifi"}) {
            QTest::addRow("%s: static 0.0.0.0", qPrintable(page)) << page << "0.0.0.0" << sim << "";
            QTest::addRow("%s: static all ones", qPrintable(page)) << page << "255.255.255.255" << sim << "";
            QTest::addRow("%s: static unparsable", qPrintable(page)) << page << "printer" << sim << "";
            QTest::addRow("%s: neither", qPrintable(page)) << page << "255.255.255.255"
                                                           << "0.0.0.0"
                                                           << "No valid IP address.";
            QTest::addRow("%s: refused", qPrintable(page)) << page << nobody << "0.0.0.0"
                                                           << "Connection refused";
        }
    }
    void testPrintTarget()
    {
        QFETCH(QString, page);
        QFETCH(QString, staticAddress);
        QFETCH(QString, dhcpAddress);
        QFETCH(QString, error);
        QVERIFY(startPrinter());
        const QByteArray addresses
            = ipBytes(QHostAddress(dhcpAddress)) + QByteArray::fromHex("ffffff00 00000000 ffffff00");
        dispatch(netinfo(addresses, "Office", addresses));
        fieldOf(this->page(page), "IP Address (Static):")->setText(staticAddress);
        const qint64 mark = logSize();
        if (!error.isEmpty())
            MessageBox::queueAnswer(QMessageBox::Ok);
        QPushButton* print = buttonOf(this->page(page), "Print Test Page");
        print->click();
        QTRY_VERIFY_WITH_TIMEOUT(print->isEnabled(), 15000);
        if (error.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(1)), 15000);
            return;
        }
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.constFirst().text, error);
        // Without an address no socket is made at all.
        QCOMPARE(logMessagesSince(mark, "TCP socket"),
            error == "Connection refused" ? QStringList({"TCP socket created.", "TCP socket disconnected."})
                                          : QStringList());
        QTRY_VERIFY(this->page(page).findChildren<QTcpSocket*>().isEmpty());
    }

    void okNeedsAnSsid()
    {
        DialogConfigureWiFi dialog(wifi_.get());
        QCOMPARE(dialog.passwordField()->echoMode(), QLineEdit::Password);
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.ssidField(), "a");
        QVERIFY(dialog.okButton()->isEnabled());
        QTest::keyClick(dialog.ssidField(), Qt::Key_Backspace);
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.passwordField(), "secret");
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.ssidField(), " ");
        QVERIFY(dialog.okButton()->isEnabled());
    }

    void credentialsRecord_data()
    {
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("ssidField"); // 128 bytes at offset 2
        QTest::addColumn<QByteArray>("passwordField"); // 128 bytes at offset 130
        const QByteArray zeros(128, '\0');
        QTest::newRow("empty password") << "Office"
                                        << "" << field("Office", 128) << zeros;
        QTest::newRow("127-byte SSID") << QString(127, 'a') << "pw" << QByteArray(127, 'a') + '\0' << field("pw", 128);
        QTest::newRow("200-byte SSID") << QString(200, 'a') << "pw" << QByteArray(127, 'a') + '\0' << field("pw", 128);
        // 126 bytes and é (C3 A9) make 128: the whole é goes, not half of it.
        QTest::newRow("cut before a two-byte character")
            << QString(126, 'a') + QChar(0xE9) << "pw" << QByteArray(126, 'a') + QByteArray(2, '\0')
            << field("pw", 128);
        QTest::newRow("200-byte password")
            << "Office" << QString(200, 'p') << field("Office", 128) << QByteArray(127, 'p') + '\0';
    }
    void credentialsRecord()
    {
        QFETCH(QString, ssid);
        QFETCH(QString, password);
        QFETCH(QByteArray, ssidField);
        QFETCH(QByteArray, passwordField);
        QVERIFY(DialogConfigureWiFi::sendCredentials(ssid, password));
        QCOMPARE(capture_.records, QList<QByteArray> {QByteArray::fromHex("1101") + ssidField + passwordField});
        // 258 bytes and 14 of padding, encrypted, behind the 4-byte header.
        QCOMPARE(packetSizes_, QList<int> {276});
    }

    void configureSendsEachTimeItIsAccepted()
    {
        dispatch(netinfo(kEthAddresses, "Office", kWifiAddresses));
        QPushButton* configure = buttonOf(*wifi_, "Configure SSID...");
        for (int i = 0; i < 2; ++i) {
            onDialog([](DialogConfigureWiFi& dialog) { fillAndAccept(dialog, "Shop", "s3cret"); });
            configure->click();
        }
        QCOMPARE(fieldOf(*wifi_, "SSID:")->text(), QString("Shop"));
        const QByteArray record = QByteArray::fromHex("1101") + field("Shop", 128) + field("s3cret", 128);
        QCOMPARE(capture_.records, QList<QByteArray>({record, record}));
        QCOMPARE(packetSizes_, QList<int>({276, 276}));
        // Sent at once: they are no unsaved change.
        QVERIFY(!wifi_->saveButton()->isEnabled());

        onDialog([](DialogConfigureWiFi& dialog) {
            dialog.ssidField()->setText("Other");
            dialog.reject();
        });
        configure->click();
        QCOMPARE(fieldOf(*wifi_, "SSID:")->text(), QString("Shop"));
        QCOMPARE(capture_.records.size(), 2);
    }

    void ssidLongerThan32BytesIsRefused_data()
    {
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("32 bytes") << QString(32, 'a') << true;
        QTest::newRow("33 bytes") << QString(33, 'a') << false;
        // Eleven characters, but 33 bytes of UTF-8 (E6 9D B1 each).
        QTest::newRow("11 three-byte characters") << QString(11, QChar(0x6771)) << false;
    }
    void ssidLongerThan32BytesIsRefused()
    {
        QFETCH(QString, ssid);
        QFETCH(bool, accepted);
        dispatch(netinfo(kEthAddresses, "Office", kWifiAddresses));
        bool stayedOpen = false;
        onDialog([&](DialogConfigureWiFi& dialog) {
            MessageBox::queueAnswer(QMessageBox::Ok);
            fillAndAccept(dialog, ssid, "pw");
            stayedOpen = dialog.isVisible();
            if (stayedOpen)
                dialog.reject();
        });
        buttonOf(*wifi_, "Configure SSID...")->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(stayedOpen, !accepted);
        QCOMPARE(capture_.records.size(), accepted ? 1 : 0);
        QCOMPARE(fieldOf(*wifi_, "SSID:")->text(), accepted ? ssid : QString("Office"));
        QCOMPARE(shown.size(), accepted ? 0 : 1);
    }

    // Over a link to the simulator: the new name comes back in the next
    // network information reply and is printed as it came; the password is
    // written nowhere on this side.
    void nonAsciiSsidRoundTrip()
    {
        QVERIFY(startWindow("LQ540", {"--capture-dir", jobs_->path()},
            [this] { return fieldOf(*window_->widgetWiFi(), "SSID:")->text() == "Tovra-Office"; }));
        WidgetWiFi& page = *window_->widgetWiFi();

        const QString password = "pw-7d41e9c2";
        onDialog([&](DialogConfigureWiFi& dialog) { fillAndAccept(dialog, QString::fromUtf8(kCafeTokyo), password); });
        buttonOf(page, "Configure SSID...")->click();
        QCOMPARE(packetSizes_.constLast(), 276);
        // The page's own printer is the one to print on.
        const QString sim = f_.sim.address().toString();
        fieldOf(page, "IP Address (Static):")->setText(sim);
        page.saveButton()->click();

        fieldOf(page, "SSID:")->clear();
        QVERIFY(hostCmd.requestRecord(2));
        QTRY_COMPARE_WITH_TIMEOUT(fieldOf(page, "SSID:")->text(), QString::fromUtf8(kCafeTokyo), 15000);
        QCOMPARE(fieldOf(page, "IP Address (Static):")->text(), sim);
        page.printTestPageButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(1)), 15000);
        QVERIFY(readFile(job(1)).contains("        SSID: " + kCafeTokyo + "\n\n"));
        QTRY_VERIFY_WITH_TIMEOUT(page.printTestPageButton()->isEnabled(), 15000);

        conf.save();
        QVERIFY(QFile::exists(conf.fileName));
        QVERIFY(readFile("log.txt").size() > 0);
        QDirIterator files(QDir::currentPath(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString file = files.next();
            QVERIFY2(!readFile(file).contains(password.toLatin1()), qPrintable(file));
        }
    }

    void wnetLoadShowsTheRecord_data()
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
    void wnetLoadShowsTheRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, shown);
        QFETCH(bool, apnChecked);
        WidgetWnet page;
        page.loadRecord(wnetRecord("9,9", "0100", "0300", "0100"));
        dispatchWnet(page, record);

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

    void wnetSaveSendsOnlyAChange_data()
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
    void wnetSaveSendsOnlyAChange()
    {
        QFETCH(QByteArray, flagHex);
        QFETCH(bool, check);
        QFETCH(QString, apn);
        QFETCH(QString, dial);
        QFETCH(QByteArray, expected);
        WidgetWnet page;
        dispatchWnet(page, wnetRecord("1,2", "0000", "0400", flagHex.constData()));
        page.findChild<QCheckBox*>()->setChecked(check);
        fieldOf(page, "APN:")->setText(apn);
        fieldOf(page, "Dial Number:")->setText(dial);
        page.doSave();

        QCOMPARE(capture_.records, expected.isEmpty() ? QList<QByteArray>() : QList<QByteArray> {expected});
        if (!expected.isEmpty()) {
            QCOMPARE(expected.size(), 84);
            QCOMPARE(lastRead.apn.bytes(), expected);
        }
        QVERIFY(!page.saveButton()->isEnabled());
        // Saved once: the same settings are not sent again.
        page.doSave();
        QCOMPARE(capture_.records.size(), expected.isEmpty() ? 0 : 1);
    }

    void wnetFailedWriteKeepsTheChangeUnsaved()
    {
        WidgetWnet page;
        dispatchWnet(page, connectedRecord());
        const QByteArray before = lastRead.apn.bytes();
        fieldOf(page, "APN:")->setText("internet");
        capture_.result = false;
        page.saveButton()->click();
        QCOMPARE(capture_.records.size(), 1);
        QCOMPARE(lastRead.apn.bytes(), before);
        QVERIFY(page.saveButton()->isEnabled());

        capture_.result = true;
        page.saveButton()->click();
        QCOMPARE(capture_.records.size(), 2);
        QCOMPARE(lastRead.apn.bytes(), capture_.records.constLast());
        QVERIFY(!page.saveButton()->isEnabled());
    }

    // Unsaved APN edits are asked about first: the polls would overwrite them.
    void restartAsksFirst_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("asked");
        const QString lost = "Unsaved settings will be lost. Continue?", restart = "Restart the 4G module?";
        QTest::newRow("declined") << false << QList<int> {QMessageBox::No} << QStringList {restart};
        QTest::newRow("edit kept") << true << QList<int> {QMessageBox::No} << QStringList {lost};
        QTest::newRow("edit given up") << true << QList<int> {QMessageBox::Yes, QMessageBox::Yes}
                                       << QStringList {lost, restart};
    }
    void restartAsksFirst()
    {
        QFETCH(bool, edited);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, asked);
        WidgetWnet page;
        dispatchWnet(page, connectedRecord());
        if (edited)
            fieldOf(page, "APN:")->setText("internet");
        for (int answer : answers)
            MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        buttonOf(page, "Restart...")->click();
        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.text;
        QCOMPARE(shown, asked);
        const bool restarted = answers.size() == 2;
        QCOMPARE(capture_.records, restarted ? QList<QByteArray> {kRestart} : QList<QByteArray> {});
        QCOMPARE(buttonOf(page, "Restart...")->isEnabled(), !restarted);
        QCOMPARE(fieldOf(page, "APN:")->isEnabled(), !restarted);
        QCOMPARE(page.saveButton()->isEnabled(), edited && !restarted);
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
        dispatchWnet(page, connectedRecord());
        int sent = 0;
        int pollsWhileEditable = 0;
        capture_.onRecord = [&](const QByteArray& record) {
            if (record != kPoll)
                return;
            ++sent;
            if (buttonOf(page, "Restart...")->isEnabled() || page.saveButton()->isEnabled()
                || page.findChild<QCheckBox*>()->isEnabled() || fieldOf(page, "APN:")->isEnabled())
                ++pollsWhileEditable;
            // The reply arrives after the poll, through the event loop.
            const QByteArray reply = wnetRecord("1,2", "b5ff", sent >= connectedFrom ? "0400" : "0500", "0100");
            QMetaObject::invokeMethod(
                &page, [&page, reply] { dispatchWnet(page, reply); }, Qt::QueuedConnection);
        };
        MessageBox::queueAnswer(QMessageBox::Yes);
        buttonOf(page, "Restart...")->click();
        QVERIFY(!buttonOf(page, "Restart...")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(page, "Restart...")->isEnabled(), 15000);
        // Asked once, before the restart.
        QCOMPARE(MessageBox::takeShown().size(), 1);

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
        QVERIFY(startWnet());
        fieldOf(wnet(), "APN:")->setText("iot.example");
        wnet().saveButton()->click();
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
        QVERIFY(startWnet({"--wnet-restart-ms", "1050"}));
        wnet().setPollIntervalMs(100);
        QStringList statuses;
        QObject context;
        connect(&hostCmd, &HostCmd::responseReceived, &context, [&](const QByteArray& reply) {
            if (reply.left(2) == kPoll)
                statuses.append(QString::fromLatin1(reply.mid(260, 2).toHex()));
        });
        capture_.records.clear();
        MessageBox::queueAnswer(QMessageBox::Yes);
        buttonOf(wnet(), "Restart...")->click();
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(wnet(), "Restart...")->isEnabled(), 15000);
        QCOMPARE(MessageBox::takeShown().size(), 1);

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
        QCOMPARE(fieldOf(wnet(), "Status:")->text(), QString("Connected"));
        QVERIFY(wnet().findChild<QCheckBox*>()->isEnabled());
        QVERIFY(fieldOf(wnet(), "APN:")->isEnabled());
        QVERIFY(!wnet().saveButton()->isEnabled());
    }
};

QTEST_MAIN(TestNetworkPages)
#include "tst_networkpages.moc"
