// The print settings page's two test pages as they reach the printer
// simulator: over TCP as raw jobs on port 9100, over USB as print data on the
// pseudo-terminal; the simulator's rendering of them; and the raw print job
// releasing itself.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "link/transceiver.h"
#include "pages/widgetprint.h"
#include "simprocess.h"
#include "testsupport.h"
#include "usb/usbtestsupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Control sequences written out from the ESC/POS layout: GS ( E fn 6
// start/end, ESC a n + GS ! n styles, FS ( L fn 67/66, GS V 0x30.
const QByteArray kStart = QByteArray::fromHex("1d28450300060301");
const QByteArray kEnd = QByteArray::fromHex("1d284503000603ff");
const QByteArray kHeading = QByteArray::fromHex("1b61011d2101");
const QByteArray kBody = QByteArray::fromHex("1b61001d2100");
const QByteArray kFeedToPrintStart = QByteArray::fromHex("1c284c02004330");
const QByteArray kFeedToCut = QByteArray::fromHex("1c284c02004231");
const QByteArray kCut = QByteArray::fromHex("1d5630");
const char kTime[] = "2026/03/04 05:06:07";

// The sample block, line by line as the printer prints it; the Khmer words are joined
// by ZERO WIDTH SPACE (E2 80 8B).
const QByteArray kSample
    = "The quick brown fox jumps over a lazy dog\n"
      "那只敏捷的棕色狐狸跳过一只懒狗\n"
      "速い茶色のキツネは怠惰な犬を飛び越える\n"
      "그날쌘갈색여우는게으른개를뛰어넘었다\n"
      "Та ловкая бурая лиса пропускает ленивую собаку\n"
      "ក្រហម\xE2\x80\x8Bខ្មៅ\xE2\x80\x8Bរហ័ស\xE2\x80\x8Bលោត\xE2\x80\x8Bលើ\xE2\x80\x8Bក្រហម\xE2\x80\x8Bខ្មៅ\n"
      "тез қызыл қызыл қызыл әйірден айналады\n"
      "မြန်မြန်မြန်မြန်မြန်မြန်မြန်တဲ့ ခွေးပေါ်က\n"
      "สุนัขจิ้งจอกสีน้ำตาลกระโดดข้ามสุนัขที่ขี้เกียจ\n"
      "Η γρήγορη καφέ αλεπού πηδάει πάνω από ένα τεμπέλικο σκυλί\n"
      "जल्दी भूरा फॉक्स एक धीमा कुत्ता पर जाता है\n";

QByteArray printTestPage(int trailingLfs)
{
    return kStart + "\n" + kHeading + "*** Print Test Page ***\n\n" + kBody + "  UTF-8 Mode:No\n"
        + "         CJK:GB18030\n" + "   Code Page:(0) CP437: USA, Standard Europe\n" + "Current Time:" + kTime + "\n\n"
        + kHeading + "*** END ***\n" + kBody + kEnd + QByteArray(trailingLfs, '\n');
}

QByteArray blackMarkPage()
{
    return kFeedToPrintStart + kStart + kHeading + "*** Black Mark Print Test ***\n\n" + kBody + kSample
        + "Current Time: " + kTime + "\n\n" + kHeading + "*** END ***\n" + kBody + kEnd + kFeedToCut + kCut;
}

QPushButton* button(QWidget* page, const QString& text)
{
    for (QPushButton* b : page->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

class TestTestPages : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    std::unique_ptr<QTemporaryDir> jobs_;
    std::unique_ptr<FakeUsbTree> tree_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;
    std::unique_ptr<WidgetPrint> page_;

    QString job(int n, const char* suffix) const
    {
        return jobs_->filePath(QStringLiteral("job-%1.%2").arg(n, 4, 10, QLatin1Char('0')).arg(suffix));
    }

    bool startTcp(const QString& project)
    {
        hostCmd.project = project;
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        return sim_.start({"--project", project, "--no-discovery", "--capture-dir", jobs_->path()})
            && link_->openTcp(sim_.address()) && connected.wait(15000);
    }

    bool startUsb(const QString& project)
    {
        hostCmd.project = project;
        tree_ = std::make_unique<FakeUsbTree>();
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        return tree_->addPrinter("lp0", "5a7c", "0002")
            && sim_.start(
                {"--project", project, "--usb-pty", tree_->devRoot() + "/lp0", "--capture-dir", jobs_->path()})
            && link_->openUsb(tree_->interfacePath("lp0", "5a7c", "0002"), false) && connected.wait(15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
        TestPage::setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    }
    void cleanupTestCase()
    {
        TestPage::setClock({});
        logClose();
    }
    void init()
    {
        conf.vidPidList = {0x5A7C0002u};
        jobs_ = std::make_unique<QTemporaryDir>();
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
        page_ = std::make_unique<WidgetPrint>();
    }
    void cleanup()
    {
        page_.reset();
        link_->close();
        link_.reset();
        transceiver = nullptr;
        QCOMPARE(sim_.stop(), 0);
        tree_.reset();
    }

    void sampleBlockHasItsElevenLines()
    {
        const QList<QByteArray> lines = kSample.split('\n');
        const QList<int> sizes = {41, 45, 57, 54, 86, 99, 71, 121, 138, 105, 110};
        QCOMPARE(lines.size(), 12);
        for (int i = 0; i < sizes.size(); ++i)
            QCOMPARE(lines[i].size(), sizes[i]);
        QCOMPARE(kSample.size(), 938);
        QCOMPARE(TestPage::kSampleText, kSample);
    }

    void pagesOverTcp_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("trailingLfs");
        QTest::newRow("LQ230: shorter trailer") << "LQ230" << 4;
        QTest::newRow("LQ520") << "LQ520" << 8;
    }
    void pagesOverTcp()
    {
        QFETCH(QString, project);
        QFETCH(int, trailingLfs);
        QVERIFY(startTcp(project));
        button(page_.get(), "Print Test Page")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(1, "bin")), 15000);
        QCOMPARE(readFile(job(1, "bin")), printTestPage(trailingLfs));
        const QString render = "[GS ( E 06 03 01]\n[align center][double height]*** Print Test Page ***\n\n"
                               "[align left][normal size]  UTF-8 Mode:No\n         CJK:GB18030\n"
                               "   Code Page:(0) CP437: USA, Standard Europe\nCurrent Time:2026/03/04 05:06:07\n\n"
                               "[align center][double height]*** END ***\n[align left][normal size][GS ( E 06 03 FF]"
            + QString(trailingLfs, '\n');
        QCOMPARE(QString::fromUtf8(readFile(job(1, "txt"))), render);

        // The black-mark page is the same for every model.
        page_->findChildren<QComboBox*>().at(3)->setCurrentIndex(1);
        button(page_.get(), "Black Mark Print Test")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(2, "bin")), 15000);
        QCOMPARE(readFile(job(2, "bin")), blackMarkPage());
        const QString blackMark = QString::fromUtf8(readFile(job(2, "txt")));
        QVERIFY2(blackMark.startsWith("[feed to print start][GS ( E 06 03 01][align center][double height]"
                                      "*** Black Mark Print Test ***\n\n[align left][normal size]The quick"),
            qPrintable(blackMark));
        QVERIFY(blackMark.contains(QString::fromUtf8("\nजल्दी भूरा फॉक्स एक धीमा कुत्ता पर जाता है\nCurrent Time: ")));
        QVERIFY(blackMark.endsWith("[GS ( E 06 03 FF][feed to cut position][cut full]"));
    }

    void pagesOverUsb_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("trailingLfs");
        QTest::newRow("LQ230: shorter trailer") << "LQ230" << 4;
        QTest::newRow("LQ560") << "LQ560" << 8;
    }
    void pagesOverUsb()
    {
        QFETCH(QString, project);
        QFETCH(int, trailingLfs);
        QVERIFY(startUsb(project));
        button(page_.get(), "Print Test Page")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(1, "bin")), 15000);
        QCOMPARE(readFile(job(1, "bin")), printTestPage(trailingLfs));
        page_->findChildren<QComboBox*>().at(3)->setCurrentIndex(1);
        button(page_.get(), "Black Mark Print Test")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(2, "bin")), 15000);
        QCOMPARE(readFile(job(2, "bin")), blackMarkPage());
        // Host commands still pass beside the print data.
        QObject receiver;
        QList<QByteArray> replies;
        connect(&hostCmd, &HostCmd::responseReceived, &receiver, [&replies](QByteArray r) { replies.append(r); });
        QVERIFY(hostCmd.requestRecord(6));
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 15000);
    }

    void noLinkSendsNothing()
    {
        QVERIFY(sim_.start({"--no-discovery", "--capture-dir", jobs_->path()}));
        button(page_.get(), "Print Test Page")->click();
        QVERIFY(!TestPage::send("x"));
        // A job sent now ends up as the first capture: nothing came before it.
        auto* job = new TcpRawPrint(sim_.address(), "after\n");
        Q_UNUSED(job);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(this->job(1, "bin")), 15000);
        QCOMPARE(readFile(this->job(1, "bin")), QByteArray("after\n"));
    }

    void rawJobReleasesItself_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("printed") << true << QStringList {"TCP socket connected.", "TCP socket disconnected."};
        QTest::newRow("refused") << false << QStringList {"TCP socket disconnected."};
    }
    void rawJobReleasesItself()
    {
        QFETCH(bool, listening);
        QFETCH(QStringList, logged);
        QHostAddress host = sim_.address();
        if (listening)
            QVERIFY(sim_.start({"--no-discovery", "--capture-dir", jobs_->path()}));
        else
            host = QHostAddress(host.toIPv4Address() + 0x00010000); // 127.78.x.y: nobody there
        const qint64 mark = logSize();
        const QByteArray data(5000, 'x');
        auto* job = new TcpRawPrint(host, data);
        QSignalSpy destroyed(job, &QObject::destroyed);
        QVERIFY(destroyed.wait(15000));
        QStringList seen;
        for (const QString& message : logMessagesSince(mark))
            if (message.startsWith("TCP socket"))
                seen.append(message);
        QCOMPARE(seen, logged);
        if (listening) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(this->job(1, "bin")), 15000);
            QCOMPARE(readFile(this->job(1, "bin")), data);
        }
    }
};

QTEST_MAIN(TestTestPages)
#include "tst_testpages.moc"
