// The settings pages on their own (the serial page: tst_widgetserial). The
// Ethernet, Wi-Fi and mobile network pages and the Configure Wi-Fi dialog:
// what they show of a reply, what Save sends, the network test print
// reaching a listener on port 9100, the credentials, and the mobile module's
// restart with its status polls. The print page: what the controls give back
// after a load and an edit, snapping, the rules between the controls, and the
// LQ230 rule; the audio page's master box over the others. The records' bytes
// are tst_settings' part.

#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "linkfixture.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetaudio.h"
#include "pages/widgetprint.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>

using settings::WnetStatus;
using Print = settings::PrintSettings;

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

// Receipt paper at the side, density 100 and quality 0, then `fields` ("density=77 quality=45").
Print with(const QString& fields)
{
    Print value;
    for (const QString& item : ("density=100 quality=0 paper_type=48 black_mark_location=1 " + fields).split(' '))
        if (const settings::Field* field = Print::kSchema().find("print." + item.section('=', 0, 0)))
            value.setNumber(int(field - Print::kSchema().fields.data()), item.section('=', 1).toLongLong());
    return value;
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    std::unique_ptr<WidgetLan> lan_;
    std::unique_ptr<WidgetWiFi> wifi_;
    std::unique_ptr<WidgetPrint> print_;

    WidgetNetwork& page(bool wifi) const { return wifi ? static_cast<WidgetNetwork&>(*wifi_) : *lan_; }
    template <typename T> T* at(int index) const { return print_->findChildren<T*>().at(index); }
    QCheckBox* check(const QString& text) const { return byText<QCheckBox>(print_.get(), text); }

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
        print_ = std::make_unique<WidgetPrint>();
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

    void controlsGiveBack_data()
    {
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<int>("box"); // spin box typed into, unless -1
        QTest::addColumn<double>("typed");
        QTest::addColumn<QString>("expected"); // empty: as loaded
        QTest::newRow("black mark, every field")
            << "cjk=128 code_page=53 utf8=1 density=115 quality=30 paper_type=113 black_mark_location=2 "
               "print_position=123 cut_position=-25 cover_feed_dots=240 stop_when_not_taken=1 voice_when_not_taken=1"
            << -1 << 0.0 << QString();
        QTest::newRow("receipt, sliders as they were") << "cjk=11 cover_feed_dots=1600" << -1 << 0.0 << QString();
        QTest::newRow("77 snaps down, 46 up, 80 dots clamp to 20 mm")
            << "density=77 quality=46 cover_feed_dots=80" << -1 << 0.0 << "density=70 quality=50 cover_feed_dots=160";
        QTest::newRow("density 108 typed moves the slider, which sets the box")
            << QString() << 0 << 108.0 << "density=115";
        QTest::newRow("cut -0.19 mm toward zero")
            << "paper_type=113" << 2 << -0.19 << "paper_type=113 print_position=100 cut_position=-1";
    }
    void controlsGiveBack()
    {
        QFETCH(QString, loaded);
        QFETCH(int, box);
        QFETCH(double, typed);
        QFETCH(QString, expected);
        // Typed off the grid, where the sliders do not follow; a load sets them all the same.
        at<QSpinBox>(0)->setValue(107);
        at<QSpinBox>(1)->setValue(5);
        QCOMPARE(print_->value().forSending().differences(with("density=107 quality=5").forSending()), QStringList());
        lastRead.printSettings = with(expected.isEmpty() ? loaded : expected).forSending();
        print_->load(with(loaded));
        QVERIFY(!print_->saveButton()->isEnabled());
        if (box >= 0)
            at<QAbstractSpinBox>(box)->setProperty("value", typed);
        QCOMPARE(print_->value().forSending().differences(lastRead.printSettings), QStringList());
        QVERIFY(at<QSlider>(0)->value() % 15 == 10 && at<QSlider>(1)->value() % 10 == 0);
        // The length follows the feed box, black-mark paper or not.
        QCOMPARE(at<QSpinBox>(2)->isEnabled(), lastRead.printSettings.number(Print::CoverFeed) != 0);
    }

    void controlRules_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QList<int>>("set"); // feed box, CJK, UTF-8, paper type
        // CJK, code page, location, cut, print position, feed box, feed length, stop printing, black mark test.
        QTest::addColumn<QString>("enabled");
        QTest::newRow("utf-8 yes, cjk off") << "LQ520" << QList<int> {0, 5, 1, 0} << "010001010";
        QTest::newRow("cjk off") << "LQ520" << QList<int> {0, 5, 0, 0} << "110001010";
        QTest::newRow("receipt with feed") << "LQ520" << QList<int> {1, 0, 0, 0} << "100001110";
        QTest::newRow("black mark with feed") << "LQ520" << QList<int> {1, 0, 0, 1} << "101110011";
        QTest::newRow("LQ230: no paper groups") << "LQ230" << QList<int> {1, 0, 0, 1} << "100000001";
    }
    void controlRules()
    {
        QFETCH(QString, project);
        QFETCH(QList<int>, set);
        QFETCH(QString, enabled);
        // As on connecting: the rule, then a load.
        print_->applyFeatures(settings::features(project, project));
        print_->load(with(QString()));
        // Set in an order that exercises each rule after the others.
        check("Feed")->setChecked(set[0]);
        for (int i = 1; i < 4; ++i)
            at<QComboBox>(QList<int> {1, 0, 3}.at(i - 1))->setCurrentIndex(set[i]);
        QString seen;
        for (QWidget* w : QList<QWidget*> {at<QComboBox>(1), at<QComboBox>(2), at<QComboBox>(4), at<QDoubleSpinBox>(0),
                 at<QDoubleSpinBox>(1), check("Feed"), at<QSpinBox>(2), check("Stop Printing"),
                 buttonOf(*print_, "Black Mark Print Test")})
            seen += w->isEnabled() ? '1' : '0';
        QCOMPARE(seen, enabled);
        QVERIFY(buttonOf(*print_, "Font Settings...")->isHidden());
    }

    // The others keep their states while disabled, and are sent so.
    void audioMasterBox_data()
    {
        QTest::addColumn<QString>("checked"); // all, cloud, warning, notice, voice, beep
        QTest::newRow("all but warning") << QString("110111");
        // A box that changes during the load recomputes the enabling.
        QTest::newRow("all audio off, beep") << QString("011101");
    }
    void audioMasterBox()
    {
        QFETCH(QString, checked);
        settings::AudioSettings value;
        for (int i = 0; i < checked.size(); ++i)
            value.setFlag(i, checked[i] == '1');
        WidgetAudio page;
        page.load(value);
        const QList<QCheckBox*> boxes = page.findChildren<QCheckBox*>();
        for (const QCheckBox* box : boxes.mid(1))
            QCOMPARE(box->isEnabled(), checked[0] == '1');
        boxes[0]->click();
        for (const QCheckBox* box : boxes.mid(1))
            QCOMPARE(box->isEnabled(), checked[0] != '1');
        // The rest of what the boxes show comes back as loaded.
        QCOMPARE(page.value().differences(value), QStringList {"audio.all"});
        QVERIFY(page.saveButton()->isEnabled());
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
