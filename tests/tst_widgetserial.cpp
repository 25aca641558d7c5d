// The serial settings page: loading odd values, the record Save sends, the
// serial test page as it arrives at the far end of a pseudo-terminal, and
// both settings pages saving to the printer simulator over a real link.

#include "link/lastread.h"
#include "link/testpage.h"
#include "linkfixture.h"
#include "pages/widgetaudio.h"
#include "pages/widgetserial.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A serial line made of a pseudo-terminal pair: the page opens the slave by
// its path, the test reads what arrives at the master.
class PtyLine final
{
public:
    PtyLine()
    {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        path_ = QString::fromLocal8Bit(name);
        termios settings {};
        tcgetattr(slave_, &settings);
        cfmakeraw(&settings);
        tcsetattr(slave_, TCSANOW, &settings);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        fcntl(slave_, F_SETFL, fcntl(slave_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyLine()
    {
        delete notifier_;
        for (int fd : {master_, slave_}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    QString path() const { return path_; }
    // The line settings while the page holds the port open.
    termios settings() const
    {
        termios settings {};
        tcgetattr(slave_, &settings);
        return settings;
    }
    // A line still busy with earlier output: the pseudo-terminal takes no
    // more until the far end reads. Returns what was queued.
    QByteArray fill()
    {
        const QByteArray chunk(4096, 'U');
        QByteArray queued;
        for (;;) {
            const ssize_t n = ::write(slave_, chunk.constData(), size_t(chunk.size()));
            if (n <= 0)
                return queued;
            queued += chunk.left(int(n));
        }
    }
    // The far end holds the line with XOFF: it takes nothing, and says nothing.
    bool stop() { return tcflow(slave_, TCOOFF) == 0; }
    void startReading()
    {
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] {
            char buffer[65536];
            ssize_t n;
            while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
                received.append(buffer, int(n));
        });
    }

    QByteArray received;

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace

class TestWidgetSerial : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    RecordCapture capture_;
    std::unique_ptr<MainWindow> window_;

    static QComboBox* combo(const WidgetSerial& page, int row) { return page.findChildren<QComboBox*>().at(row); }
    static QStringList shown(const WidgetSerial& page)
    {
        QStringList texts;
        for (const QComboBox* box : page.findChildren<QComboBox*>())
            texts << box->currentText();
        return texts;
    }
    static void select(WidgetSerial& page, const QStringList& texts)
    {
        for (int row = 0; row < texts.size(); ++row)
            combo(page, row)->setCurrentText(texts.at(row));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        TestPage::setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(10, 30, 5)); });
        // No grace after the line time: the page must still arrive whole.
        WidgetSerial::setCloseMarginMs(0);
    }
    void cleanupTestCase()
    {
        f_.cleanupCase();
        TestPage::setClock({});
        WidgetSerial::setPortChooser({});
        hostCmd.setWriter({});
    }
    void init()
    {
        capture_.records.clear();
        capture_.result = true;
        capture_.install();
        hostCmd.project = "LQ560";
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
    }

    void loadAndSaveWithoutEdits_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QByteArray>("sent");

        // Reply: type 5 (05 00), then baud, data bits, stop bits, parity, each 32-bit little-endian.
        // 115200 = 0x0001C200, 9600 = 0x2580, 2000000 = 0x001E8480. A baud rate not offered
        // (1200) is corrected by the first Save: savedRecordsReachThePrinter.
        QTest::newRow("115200 8N1") << QByteArray::fromHex("0500 00c20100 08000000 01000000 00000000")
                                    << QStringList {"115200", "8", "1", "None"} << QByteArray();
        QTest::newRow("2000000 7E2") << QByteArray::fromHex("0500 80841e00 07000000 02000000 02000000")
                                     << QStringList {"2000000", "7", "2", "Even"} << QByteArray();
        QTest::newRow("unknown data bits, stop bits and parity")
            << QByteArray::fromHex("0500 80250000 09000000 03000000 05000000") << QStringList {"9600", "7", "1", "None"}
            << QByteArray::fromHex("4101 80250000 07000000 01000000 00000000");
    }
    void loadAndSaveWithoutEdits()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, texts);
        WidgetSerial page;
        // What the main window's dispatch does with a type-5 reply.
        QVERIFY(lastRead.refresh(reply));
        page.loadRecord(reply);
        QCOMPARE(shown(page), texts);
        QVERIFY(!page.saveButton()->isEnabled());

        page.doSave();
        QCOMPARE(capture_.records, sent.isEmpty() ? QList<QByteArray>() : QList<QByteArray>({sent}));
        page.doSave();
        QCOMPARE(capture_.records.size(), sent.isEmpty() ? 0 : 1);
    }

    void editedSettingsAreSentOnceTheWriteSucceeds()
    {
        WidgetSerial page;
        const QByteArray reply = QByteArray::fromHex("0500 00c20100 08000000 01000000 00000000");
        QVERIFY(lastRead.refresh(reply));
        page.loadRecord(reply);
        select(page, {"19200", "8", "2", "Odd"});
        QVERIFY(page.saveButton()->isEnabled());
        // 19200 = 0x4B00.
        const QByteArray record = QByteArray::fromHex("4101 004b0000 08000000 02000000 01000000");

        // A failed write leaves the change unsaved.
        capture_.result = false;
        page.saveButton()->click();
        QCOMPARE(capture_.records, QList<QByteArray>({record}));
        QCOMPARE(lastRead.serial.bytes(), QByteArray::fromHex("4101 00c20100 08000000 01000000 00000000"));
        QVERIFY(page.saveButton()->isEnabled());

        capture_.result = true;
        page.saveButton()->click();
        QCOMPARE(capture_.records, QList<QByteArray>({record, record}));
        QCOMPARE(lastRead.serial.bytes(), record);
        QVERIFY(!page.saveButton()->isEnabled());
    }

    void lineTime_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<bool>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("ms");
        // Start bit + data + parity + stop bits per byte.
        QTest::newRow("300 bytes 2400 8N1: 3000 bits") << 300 << 2400 << 8 << false << 1 << 1250;
        QTest::newRow("300 bytes 2400 7E2: 3300 bits") << 300 << 2400 << 7 << true << 2 << 1375;
        QTest::newRow("1 byte 115200 8N1 rounds up") << 1 << 115200 << 8 << false << 1 << 1;
    }
    void lineTime()
    {
        QFETCH(int, bytes);
        QFETCH(int, baud);
        QFETCH(int, dataBits);
        QFETCH(bool, parity);
        QFETCH(int, stopBits);
        QFETCH(int, ms);
        QCOMPARE(WidgetSerial::lineTimeMs(bytes, baud, dataBits, parity, stopBits), ms);
    }

    void testPageArrivesWhole_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("project");
        QTest::addColumn<bool>("busyLine");
        QTest::addColumn<int>("speed");
        QTest::addColumn<uint>("cflag");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("trailingLfs");

        // The line is still busy when the page is written, so the port holds
        // bytes it cannot hand on yet: a port closed after a fixed delay
        // rather than once they are out loses the end of the page.
        QTest::newRow("2400 8N1, busy line")
            << QStringList {"2400", "8", "1", "None"} << "LQ560" << true << int(B2400) << 0u
            << QByteArray("   Baud Rate: 2400\n   Data Bits: 8\n   Stop Bits: 1\n      Parity: No Parity\n") << 8;
        QTest::newRow("115200 7O2, LQ230")
            << QStringList {"115200", "7", "2", "Odd"} << "LQ230" << false << int(B115200) << uint(PARODD | CSTOPB)
            << QByteArray("   Baud Rate: 115200\n   Data Bits: 7\n   Stop Bits: 2\n      Parity: Odd Parity\n") << 4;
        QTest::newRow("9600 8E1")
            << QStringList {"9600", "8", "1", "Even"} << "LQ520" << false << int(B9600) << 0u
            << QByteArray("   Baud Rate: 9600\n   Data Bits: 8\n   Stop Bits: 1\n      Parity: Even Parity\n") << 8;
    }
    void testPageArrivesWhole()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, busyLine);
        QFETCH(QByteArray, lines);
        QFETCH(int, trailingLfs);
        QFETCH(QString, project);
        QFETCH(int, speed);
        QFETCH(uint, cflag);
        hostCmd.project = project;

        const QByteArray expected = kStart + "\n" + kHeading + "*** Serial Print Test Page ***\n" + kBody + lines
            + "Current Time: 2026/12/06 10:30:05\n\n" + kHeading + "*** END ***\n" + kBody + kEnd
            + QByteArray(trailingLfs, '\n');

        const qint64 mark = logSize();
        PtyLine line;
        QVERIFY(!line.path().isEmpty());
        const QByteArray earlier = busyLine ? line.fill() : QByteArray();
        WidgetSerial::setPortChooser([&](QWidget*) { return line.path(); });
        WidgetSerial page;
        select(page, texts);

        page.printTestPageButton()->click();
        QVERIFY(!page.printTestPageButton()->isEnabled());
        const termios settings = line.settings();
        QCOMPARE(int(cfgetospeed(&settings)), speed);
        // A pseudo-terminal forces 8 data bits and no parity; it keeps the rest.
        QCOMPARE(uint(settings.c_cflag & (PARODD | CSTOPB)), cflag);

        line.startReading();
        QTRY_COMPARE_WITH_TIMEOUT(line.received.size(), earlier.size() + expected.size(), 15000);
        QCOMPARE(line.received.mid(earlier.size()), expected);
        QTRY_VERIFY_WITH_TIMEOUT(page.printTestPageButton()->isEnabled(), 15000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(page.findChild<QSerialPort*>(), nullptr);
        const QStringList logged = logMessagesSince(mark, "Serial port");
        QVERIFY(logged.contains("Serial port created.") && logged.contains("Serial port opened."));
    }

    void noPrint_data()
    {
        QTest::addColumn<QString>("chosen"); // "stalled": a line that never takes the page
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("chooser cancelled") << QString() << QStringList();
        // Silent for the user; the log shows how far it got.
        QTest::newRow("port cannot be opened")
            << QString("/nonexistent/tty-for-the-test") << QStringList {"Serial port created."};
        QTest::newRow("line never takes the page") << QString("stalled")
                                                   << QStringList {"Serial port created.", "Serial port opened.",
                                                          "Serial test page: not written in time, port closed."};
    }
    void noPrint()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, logged);
        const qint64 mark = logSize();
        WidgetSerial page;
        PtyLine pty;
        const bool stalled = chosen == "stalled";
        const auto restore = qScopeGuard([] { WidgetSerial::setGiveUpMarginMs(WidgetSerial::kGiveUpMarginMs); });
        if (stalled) {
            QVERIFY(pty.stop());
            chosen = pty.path();
            select(page, {"115200"});
            WidgetSerial::setGiveUpMarginMs(0);
            MessageBox::queueAnswer(QMessageBox::Ok);
        }
        WidgetSerial::setPortChooser([&](QWidget*) { return chosen; });
        page.printTestPageButton()->click();
        QTRY_VERIFY(page.printTestPageButton()->isEnabled());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(page.findChild<QSerialPort*>(), nullptr);
        QCOMPARE(logMessagesSince(mark), logged);
        QCOMPARE(MessageBox::takeShown().size(), stalled ? 1 : 0);
    }

    void savedRecordsReachThePrinter()
    {
        hostCmd.setWriter({});
        // A printer that reports a baud rate the page does not offer and
        // further bits in the cloud audio byte.
        const QString state = writeScratchFile("state.json", R"({"serial": {"baud": 1200}, "audio": {"cloud": 3}})");
        QVERIFY(!state.isEmpty());

        QVERIFY(f_.sim.start({"--project", "LQ560", "--model", "LQ560", "--no-discovery", "--state", state}));
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QTRY_COMPARE_WITH_TIMEOUT(lastRead.audio.bytes().toHex(), QByteArray("03010103010103"), 15000);
        QCOMPARE(lastRead.serial.bytes(), QByteArray::fromHex("4101 b0040000 08000000 01000000 00000000"));
        QCOMPARE(combo(*window_->widgetSerial(), 0)->currentText(), QString("2400"));

        // Unchanged pages: each Save still corrects the printer.
        window_->widgetSerial()->doSave();
        window_->widgetAudio()->doSave();
        // Type 5 at 2400 (0x0960) 8N1; type 6 with cloud audio back to 1.
        QCOMPARE(requestRecords({5, 6}),
            QList<QByteArray>({QByteArray::fromHex("0500 60090000 08000000 01000000 00000000"),
                QByteArray::fromHex("06000101010103")}));
    }
};

QTEST_MAIN(TestWidgetSerial)
#include "tst_widgetserial.moc"
