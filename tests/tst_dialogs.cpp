// The preferences dialog with the window's Preferences command, and the
// serial port chooser. Modal dialogs are driven by a timer that finds them.

#include "app/conf.h"
#include "link/transceiver.h"
#include "modalcloser.h"
#include "pagesupport.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogserialconnect.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {

QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<Transceiver> link_;
    std::unique_ptr<ScratchDirectory> dir_;

private Q_SLOTS:
    void initTestCase()
    {
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
    }
    void cleanupTestCase()
    {
        transceiver = nullptr;
        link_.reset();
    }

    // Each test writes its configuration file into a directory of its own.
    void init()
    {
        dir_ = std::make_unique<ScratchDirectory>();
        QVERIFY(dir_->isValid());
        MessageBox::takeShown();
    }
    void cleanup()
    {
        dir_.reset();
        conf.Language = 0;
        DialogSerialConnect::setPortSource({});
    }

    void preferencesShowsTheStoredLanguage()
    {
        // Values outside the list act as English.
        const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {7, 0}, {-1, 0}};
        for (const auto& [stored, shown] : cases) {
            conf.Language = stored;
            DialogPreferences dialog;
            QCOMPARE(dialog.languageIndex(), shown);
            QCOMPARE(dialog.findChild<QComboBox*>()->currentIndex(), shown);
        }
    }

    void preferencesCommand_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("changed");
        QTest::newRow("another language, OK") << 0 << 2 << "&OK" << true;
        QTest::newRow("back to English, OK") << 1 << 0 << "&OK" << true;
        QTest::newRow("the same language, OK") << 1 << 1 << "&OK" << false;
        QTest::newRow("another language, Cancel") << 0 << 1 << "&Cancel" << false;
    }
    void preferencesCommand()
    {
        QFETCH(int, stored);
        QFETCH(int, chosen);
        QFETCH(QString, press);
        QFETCH(bool, changed);

        conf.Language = stored;
        MainWindow window;
        if (changed)
            MessageBox::queueAnswer(QMessageBox::Ok);
        ModalCloser modal;
        modal.drive<DialogPreferences>([&](DialogPreferences* dialog) {
            dialog->findChild<QComboBox*>()->setCurrentIndex(chosen);
            byText<QPushButton>(dialog, press)->click();
        });
        window.preferencesAction()->trigger();

        QCOMPARE(modal.driven, 1);
        QCOMPARE(modal.seen, QStringList());
        QCOMPARE(conf.Language, changed ? chosen : stored);
        const QString file = "tovra-cloud-printer-setup.ini";
        QCOMPARE(QFile::exists(file), changed);
        if (changed)
            QCOMPARE(QSettings(file, QSettings::IniFormat).value("Conf/Language").toInt(), chosen);
        // The restart notice.
        QCOMPARE(MessageBox::takeShown().size(), changed ? 1 : 0);
    }

    void serialChooserReturnsTheBarePortName_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("portName");
        QTest::newRow("first") << 0 << "ttyUSB0";
        QTest::newRow("second, no description") << 1 << "ttyS1";
    }
    void serialChooserReturnsTheBarePortName()
    {
        QFETCH(int, index);
        QFETCH(QString, portName);
        DialogSerialConnect::setPortSource([] {
            return QList<DialogSerialConnect::Port>({{"USB Serial Port", "ttyUSB0"}, {"", "ttyS1"}});
        });
        DialogSerialConnect dialog;
        QCOMPARE(itemTexts(dialog.findChild<QComboBox*>()), QStringList({"USB Serial Port (ttyUSB0)", " (ttyS1)"}));
        QCOMPARE(dialog.portName(), QString());
        ModalCloser modal;
        modal.drive<DialogSerialConnect>([&](DialogSerialConnect* shown) {
            shown->findChild<QComboBox*>()->setCurrentIndex(index);
            byText<QPushButton>(shown, "&OK")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.portName(), portName);
    }

    void serialChooserWithoutPortsStaysOpen_data()
    {
        QTest::addColumn<bool>("systemPorts");
        QTest::newRow("no ports") << false;
        QTest::newRow("this computer's ports") << true;
    }
    void serialChooserWithoutPortsStaysOpen()
    {
        QFETCH(bool, systemPorts);
        if (systemPorts && !QSerialPortInfo::availablePorts().isEmpty())
            QSKIP("This computer has serial ports.");
        if (!systemPorts)
            DialogSerialConnect::setPortSource([] { return QList<DialogSerialConnect::Port>(); });

        DialogSerialConnect dialog;
        bool stayedOpen = false;
        ModalCloser modal;
        modal.drive<DialogSerialConnect>([&](DialogSerialConnect* shown) {
            byText<QPushButton>(shown, "&OK")->click();
            stayedOpen = shown->isVisible();
            byText<QPushButton>(shown, "C&ancel")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(stayedOpen);
        QCOMPARE(dialog.portName(), QString());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
