// The main window without a printer: the dispatch of replies to the pages and
// the last-read copies, the model table, Reload and the two window states.
// The link's signals are emitted by the test; requests are captured.

#include "link/lastread.h"
#include "link/transceiver.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pages/widgetlan.h"
#include "pages/widgetprint.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>

namespace {

// A reply whose byte i is i mod 256, with the record type in bytes 0 and 1.
QByteArray reply(quint16 type, int length)
{
    QByteArray record(length, '\0');
    for (int i = 0; i < length; ++i)
        record[i] = char(i & 0xFF);
    record[0] = char(type & 0xFF);
    record[1] = char(type >> 8);
    return record;
}

QByteArray withText(QByteArray record, int offset, const QByteArray& text)
{
    return record.replace(offset, text.size(), text);
}

struct Copy
{
    const char* name;
    std::function<QByteArray()> bytes;
    // Every byte but the identifier set to `byte`.
    std::function<void(char byte)> fill;
};
template <class Value> Copy copyOf(const char* name, Value& value)
{
    return {name, [&value] { return value.bytes(); },
        [&value](char byte) {
            QByteArray bytes(value.bytes().size(), byte);
            value = *Value::fromCommand(bytes.replace(0, 2, value.bytes().left(2)));
        }};
}
const Copy kCopies[] = {copyOf("ethernet", lastRead.ethernetAddress), copyOf("wifi", lastRead.wifiAddress),
    copyOf("print", lastRead.printSettings), copyOf("apn", lastRead.apn), copyOf("serial", lastRead.serial),
    copyOf("audio", lastRead.audio)};

const QStringList kPages = {"lan", "wnet", "wifi", "serial", "audio", "print"};

// The page's unsaved-changes flag is the button's own state, which a
// disabled tab does not change.
bool isSet(const QPushButton* save)
{
    return !save->testAttribute(Qt::WA_ForceDisabled);
}

class TimerCount final : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == QEvent::Timer;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<Transceiver> link_;
    std::unique_ptr<MainWindow> window_;
    RecordCapture capture_;

    void deliver(const QByteArray& record)
    {
        Q_EMIT hostCmd.responseReceived(record);
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
    }

    // As the handshake answer comes: through the Transceiver to the window.
    void connectAs(const QString& project, const QString& model, const QByteArray& sn = "SN-A")
    {
        hostCmd.project = project;
        hostCmd.model = model;
        host_cmd_dev_info_t devinfo {};
        std::copy(sn.begin(), sn.end(), devinfo.sn);
        Q_EMIT hostCmd.deviceFound(devinfo);
        QCoreApplication::sendPostedEvents(link_.get(), QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
    }

    // The way the user presses Reload: a disabled button does nothing.
    void pressReload()
    {
        qobject_cast<QAbstractButton*>(window_->toolBar()->widgetForAction(window_->reloadAction()))->click();
    }

    QPushButton* saveOf(const QString& page) const
    {
        const QList<QPushButton*> saves = {window_->widgetLan()->saveButton(), window_->widgetWnet()->saveButton(),
            window_->widgetWiFi()->saveButton(), window_->widgetSerial()->saveButton(),
            window_->widgetAudio()->saveButton(), window_->widgetPrint()->saveButton()};
        return saves.value(kPages.indexOf(page));
    }

    void enableAllSaveButtons()
    {
        for (const QString& page : kPages)
            saveOf(page)->setEnabled(true);
    }

    // The device information page's line edit beside the label `labelText`.
    QLineEdit* field(const QString& label) const { return fieldOf(*window_->widgetDeviceInformation(), label); }

    QStringList deviceInformationTexts() const
    {
        QStringList texts;
        for (const QLineEdit* edit : window_->widgetDeviceInformation()->findChildren<QLineEdit*>())
            texts.append(edit->text());
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        capture_.install();
    }
    void cleanupTestCase()
    {
        hostCmd.setWriter({});
        transceiver = nullptr;
        link_.reset();
    }

    void init()
    {
        window_ = std::make_unique<MainWindow>();
        capture_.records.clear();
        MessageBox::resetForTests();
    }
    void cleanup()
    {
        window_.reset();
        for (const Copy& copy : kCopies)
            copy.fill('\0');
    }

    void dispatchRefreshesCopiesAndClearsSave_data()
    {
        QTest::addColumn<QByteArray>("record");
        // "name=hex" of each copy the reply refreshes; the others stay zero.
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("cleared");

        // clang-format off
        QTest::newRow("device information") << reply(1, 186) << QStringList() << QStringList();
        QTest::newRow("network information") << reply(2, 248)
            << QStringList({"ethernet=01011c1d1e1f20212223", "wifi=0201bebfc0c1c2c3c4c5"})
            << QStringList({"lan", "wifi"});
        // Byte 2 of the reply is 02; the copy holds 00 there. Bytes past 46 are ignored.
        QTest::newRow("print settings, 60 bytes") << reply(3, 60)
            << QStringList({"print=210100030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425"
                                  "262728292a2b2c2d"})
            << QStringList({"print"});
        QTest::newRow("mobile network") << reply(4, 344)
            << QStringList({"apn=3101060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d"
                                "2e2f303132333435363738393a3b3c3d3e3f404142434445464748494a4b4c4d4e4f5051525354555657"})
            << QStringList({"wnet"});
        QTest::newRow("serial") << reply(5, 18) << QStringList({"serial=410102030405060708090a0b0c0d0e0f1011"})
                                << QStringList({"serial"});
        QTest::newRow("audio") << reply(6, 7) << QStringList({"audio=03010203040506"}) << QStringList({"audio"});
        // clang-format on
    }
    void dispatchRefreshesCopiesAndClearsSave()
    {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, copies);
        QFETCH(QStringList, cleared);

        enableAllSaveButtons();
        deliver(record);

        for (const Copy& copy : kCopies) {
            const QString prefix = QLatin1String(copy.name) + "=";
            QByteArray expected = (copy.bytes().left(2) + QByteArray(copy.bytes().size() - 2, '\0')).toHex();
            for (const QString& entry : copies) {
                if (entry.startsWith(prefix))
                    expected = entry.mid(prefix.size()).toLatin1();
            }
            QVERIFY2(copy.bytes().toHex() == expected, copy.name);
        }
        for (const QString& page : kPages)
            QVERIFY2(isSet(saveOf(page)) == !cleared.contains(page), qPrintable(page));
    }

    void dispatchIgnores_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("type 0") << reply(0, 400);
        QTest::newRow("type 7") << reply(7, 400);
        QTest::newRow("a settings record's identifier") << reply(0x0103, 400);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("device information, 185 bytes") << reply(1, 185);
        QTest::newRow("network information, 247 bytes") << reply(2, 247);
        QTest::newRow("print settings, 45 bytes") << reply(3, 45);
        QTest::newRow("mobile network, 343 bytes") << reply(4, 343);
        QTest::newRow("serial, 17 bytes") << reply(5, 17);
        QTest::newRow("audio, 6 bytes") << reply(6, 6);
    }
    void dispatchIgnores()
    {
        QFETCH(QByteArray, record);
        deliver(withText(withText(QByteArray(186, '\0'), 0, "\x01"), 18, "LQ520"));
        deliver(withText(withText(QByteArray(248, '\0'), 0, "\x02"), 198, "00:11:22:33:44:55"));
        const QStringList shown = deviceInformationTexts();
        for (const Copy& copy : kCopies)
            copy.fill('\xAA');
        enableAllSaveButtons();

        deliver(record);

        QCOMPARE(deviceInformationTexts(), shown);
        for (const Copy& copy : kCopies)
            QVERIFY2(copy.bytes().mid(2) == QByteArray(copy.bytes().size() - 2, '\xAA'), copy.name);
        for (const QString& page : kPages)
            QVERIFY2(isSet(saveOf(page)), qPrintable(page));
    }

    void deviceInformationRows()
    {
        QByteArray record = withText(QByteArray(186, '\0'), 0, "\x01");
        record = withText(record, 2, QByteArray(16, 'x'));
        record = withText(record, 18, "LQ560-4G");
        record = withText(record, 34, "SN0123456789ABCDEFGHIJKL");
        record = withText(record, 58, "HW 2.1");
        record = withText(record, 90, "FW 3.2.\xE9");
        record = withText(record, 170, "TTS-0123456789AB");
        // Replies arrive while disconnected too: the page fills, the tabs stay disabled.
        deliver(record);
        // A serial number of 24 characters with no NUL: all of them, nothing of the
        // next field; the firmware is Latin-1; the TTS version fills the record's end.
        const QList<QPair<QString, QString>> rows = {{"Model:", "LQ560-4G"}, {"SN:", "SN0123456789ABCDEFGHIJKL"},
            {"HW Version:", "HW 2.1"}, {"FW Version:", QString::fromUtf8("FW 3.2.\xC3\xA9")},
            {"Partner APP Version:", ""}, {"TTS Version:", "TTS-0123456789AB"}};
        for (const auto& row : rows) {
            QLineEdit* edit = field(row.first);
            QVERIFY2(edit && edit->isReadOnly(), qPrintable(row.first));
            QCOMPARE(edit->text(), row.second);
        }
    }

    void bluetoothRows_data()
    {
        QTest::addColumn<QByteArray>("mac");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shownMac");
        QTest::addColumn<QString>("shownName");
        // clang-format off
        QTest::newRow("lower-case address, UTF-8 name")
            << QByteArray("a4:c1:38:0f:2b:9e") << QByteArray("K\xC3\xBC")
            << "A4:C1:38:0F:2B:9E" << QString::fromUtf8("K\xC3\xBC");
        QTest::newRow("both fields full, no NUL")
            << QByteArray("0123456789abcdefgh") << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345")
            << "0123456789ABCDEFGH" << "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
        // clang-format on
    }
    void bluetoothRows()
    {
        QFETCH(QByteArray, mac);
        QFETCH(QByteArray, name);
        QFETCH(QString, shownMac);
        QFETCH(QString, shownName);

        deliver(withText(withText(QByteArray(186, '\0'), 0, "\x01"), 18, "LQ540"));
        deliver(withText(withText(withText(QByteArray(248, '\0'), 0, "\x02"), 198, mac), 216, name));

        QCOMPARE(field("Bluetooth MAC Address:")->text(), shownMac);
        QCOMPARE(field("Bluetooth Device Name:")->text(), shownName);
        // The network reply touches no other row.
        QCOMPARE(field("Model:")->text(), QString("LQ540"));
    }

    void modelTable_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("ethernet");
        QTest::addColumn<bool>("wnet");
        QTest::addColumn<bool>("wifi");
        QTest::addColumn<bool>("bluetooth");
        // clang-format off
        QTest::newRow("LQ520") << "LQ520" << "LQ520" << true << false << false << false;
        QTest::newRow("LQ520 as a model name only") << "LQ999" << "LQ520" << false << false << false << false;
        QTest::newRow("LQ560 and more") << "LQ560" << "LQ560-4G" << false << true << true << false;
        QTest::newRow("LQ560 exactly") << "LQ560" << "LQ560" << false << true << true << true;
        QTest::newRow("lq560, other case") << "lq560" << "lq560" << false << false << false << false;
        QTest::newRow("LQ230 project") << "LQ230" << "T1" << false << false << true << true;
        QTest::newRow("LQ540") << "LQ540" << "LQ540" << false << false << true << true;
        QTest::newRow("LQ540 and more") << "LQ540" << "LQ540-W" << false << false << true << false;
        QTest::newRow("LQ580") << "LQ580" << "LQ580-4G" << false << true << false << false;
        QTest::newRow("every feature off") << "LQ100" << "LQ100" << false << false << false << false;
        // clang-format on
    }
    void modelTable()
    {
        QFETCH(QString, project);
        QFETCH(QString, model);
        QFETCH(bool, ethernet);
        QFETCH(bool, wnet);
        QFETCH(bool, wifi);
        QFETCH(bool, bluetooth);

        connectAs(project, model);

        const QTabWidget* tabs = window_->tabWidget();
        QVERIFY(tabs->isEnabled());
        const QList<bool> expected = {true, ethernet, wnet, wifi, true, true, true};
        for (int tab = 0; tab < expected.size(); ++tab)
            QVERIFY2(tabs->isTabEnabled(tab) == expected[tab], qPrintable(tabs->tabText(tab)));

        // Labels and fields: the two Bluetooth rows by the table, the ten others always.
        const QWidget* page = window_->widgetDeviceInformation();
        const QList<QLabel*> labels = page->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 12);
        for (const QLabel* label : labels) {
            const bool visible = label->text().startsWith("Bluetooth") ? bluetooth : true;
            QVERIFY2(label->isVisibleTo(page) == visible, qPrintable(label->text()));
            QVERIFY2(label->buddy()->isVisibleTo(page) == visible, qPrintable(label->text()));
        }
    }

    void reconnectingReevaluatesTheModel()
    {
        const QWidget* page = window_->widgetDeviceInformation();
        QTabWidget* tabs = window_->tabWidget();
        tabs->setCurrentIndex(MainWindow::EthernetTab);
        connectAs("LQ520", "LQ520");
        QVERIFY(tabs->isTabEnabled(MainWindow::EthernetTab));

        connectAs("LQ560", "LQ560");
        QVERIFY(!tabs->isTabEnabled(MainWindow::EthernetTab));
        QVERIFY(field("Bluetooth MAC Address:")->isVisibleTo(page));
        // A disabled tab stays where it is and stays current.
        QCOMPARE(tabs->currentIndex(), int(MainWindow::EthernetTab));

        connectAs("LQ100", "LQ100");
        QVERIFY(!field("Bluetooth MAC Address:")->isVisibleTo(page));
        QVERIFY(!tabs->isTabEnabled(MainWindow::WnetTab));
    }

    void connectingAgainWithEdits_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("sn");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QByteArray>("requested");
        const QByteArray all = "010203040506";
        // clang-format off
        QTest::newRow("same printer, keep") << QByteArray("SN-A") << QByteArray("SN-A") << int(QMessageBox::No)
                                            << 1 << QByteArray("01");
        QTest::newRow("same printer, reload") << QByteArray("SN-A") << QByteArray("SN-A") << int(QMessageBox::Yes)
                                              << 1 << all;
        QTest::newRow("another printer") << QByteArray("SN-A") << QByteArray("SN-B") << int(QMessageBox::No)
                                         << 0 << all;
        QTest::newRow("16 characters, the last differs") << QByteArray("ABCDEFGHIJKLMNOP")
            << QByteArray("ABCDEFGHIJKLMNOQ") << int(QMessageBox::No) << 0 << all;
        // clang-format on
    }
    // Edits left from before the link came back are kept only for the same
    // printer and only if the user says so; its identity is read in any case.
    void connectingAgainWithEdits()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, sn);
        QFETCH(int, answer);
        QFETCH(int, asked);
        QFETCH(QByteArray, requested);
        connectAs("LQ520", "LQ520", before);
        capture_.records.clear();
        enableAllSaveButtons();

        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        connectAs("LQ520", "LQ520", sn);

        QCOMPARE(MessageBox::takeShown().size(), asked);
        QByteArray types;
        for (const QByteArray& record : qAsConst(capture_.records))
            types += record.left(1);
        QCOMPARE(types.toHex(), requested);
        for (const QString& page : kPages)
            QVERIFY2(isSet(saveOf(page)) == (requested.size() == 2), qPrintable(page));
    }

    void reloadIsLockedBriefly()
    {
        connectAs("LQ520", "LQ520");
        // The reload of the connection holds the lock.
        QVERIFY(!window_->reloadAction()->isEnabled());
        QTRY_VERIFY(window_->reloadAction()->isEnabled());

        capture_.records.clear();
        pressReload();
        pressReload();
        QCOMPARE(capture_.records.size(), 6);
        QTRY_VERIFY(window_->reloadAction()->isEnabled());
        pressReload();
        QCOMPARE(capture_.records.size(), 12);
    }

    void linkLostDuringTheLockKeepsReloadDisabled()
    {
        TimerCount timers;
        window_->installEventFilter(&timers);
        connectAs("LQ520", "LQ520");
        Q_EMIT link_->disconnected();
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
        QTRY_VERIFY(timers.count > 0);
        QVERIFY(!window_->reloadAction()->isEnabled());
    }

    void reloadWithUnsavedSettingsAsks_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("answer");
        QTest::newRow("Ethernet, yes") << "lan" << int(QMessageBox::Yes);
        // The 4G tab is disabled for this printer; its flag still counts.
        QTest::newRow("4G, no") << "wnet" << int(QMessageBox::No);
        QTest::newRow("print settings, no") << "print" << int(QMessageBox::No);
        QTest::newRow("serial, box closed") << "serial" << int(QMessageBox::NoButton);
    }
    void reloadWithUnsavedSettingsAsks()
    {
        QFETCH(QString, page);
        QFETCH(int, answer);

        connectAs("LQ520", "LQ520");
        QTRY_VERIFY(window_->reloadAction()->isEnabled());
        capture_.records.clear();
        saveOf(page)->setEnabled(true);

        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        pressReload();

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        const bool yes = answer == QMessageBox::Yes;
        QCOMPARE(capture_.records.size(), yes ? 6 : 0);
        QCOMPARE(window_->reloadAction()->isEnabled(), !yes);
        // Reload itself clears no flag; the replies do.
        QVERIFY(isSet(saveOf(page)));
    }

    // The print page alone is taller than a laptop's screen leaves room for
    // (the test screen is 800 x 600): the window still fits, and a page
    // scrolls to what it cannot show.
    void windowFitsASmallScreen()
    {
        window_->show();
        const QSize room = window_->screen()->availableGeometry().size();
        const QSize least = window_->minimumSizeHint();
        QVERIFY2(least.width() <= room.width() && least.height() <= room.height(),
            qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
        window_->resize(least);
        auto* tabs = window_->findChild<QTabWidget*>();
        tabs->setCurrentIndex(6);
        auto* area = qobject_cast<QScrollArea*>(tabs->currentWidget());
        QVERIFY(area);
        QPushButton* save = window_->widgetPrint()->saveButton();
        area->ensureWidgetVisible(save);
        QVERIFY(!save->visibleRegion().isEmpty());
    }

    void connectedAndDisconnectedStates()
    {
        QCOMPARE(mainWindow, window_.get());
        const auto disconnected = [this] {
            QVERIFY(window_->connectAction()->isEnabled());
            QVERIFY(!window_->disconnectAction()->isEnabled());
            QVERIFY(!window_->reloadAction()->isEnabled());
            QVERIFY(!window_->tabWidget()->isEnabled());
            QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
        };
        disconnected();

        connectAs("LQ520", "LQ520");
        QVERIFY(!window_->connectAction()->isEnabled());
        QVERIFY(window_->disconnectAction()->isEnabled());
        QVERIFY(window_->tabWidget()->isEnabled());
        QVERIFY(window_->statusLabel()->text().startsWith("Connected ("));
        deliver(withText(withText(QByteArray(186, '\0'), 0, "\x01"), 18, "LQ520"));

        // The link state is 0, as after the user's Disconnect: no reconnect dialog.
        Q_EMIT link_->disconnected();
        QCoreApplication::sendPostedEvents(window_.get(), QEvent::MetaCall);
        disconnected();
        // What the pages show stays.
        QCOMPARE(field("Model:")->text(), QString("LQ520"));

        window_.reset();
        QCOMPARE(mainWindow, nullptr);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
