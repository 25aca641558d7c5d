// The serial settings page: values shown and given back, the serial test page as it arrives at the far end of a
// pseudo-terminal, the serial port chooser, and both settings pages saving to the printer simulator over a real link.

#include "link/lastread.h"
#include "link/testpage.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetserial.h"
#include "pagesupport.h"
#include "ui/dialogprintpreview.h"
#include "ui/dialogserialconnect.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"
#include "usb/usbtestsupport.h"

#include <QComboBox>
#include <QSerialPort>

using Serial = settings::SerialSettings;

namespace {

QStringList shown(const WidgetSerial& page)
{
    QStringList texts;
    for (const QComboBox* box : page.findChildren<QComboBox*>())
        texts << box->currentText();
    return texts;
}

void select(WidgetSerial& page, const QStringList& texts)
{
    for (int row = 0; row < texts.size(); ++row)
        page.findChildren<QComboBox*>().at(row)->setCurrentText(texts.at(row));
}

} // namespace

class TestWidgetSerial : public QObject
{
    Q_OBJECT

    LinkFixture f_;

private Q_SLOTS:
    void initTestCase()
    {
        TestPage::setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(10, 30, 5)); });
        // No grace after the line time: the page must still arrive whole.
        WidgetSerial::setCloseMarginMs(0);
    }
    void cleanup() { f_.dropLink(); }

    void valuesShownAndGivenBack()
    {
        // No field at its first choice, where a value not found would land.
        Serial value;
        for (int i = 0; i < 4; ++i)
            QVERIFY(value.setNumber(i, QList<qint64> {2000000, 8, 2, 2}.at(i)));
        WidgetSerial page;
        page.load(value);
        QCOMPARE(shown(page), QStringList({"2000000", "8", "2", "Even"}));
        QVERIFY(!page.saveButton()->isEnabled());
        QCOMPARE(page.value().differences(value), QStringList());
    }

    // Start bit, data, parity and stop bits per byte: 3000 and 3300 bits at
    // 2400 baud; part of a millisecond counts.
    void lineTime()
    {
        QCOMPARE(WidgetSerial::lineTimeMs(300, 2400, 8, false, 1), 1250);
        QCOMPARE(WidgetSerial::lineTimeMs(300, 2400, 7, true, 2), 1375);
        QCOMPARE(WidgetSerial::lineTimeMs(1, 115200, 8, false, 1), 1);
    }

    void testPrint_data()
    {
        // The far end: reading (from the preview: preview), busy, stalled; or no port: cancelled, missing.
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("speed"); // 0: no page arrives
        QTest::addColumn<QStringList>("logged");
        const QStringList opened {"Serial port created.", "Serial port opened."};
        // A line still busy when the page is written: a port closed after a
        // fixed delay rather than once the bytes are out loses the page's end.
        QTest::newRow("2400 8N1, busy line")
            << "busy" << QStringList {"2400", "8", "1", "None"} << "LQ560" << int(B2400) << opened;
        QTest::newRow("115200 7O2, LQ230")
            << "reading" << QStringList {"115200", "7", "2", "Odd"} << "LQ230" << int(B115200) << opened;
        QTest::newRow("9600 8N2, from the preview")
            << "preview" << QStringList {"9600", "8", "2", "Even"} << "LQ520" << int(B9600) << opened;
        QTest::newRow("chooser cancelled") << "cancelled" << QStringList() << "LQ520" << 0 << QStringList();
        // Silent for the user; the log shows how far it got.
        QTest::newRow("port cannot be opened")
            << "missing" << QStringList() << "LQ520" << 0 << QStringList {"Serial port created."};
        QTest::newRow("line never takes the page")
            << "stalled" << QStringList {"115200"} << "LQ520" << 0
            << opened + QStringList {"Serial test page: not written in time, port closed."};
    }
    void testPrint()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, texts);
        QFETCH(QString, project);
        QFETCH(int, speed);
        QFETCH(QStringList, logged);
        hostCmd.project = project;
        const qint64 mark = logSize();
        // The page opens the slave by its path; the test reads at the master.
        PtyPair pty;
        QVERIFY(pty.isValid());
        const QByteArray earlier(line == "busy" ? int(pty.fillTowardsMaster('U')) : 0, 'U');
        if (line == "stalled") {
            // The far end holds the line with XOFF: it takes nothing, and says nothing.
            QCOMPARE(tcflow(pty.slaveFd(), TCOOFF), 0);
            MessageBox::queueAnswer(QMessageBox::Ok);
        }
        WidgetSerial::setGiveUpMarginMs(line == "stalled" ? 0 : WidgetSerial::kGiveUpMarginMs);
        const QString chosen = line == "cancelled" ? QString()
            : line == "missing"                    ? "/nonexistent/tty"
                                                   : pty.slavePath();
        WidgetSerial::setPortChooser([chosen](QWidget*) { return chosen; });
        WidgetSerial page;
        select(page, texts);

        if (line == "preview") {
            ModalCloser closer;
            closer.drive<DialogPrintPreview>([](DialogPrintPreview* dialog) { dialog->doPrint(); });
            page.doPreviewTestPage();
            QCOMPARE(closer.driven, 1);
        } else {
            page.printTestPageButton()->click();
        }
        QCOMPARE(page.printTestPageButton()->isEnabled(), !logged.contains("Serial port opened."));
        if (speed != 0) {
            termios settings {};
            tcgetattr(pty.slaveFd(), &settings);
            QCOMPARE(cfgetospeed(&settings), speed_t(speed));
            // A pseudo-terminal forces 8 data bits and no parity; it keeps the rest.
            QCOMPARE(settings.c_cflag & (PARODD | CSTOPB),
                tcflag_t((texts[3] == "Odd" ? PARODD : 0) | (texts[2] == "2" ? CSTOPB : 0)));
            const QString parity = texts[3] == "None" ? "No" : texts[3];
            const QByteArray expected = kStart + "\n" + kHeading + "*** Serial Print Test Page ***\n" + kBody
                + QString("   Baud Rate: %1\n   Data Bits: %2\n   Stop Bits: %3\n      Parity: %4 Parity\n")
                      .arg(texts[0], texts[1], texts[2], parity)
                      .toLatin1()
                + "Current Time: 2026/12/06 10:30:05\n\n" + kHeading + "*** END ***\n" + kBody + kEnd
                + QByteArray(project == "LQ230" ? 4 : 8, '\n');
            QByteArray received;
            QTRY_COMPARE_WITH_TIMEOUT(received += pty.readFromMaster(1 << 20, 0), earlier + expected, 15000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(page.printTestPageButton()->isEnabled(), 15000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(page.findChild<QSerialPort*>(), nullptr);
        QCOMPARE(logMessagesSince(mark, "Serial"), logged);
        QCOMPARE(MessageBox::takeShown().size(), line == "stalled" ? 1 : 0);
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
    void savedRecordsReachThePrinter()
    {
        // A printer that reports a baud rate the page does not offer and
        // further bits in the cloud audio byte.
        const QString state = writeScratchFile("state.json", R"({"serial": {"baud": 1200}, "audio": {"cloud": 3}})");
        QVERIFY(f_.sim.start({"--project", "LQ560", "--model", "LQ560", "--no-discovery", "--state", state}));
        f_.makeLink();
        MainWindow window;
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QTRY_VERIFY_WITH_TIMEOUT(lastRead.audio.flag(settings::AudioSettings::Cloud), 15000);
        QCOMPARE(lastRead.serial.number(Serial::Baud), 1200);
        QCOMPARE(shown(*window.widgetSerial()).value(0), QString("2400"));

        // Unchanged pages: each Save still corrects the printer.
        window.widgetSerial()->doSave();
        window.widgetAudio()->doSave();
        const QList<QByteArray> replies = requestRecords({5, 6});
        QCOMPARE(replies.size(), 2);
        QCOMPARE(Serial::fromReply(replies[0])->bytes(), window.widgetSerial()->value().bytes());
        // The cloud byte back to 1: the printer holds the flags and no other bits.
        const auto audio = settings::AudioSettings::fromReply(replies[1]);
        QCOMPARE(audio->bytes().at(audio->field(settings::AudioSettings::Cloud).offset), '\1');
    }
};

QTEST_MAIN(TestWidgetSerial)
#include "tst_widgetserial.moc"
