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
#include <QSettings>
#include <QTest>

class TestDialogs : public QObject
{
    Q_OBJECT

    Transceiver link_;

private Q_SLOTS:
    void initTestCase() { transceiver = &link_; }

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

    void serialChooser_data()
    {
        QTest::addColumn<int>("index"); // -1: no ports
        QTest::addColumn<QString>("shown"); // the item and the port name
        QTest::newRow("first") << 0 << "USB Serial Port (ttyUSB0)|ttyUSB0";
        QTest::newRow("second, no description") << 1 << " (ttyS1)|ttyS1";
        QTest::newRow("no ports") << -1 << "|";
    }
    void serialChooser()
    {
        QFETCH(int, index);
        QFETCH(QString, shown);
        DialogSerialConnect::setPortSource([index] {
            return QList<DialogSerialConnect::Port>({{"USB Serial Port", "ttyUSB0"}, {"", "ttyS1"}})
                .mid(index < 0 ? 2 : 0);
        });
        DialogSerialConnect dialog;
        dialog.show();
        dialog.findChild<QComboBox*>()->setCurrentIndex(index);
        byText<QPushButton>(&dialog, "&OK")->click();
        // Without ports, OK keeps the dialog open and Cancel ends it.
        QCOMPARE(dialog.isVisible(), index < 0);
        if (dialog.isVisible())
            byText<QPushButton>(&dialog, "C&ancel")->click();
        QCOMPARE(dialog.result(), int(index < 0 ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(dialog.findChild<QComboBox*>()->currentText() + '|' + dialog.portName(), shown);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
