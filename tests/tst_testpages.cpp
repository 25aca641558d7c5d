// The print settings page's two test pages as they reach the printer
// simulator: over TCP as raw jobs on port 9100, over USB as print data on the
// pseudo-terminal; the raw print job releasing itself; and the simulator's
// side: its ESC/POS rendering and how its USB stream tells print data from
// host command packets.

#include "app/conf.h"
#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "pages/widgetprint.h"
#include "pagesupport.h"
#include "tools/printersim/simescpos.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simrawprint.h"
#include "usb/usbtestsupport.h"

#include <QComboBox>

namespace {

// FS ( L fn 67/66 and GS V 0x30, beside the framing in pagesupport.h.
const QByteArray kFeedToPrintStart = QByteArray::fromHex("1c284c02004330");
const QByteArray kFeedToCut = QByteArray::fromHex("1c284c02004231");
const QByteArray kCut = QByteArray::fromHex("1d5630");

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

} // namespace

class TestTestPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<QTemporaryDir> jobs_;
    std::unique_ptr<FakeUsbTree> tree_;
    std::unique_ptr<WidgetPrint> page_;

    QString job(int n, const char* suffix) const
    {
        return jobs_->filePath(QStringLiteral("job-%1.%2").arg(n, 4, 10, QLatin1Char('0')).arg(suffix));
    }

    bool connectLink(const QString& project, bool usb)
    {
        hostCmd.project = project;
        const QStringList capture {"--project", project, "--capture-dir", jobs_->path()};
        if (!usb)
            return f_.sim.start(capture + QStringList {"--no-discovery"}) && f_.connectTcp();
        tree_ = std::make_unique<FakeUsbTree>();
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        return tree_->addPrinter("lp0", "5a7c", "0002")
            && f_.sim.start(capture + QStringList {"--usb-pty", tree_->devRoot() + "/lp0"})
            && f_.link->openUsb(tree_->interfacePath("lp0", "5a7c", "0002"), false) && connected.wait(15000);
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
        conf.vidPidList = {0x5A7C0002u};
        jobs_ = std::make_unique<QTemporaryDir>();
        f_.makeLink();
        page_ = std::make_unique<WidgetPrint>();
    }
    void cleanup()
    {
        page_.reset();
        QCOMPARE(f_.dropLink(), 0);
        tree_.reset();
    }

    // Guards the literal above against an editor normalising its scripts.
    void sampleBlockHasItsElevenLines()
    {
        QList<int> sizes;
        for (const QByteArray& line : kSample.split('\n'))
            sizes.append(line.size());
        QCOMPARE(sizes, QList<int>({41, 45, 57, 54, 86, 99, 71, 121, 138, 105, 110, 0}));
    }

    void pages_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("trailingLfs");
        QTest::newRow("TCP, LQ230: shorter trailer") << "LQ230" << false << 4;
        QTest::newRow("TCP, LQ520") << "LQ520" << false << 8;
        QTest::newRow("USB, LQ230: shorter trailer") << "LQ230" << true << 4;
        QTest::newRow("USB, LQ560") << "LQ560" << true << 8;
    }
    void pages()
    {
        QFETCH(QString, project);
        QFETCH(bool, usb);
        QFETCH(int, trailingLfs);
        QVERIFY(connectLink(project, usb));
        buttonOf(*page_, "Print Test Page")->click();
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
        buttonOf(*page_, "Black Mark Print Test")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(job(2, "bin")), 15000);
        QCOMPARE(readFile(job(2, "bin")), blackMarkPage());
        // Host commands still pass beside the print data.
        QCOMPARE(requestRecords({6}).size(), 1);
    }

    void noLinkSendsNothing()
    {
        QVERIFY(f_.sim.start({"--no-discovery", "--capture-dir", jobs_->path()}));
        buttonOf(*page_, "Print Test Page")->click();
        QVERIFY(!TestPage::send("x"));
        // A job sent now ends up as the first capture: nothing came before it.
        new TcpRawPrint(f_.sim.address(), "after\n");
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
        QHostAddress host = f_.sim.address();
        if (listening)
            QVERIFY(f_.sim.start({"--no-discovery", "--capture-dir", jobs_->path()}));
        else
            host = QHostAddress(host.toIPv4Address() + 0x00010000); // 127.78.x.y: nobody there
        const qint64 mark = logSize();
        const QByteArray data(5000, 'x');
        auto* job = new TcpRawPrint(host, data);
        QSignalSpy destroyed(job, &QObject::destroyed);
        QVERIFY(destroyed.wait(15000));
        QCOMPARE(logMessagesSince(mark, "TCP socket"), logged);
        if (listening) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(this->job(1, "bin")), 15000);
            QCOMPARE(readFile(this->job(1, "bin")), data);
        }
    }

    void simRender_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<QString>("text");
        QTest::newRow("right, double size") << QByteArray::fromHex("1b61321d2111") + "A\n"
                                            << "[align right][double size]A\n";
        QTest::newRow("size 3x2") << QByteArray::fromHex("1d2121") << "[size 3x2]";
        QTest::newRow("partial cut after feed") << QByteArray::fromHex("1d564205") << "[cut partial after feed 5]";
        QTest::newRow("unknown ESC as hex") << QByteArray::fromHex("1b7410") + "x"
                                            << "[1B 74][10]x";
        QTest::newRow("other FS ( L") << QByteArray::fromHex("1c284c0200415a") << "[FS ( L 41 5A]";
        QTest::newRow("truncated GS ( E") << QByteArray::fromHex("1d284505") << "[1D 28]E[05]";
        QTest::newRow("lone ESC at the end") << QByteArray::fromHex("41421b") << "AB[1B]";
        QTest::newRow("UTF-8 text") << QByteArray("caf\xc3\xa9\n") << QString::fromUtf8("café\n");
    }
    void simRender()
    {
        QFETCH(QByteArray, job);
        QFETCH(QString, text);
        QCOMPARE(renderEscPos(job), text);
    }

    void usbStreamSeparatesPrintDataFromPackets_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("packets");
        QTest::addColumn<QByteArray>("job");
        // A packet: 10 01 11, one block, 16 body bytes.
        const QByteArray packet = QByteArray::fromHex("10011101") + QByteArray(16, 'p');
        QTest::newRow("print data alone") << QList<QByteArray> {"hello\n"} << QByteArray() << QByteArray("hello\n");
        QTest::newRow("print data, then a packet") << QList<QByteArray> {"ab" + packet} << packet << QByteArray("ab");
        QTest::newRow("packet split in its header")
            << QList<QByteArray> {packet.left(2), packet.mid(2, 9), packet.mid(11)} << packet << QByteArray();
        QTest::newRow("a bad block count is print data") << QList<QByteArray> {QByteArray::fromHex("10011140") + "x"}
                                                         << QByteArray() << QByteArray::fromHex("10011140") + "x";
    }
    void usbStreamSeparatesPrintDataFromPackets()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, packets);
        QFETCH(QByteArray, job);
        QTemporaryDir dir;
        SimIdentity identity;
        SimPrinter printer(SimModel(identity, SimModel::defaultState(identity)), QString());
        SimJobCapture capture(&printer);
        QString error;
        QVERIFY(capture.open(dir.path(), error));
        QSignalSpy captured(&capture, &SimJobCapture::jobCaptured);
        SimUsbStream stream(&capture);
        QByteArray passed;
        for (const QByteArray& chunk : chunks)
            passed += stream.take(chunk);
        QCOMPARE(passed, packets);
        if (job.isEmpty()) {
            stream.finish();
            QCOMPARE(captured.size(), 0);
            return;
        }
        // A job ends with the packet that follows it, or when the stream idles.
        QTRY_COMPARE(captured.size(), 1);
        QCOMPARE(readFile(captured[0][0].toString()), job);
        QVERIFY(QFile::exists(dir.filePath("job-0001.txt")));
    }
};

QTEST_MAIN(TestTestPages)
#include "tst_testpages.moc"
