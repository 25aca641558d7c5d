// The main window without a printer: replies handed to the pages and the
// last-read copies, the pages the model has, unsaved edits and Reload, the
// Preferences command. The link's signals are emitted by the test; requests
// are captured; modal dialogs are driven by a timer that finds them.

#include "app/conf.h"
#include "link/transceiver.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pages/widgetprint.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/dialogpreferences.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QComboBox>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

using namespace settings;

namespace {

// Byte i is i mod 256 after the record type: no text ends early at a NUL,
// and no two fields hold the same bytes.
QByteArray reply(quint16 type, int length)
{
    QByteArray record(length, '\0');
    for (int i = 0; i < length; ++i)
        record[i] = char(i < 2 ? type >> (8 * i) : i);
    return record;
}

// A lower-case Bluetooth address and a UTF-8 name.
QByteArray networkReply()
{
    auto network = *NetworkInfo::fromReply(reply(2, 248));
    network.setText(NetworkInfo::BluetoothMac, "a4:c1:38:0f:2b:9e");
    network.setText(NetworkInfo::BluetoothName, QString::fromUtf8("K\xC3\xBC"));
    return network.bytes();
}

// The copy holds what the reply carries, or stays a default value.
template <class Value> bool holds(const Value& copy, const QByteArray& reply)
{
    return copy == Value::fromReply(reply).value_or(Value());
}

struct TimerCount final : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override { return (count += event->type() == QEvent::Timer) < 0; }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    Transceiver link_;
    std::unique_ptr<MainWindow> window_;
    RecordCapture capture_;

    void deliver(const QByteArray& record)
    {
        Q_EMIT hostCmd.responseReceived(record);
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
    }
    // As the handshake answer comes: through the Transceiver to the window.
    void connectAs(const QString& project, const QByteArray& sn = "ABCDEFGHIJKLMNOP")
    {
        hostCmd.project = hostCmd.model = project;
        host_cmd_dev_info_t devinfo {};
        std::copy(sn.begin(), sn.end(), devinfo.sn);
        Q_EMIT hostCmd.deviceFound(devinfo);
        QCoreApplication::sendPostedEvents(&link_, QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
    }
    QList<QPushButton*> saves() const
    {
        return {window_->widgetLan()->saveButton(), window_->widgetWnet()->saveButton(),
            window_->widgetWiFi()->saveButton(), window_->widgetSerial()->saveButton(),
            window_->widgetAudio()->saveButton(), window_->widgetPrint()->saveButton()};
    }
    // The page's unsaved-changes flag is the button's own state, which a
    // disabled tab does not change.
    bool isSet(int page) const { return !saves().at(page)->testAttribute(Qt::WA_ForceDisabled); }
    QLineEdit* row(const QString& label) const { return fieldOf(*window_->widgetDeviceInformation(), label); }

private Q_SLOTS:
    void init()
    {
        transceiver = &link_;
        capture_.install();
        MessageBox::resetForTests();
        window_ = std::make_unique<MainWindow>();
    }

    void dispatch_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("loaded"); // the pages it loads
        QTest::newRow("device information") << reply(1, 186) << "info";
        QTest::newRow("network information") << networkReply() << "bluetooth lan wifi";
        QTest::newRow("print settings, longer") << reply(3, 60) << "print";
        QTest::newRow("mobile network") << reply(4, 344) << "wnet";
        QTest::newRow("serial") << reply(5, 18) << "serial";
        QTest::newRow("audio") << reply(6, 7) << "audio";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void dispatch()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, loaded);
        [](auto&... copy) { ((copy = std::decay_t<decltype(copy)>()), ...); }(lastRead.ethernetAddress, lastRead.apn,
            lastRead.wifiAddress, lastRead.serial, lastRead.audio, lastRead.printSettings);
        for (QPushButton* save : saves())
            save->setEnabled(true);

        deliver(reply);

        const auto info = DeviceInfo::fromReply(reply).value_or(DeviceInfo());
        const QStringList labels = {"Model:", "SN:", "HW Version:", "Bootloader Version:", "FW Version:",
            "TOVRA APP Version:", "Partner APP Version:", "MiniAPP Version:", "Font Version:", "TTS Version:"};
        for (int i = 0; i < labels.size(); ++i)
            QCOMPARE(row(labels[i])->text(), info.text(i));
        const bool bluetooth = loaded.contains("bluetooth");
        QCOMPARE(row("Bluetooth MAC Address:")->text(), QString(bluetooth ? "A4:C1:38:0F:2B:9E" : ""));
        QCOMPARE(row("Bluetooth Device Name:")->text(), bluetooth ? QString::fromUtf8("K\xC3\xBC") : QString());
        const QStringList pages = {"lan", "wnet", "wifi", "serial", "audio", "print"};
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(isSet(i) != loaded.contains(pages[i]), qPrintable(pages[i]));
        QVERIFY(holds(lastRead.ethernetAddress, reply) && holds(lastRead.apn, reply)
            && holds(lastRead.wifiAddress, reply) && holds(lastRead.serial, reply) && holds(lastRead.audio, reply));
        QCOMPARE(lastRead.printSettings, PrintSettings::fromReply(reply).value_or(PrintSettings()).withoutReserved());
    }

    // Each feature turns on and off along the way; the user's tab stays
    // current, shown disabled.
    void pagesFollowTheModel()
    {
        const QWidget* info = window_->widgetDeviceInformation();
        QTabWidget* tabs = window_->tabWidget();
        tabs->setCurrentIndex(MainWindow::EthernetTab);
        for (const QString project : {"LQ520", "LQ560", "LQ230", "LQ100", "LQ520"}) {
            connectAs(project);
            const Features has = features(project, project);
            const QList<bool> enabled = {true, has.ethernet, has.mobile, has.wifi, true, true, true};
            for (int tab = 0; tab < tabs->count(); ++tab)
                QVERIFY2(tabs->isTabEnabled(tab) == enabled[tab], qPrintable(project + tabs->tabText(tab)));
            QCOMPARE(tabs->currentIndex(), int(MainWindow::EthernetTab));
            for (const QString label : {"Bluetooth MAC Address:", "Bluetooth Device Name:"})
                QCOMPARE(
                    byText<QLabel>(info, label)->isVisibleTo(info) + row(label)->isVisibleTo(info), 2 * has.bluetooth);
            QCOMPARE(byText<QGroupBox>(window_->widgetPrint(), "Paper Layout")->isEnabled(), !has.compact);
        }
    }

    void preferencesCommand_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown"); // values outside the list show English
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("press");
        QTest::newRow("another language, OK") << 0 << 0 << 2 << "&OK";
        QTest::newRow("back to English, OK") << 1 << 1 << 0 << "&OK";
        QTest::newRow("the same language, OK") << 2 << 2 << 2 << "&OK";
        QTest::newRow("7 shown as English, OK") << 7 << 0 << 0 << "&OK";
        QTest::newRow("-1 shown as English, Cancel") << -1 << 0 << 1 << "&Cancel";
    }
    void preferencesCommand()
    {
        QFETCH(int, stored);
        QFETCH(int, shown);
        QFETCH(int, chosen);
        QFETCH(QString, press);
        const bool changed = press == "&OK" && chosen != stored;
        ScratchDirectory dir;
        QVERIFY(dir.isValid());
        conf.Language = stored;
        MainWindow window;
        MessageBox::queueAnswer(QMessageBox::Ok);
        ModalCloser modal;
        modal.drive<DialogPreferences>([&](DialogPreferences* dialog) {
            auto* combo = dialog->findChild<QComboBox*>();
            QCOMPARE(combo->currentIndex(), shown);
            combo->setCurrentIndex(chosen);
            byText<QPushButton>(dialog, press)->click();
        });
        window.preferencesAction()->trigger();

        QCOMPARE(modal.driven, 1);
        QCOMPARE(conf.Language, changed ? chosen : stored);
        QCOMPARE(QSettings("tovra-cloud-printer-setup.ini", QSettings::IniFormat).value("Conf/Language", -9).toInt(),
            changed ? chosen : -9);
        // The restart notice.
        QCOMPARE(MessageBox::takeShown().size(), changed ? 1 : 0);
    }

    void unsavedEdits_data()
    {
        QTest::addColumn<QByteArray>("sn"); // of the printer that answers next; none: Reload is pressed
        QTest::addColumn<int>("page"); // the page with the edit, in the order of saves()
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("requested"); // record types
        const QByteArray all = "010203040506", same = "ABCDEFGHIJKLMNOP";
        QTest::newRow("same printer, keep") << same << 0 << int(QMessageBox::No) << QByteArray("01");
        QTest::newRow("same printer, reload") << same << 0 << int(QMessageBox::Yes) << all;
        // Not asked: a No would keep the edits.
        QTest::newRow("another printer, the last character differs")
            << QByteArray("ABCDEFGHIJKLMNOQ") << 0 << int(QMessageBox::No) << all;
        QTest::newRow("Reload, Ethernet, yes") << QByteArray() << 0 << int(QMessageBox::Yes) << all;
        // The 4G tab is disabled for this printer; its flag still counts.
        QTest::newRow("Reload, 4G, no") << QByteArray() << 1 << int(QMessageBox::No) << QByteArray();
    }
    void unsavedEdits()
    {
        QFETCH(QByteArray, sn);
        QFETCH(int, page);
        QFETCH(int, answer);
        QFETCH(QByteArray, requested);
        connectAs("LQ520");
        deliver(reply(1, 186));
        QTRY_VERIFY(window_->reloadAction()->isEnabled());
        capture_.records.clear();
        saves().at(page)->setEnabled(true);
        TimerCount timers;
        window_->installEventFilter(&timers);

        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        if (sn.isEmpty())
            window_->reloadAction()->trigger();
        else
            connectAs("LQ520", sn);

        QByteArray types;
        for (const QByteArray& record : qAsConst(capture_.records))
            types += record.left(1);
        QCOMPARE(types.toHex(), requested);
        // Reload itself clears no flag; the replies do.
        QCOMPARE(isSet(page), sn.isEmpty() || requested.size() == 2);
        // Each reload locks Reload for a moment; a lock that ends after the
        // link was lost leaves it disabled, and the pages keep what they show.
        QCOMPARE(window_->reloadAction()->isEnabled(), requested.size() < 12);
        Q_EMIT link_.disconnected();
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
        QTRY_VERIFY(timers.count > 0 || requested.size() < 12);
        QVERIFY(!window_->reloadAction()->isEnabled() && !row("Model:")->text().isEmpty());
    }

    // The print page alone is taller than the test screen (800 x 600) leaves
    // room for: the window still fits, and the page scrolls.
    void windowFitsASmallScreen()
    {
        window_->show();
        const QSize room = window_->screen()->availableGeometry().size();
        QCOMPARE(room.expandedTo(window_->minimumSizeHint()), room);
        window_->resize(window_->minimumSizeHint());
        window_->tabWidget()->setCurrentIndex(MainWindow::PrintTab);
        qobject_cast<QScrollArea*>(window_->tabWidget()->currentWidget())
            ->ensureWidgetVisible(window_->widgetPrint()->saveButton());
        QVERIFY(!window_->widgetPrint()->saveButton()->visibleRegion().isEmpty());
        // Its own size, widened for the tool bar, fits as well.
        QCOMPARE(room.expandedTo(window_->sizeHint()), room);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
