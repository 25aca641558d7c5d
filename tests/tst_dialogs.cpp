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
#include <QSettings>
#include <QTest>

class TestDialogs : public QObject
{
    Q_OBJECT

    Transceiver link_;
    ScratchDirectory dir_;

private Q_SLOTS:
    void initTestCase() { transceiver = &link_; }
    void cleanup() { DialogSerialConnect::setPortSource({}); }

    void preferencesCommand_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown"); // values outside the list show English
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("press");
        QTest::newRow("another language, OK") << 0 << 0 << 2 << "&OK";
        QTest::newRow("back to English, OK") << 1 << 1 << 0 << "&OK";
        QTest::newRow("the same language, OK") << 2 << 2 << 2 << "&OK";
        QTest::newRow("another language, Cancel") << 0 << 0 << 1 << "&Cancel";
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
        const QString file = "tovra-cloud-printer-setup.ini";
        QVERIFY(dir_.isValid() && (!QFile::exists(file) || QFile::remove(file)));
        conf.Language = stored;
        MainWindow window;
        if (changed)
            MessageBox::queueAnswer(QMessageBox::Ok);
        ModalCloser modal;
        int shownIndex = -2;
        modal.drive<DialogPreferences>([&](DialogPreferences* dialog) {
            auto* combo = dialog->findChild<QComboBox*>();
            shownIndex = combo->currentIndex();
            combo->setCurrentIndex(chosen);
            byText<QPushButton>(dialog, press)->click();
        });
        window.preferencesAction()->trigger();

        QCOMPARE(modal.seen, QStringList());
        QCOMPARE(shownIndex, shown);
        QCOMPARE(conf.Language, changed ? chosen : stored);
        QCOMPARE(QSettings(file, QSettings::IniFormat).value("Conf/Language", -9).toInt(), changed ? chosen : -9);
        // The restart notice.
        QCOMPARE(MessageBox::takeShown().size(), changed ? 1 : 0);
    }

    // Without ports, OK keeps the dialog open and Cancel ends it.
    void serialChooser_data()
    {
        QTest::addColumn<int>("index"); // -1: no ports
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("portName");
        QTest::newRow("first") << 0 << "USB Serial Port (ttyUSB0)" << QString("ttyUSB0");
        QTest::newRow("second, no description") << 1 << " (ttyS1)" << QString("ttyS1");
        QTest::newRow("no ports") << -1 << "" << QString();
    }
    void serialChooser()
    {
        QFETCH(int, index);
        QFETCH(QString, item);
        QFETCH(QString, portName);
        using Ports = QList<DialogSerialConnect::Port>;
        const Ports ports = index < 0 ? Ports() : Ports {{"USB Serial Port", "ttyUSB0"}, {"", "ttyS1"}};
        DialogSerialConnect::setPortSource([ports] { return ports; });
        DialogSerialConnect dialog;
        bool stayedOpen = false;
        ModalCloser modal;
        modal.drive<DialogSerialConnect>([&](DialogSerialConnect* shown) {
            shown->findChild<QComboBox*>()->setCurrentIndex(index);
            byText<QPushButton>(shown, "&OK")->click();
            stayedOpen = shown->isVisible();
            if (stayedOpen)
                byText<QPushButton>(shown, "C&ancel")->click();
        });
        QCOMPARE(dialog.exec(), int(index < 0 ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(dialog.findChild<QComboBox*>()->currentText(), item);
        QCOMPARE(stayedOpen, index < 0);
        QCOMPARE(dialog.portName(), portName);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
