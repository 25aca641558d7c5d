// Every test page's bytes as its page builds them (the serial page's are
// compared at the far end of its line in the serial page suite); the print
// settings page's page reaching the printer simulator over TCP as a raw job
// on port 9100 and over USB as print data; and the simulator's side: how its
// USB stream tells print data from host command packets, and how it renders
// a job.

#include "app/conf.h"
#include "link/testpage.h"
#include "modalcloser.h"
#include "pages/widgetprint.h"
#include "pages/widgetwifi.h"
#include "pagesupport.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simrawprint.h"
#include "ui/dialogprintpreview.h"
#include "usb/usbtestsupport.h"

namespace {

QByteArray build(const QString& page)
{
    if (page == "print")
        return TestPage::printTestPage("No", "GB18030", "(0) CP437: USA, Standard Europe", hostCmd.project);
    if (page == "black mark")
        return TestPage::blackMarkTestPage();
    // Each page its own network's share of the information.
    WidgetLan lan;
    WidgetWiFi wifi;
    WidgetNetwork& widget = page == "Wi-Fi" ? static_cast<WidgetNetwork&>(wifi) : lan;
    widget.load(networkInfo());
    return widget.buildTestPage();
}

} // namespace

class TestTestPages : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<QTemporaryDir> jobs_;

    QByteArray job(const char* name) const { return readFile(jobs_->filePath(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        TestPage::setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        conf.vidPidList = {0x5A7C0002u};
    }
    void init()
    {
        jobs_ = std::make_unique<QTemporaryDir>();
        f_.makeLink();
    }
    void cleanup() { QCOMPARE(f_.dropLink(), 0); }

    void pages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("compact");
        QTest::addColumn<int>("language");
        QTest::addColumn<QByteArray>("expected");
        // Short models feed 4 LFs instead of 8 at the end.
        const QByteArray start = kStart + "\n" + kHeading, end = kHeading + "*** END ***\n" + kBody + kEnd + "\n\n\n\n";
        const QByteArray print = start + "*** Print Test Page ***\n\n" + kBody
            + "  UTF-8 Mode:No\n         CJK:GB18030\n   Code Page:(0) CP437: USA, Standard Europe\nCurrent Time:"
            + kTime + "\n\n" + end;
        QTest::newRow("print, short model") << "print" << true << 0 << print;
        QTest::newRow("print") << "print" << false << 0 << print + "\n\n\n\n";
        // FS ( L fn 67 first, FS ( L fn 66 and GS V 0x30 (full cut) last; the sample text's digest below.
        QTest::newRow("black mark") << "black mark" << true << 0
                                    << QByteArray::fromHex("1c284c02004330") + kStart + kHeading
                + "*** Black Mark Print Test ***\n\n" + kBody + TestPage::kSampleText + "Current Time: " + kTime
                + "\n\n" + kHeading + "*** END ***\n" + kBody + kEnd + QByteArray::fromHex("1c284c020042311d5630");
        // Short models print no space after the labels.
        const auto lines = [](const char* sp) {
            return kBody + " MAC Address:" + sp + "A0:B1:C2:D3:E4:F5\n    IP(DHCP):" + sp
                + "127.77.0.10\n     Netmask:" + sp + "255.255.0.0\n  IP(Static):" + sp
                + "127.77.0.20\n     Netmask:" + sp + "255.255.255.0\nCurrent Time:" + sp + kTime;
        };
        const QByteArray eth = start + "*** Ethernet Print Test Page ***\n";
        QTest::newRow("Ethernet, short, Chinese") << "Ethernet" << true << 1 << eth + "\n" + lines("") + "\n\n" + end;
        // Only Chinese and Japanese put a blank line under the heading on a short model.
        QTest::newRow("Ethernet, short, language 7 acts as English")
            << "Ethernet" << true << 7 << eth + lines("") + "\n\n" + end;
        QTest::newRow("Ethernet") << "Ethernet" << false << 0 << eth + "\n" + lines(" ") + "\n\n" + end + "\n\n\n\n";
        // "Café 東京" in UTF-8, as the printer stores it.
        QTest::newRow("Wi-Fi, short") << "Wi-Fi" << true << 0
                                      << start + "*** Wi-Fi Print Test Page ***\n\n"
                + lines("").replace("F5", "F6").replace("127.77.0.", "127.77.1.")
                + "\n        SSID:Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC\n\n" + end;
    }
    void pages()
    {
        QFETCH(QString, page);
        QFETCH(bool, compact);
        QFETCH(int, language);
        QFETCH(QByteArray, expected);
        hostCmd.project = compact ? "LQ230" : "LQ540";
        conf.Language = language;
        QCOMPARE(build(page), expected);
        // Eleven lines in as many scripts; the digest is md5sum's of the text as written.
        QCOMPARE(QCryptographicHash::hash(TestPage::kSampleText, QCryptographicHash::Md5).toHex(),
            QByteArray("6c44b2745a2c6eaae79baae826f98fbe"));
    }

    void printPageReachesThePrinter_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("paperDots");
        QTest::newRow("TCP, 80 mm") << false << "LQ520" << 576;
        QTest::newRow("USB, 58 mm") << true << "LQ230" << 384;
    }
    void printPageReachesThePrinter()
    {
        QFETCH(bool, usb);
        QFETCH(QString, project);
        QFETCH(int, paperDots);
        hostCmd.project = "LQ560";
        // Without a link nothing goes out: the first job is the page.
        QVERIFY(!TestPage::send("x"));
        FakeUsbTree tree;
        const QStringList capture {"--capture-dir", jobs_->path(), "--project", project};
        if (usb) {
            QSignalSpy connected(f_.link.get(), &Transceiver::connected);
            QVERIFY(tree.serve(f_.sim, capture) && f_.link->openUsb(tree.lp0(), false) && connected.wait(15000));
        } else {
            QVERIFY(f_.sim.start(capture + QStringList {"--no-discovery"}) && f_.connectTcp());
        }
        WidgetPrint page;
        buttonOf(page, "Print Test Page")->click();
        QTRY_COMPARE_WITH_TIMEOUT(job("job-0001.bin"), build("print"), 15000);
        // Drawn beside it on the model's paper, as --render -o draws it from the file.
        const QImage drawn(jobs_->filePath("job-0001.png"));
        QCOMPARE(drawn.width(), paperDots);
        QProcess render;
        render.start(TOVRA_SIM_EXECUTABLE,
            {"--render", jobs_->filePath("job-0001.bin"), "-o", jobs_->filePath("a.png"), "--project", project});
        QVERIFY(render.waitForFinished(15000) && render.exitCode() == 0);
        QCOMPARE(QImage(jobs_->filePath("a.png")), drawn);
        // Host commands still pass beside the print data.
        QCOMPARE(requestRecords({6}).size(), 1);
    }

    // Print in the preview sends the bytes it shows, and they are the button's.
    void previewPrintsWhatTheButtonSends_data()
    {
        QTest::addColumn<QString>("page");
        for (const char* page : {"print", "black mark", "Ethernet", "Wi-Fi"})
            QTest::newRow(page) << page;
    }
    void previewPrintsWhatTheButtonSends()
    {
        QFETCH(QString, page);
        hostCmd.project = "LQ560";
        QVERIFY(f_.sim.start({"--capture-dir", jobs_->path(), "--no-discovery"}) && f_.connectTcp());
        using N = settings::NetworkInfo;
        N info;
        info.setText(N::EthernetStaticIp, f_.sim.address().toString());
        info.setText(N::WifiStaticIp, f_.sim.address().toString());
        WidgetPrint print;
        WidgetLan lan;
        WidgetWiFi wifi;
        lan.load(info);
        wifi.load(info);
        WidgetNetwork& network = page == "Wi-Fi" ? static_cast<WidgetNetwork&>(wifi) : lan;
        const auto press = [&](bool preview) {
            if (page == "print")
                preview ? print.doPreviewTestPage() : print.doPrintTestPage();
            else if (page == "black mark")
                preview ? print.doPreviewBlackMarkTest() : print.doBlackMarkPrintTest();
            else
                preview ? network.doPreviewTestPage() : network.doPrintTestPage();
        };
        QByteArray shown;
        ModalCloser closer;
        closer.drive<DialogPrintPreview>([&](DialogPrintPreview* dialog) {
            shown = dialog->page();
            QVERIFY(dialog->unknown().isEmpty());
            dialog->doPrint();
        });
        press(true);
        QCOMPARE(closer.driven, 1);
        QTRY_COMPARE_WITH_TIMEOUT(job("job-0001.bin"), shown, 15000);
        QTRY_VERIFY(network.printTestPageButton()->isEnabled());
        press(false);
        QTRY_COMPARE_WITH_TIMEOUT(job("job-0002.bin"), shown, 15000);
    }

    // The simulator's USB line: packets pass, even one split in its header;
    // the print data around them is captured and rendered job by job.
    void simulatorUsbStream()
    {
        SimIdentity identity;
        SimPrinter printer(SimModel(identity, SimModel::defaultState(identity)), QString());
        SimJobCapture capture(&printer);
        QString error;
        QVERIFY(capture.open(jobs_->path(), error));
        SimUsbStream stream(&capture);
        // A packet: 10 01 11, one block, 16 body bytes.
        const QByteArray packet = QByteArray::fromHex("10011101") + QByteArray(16, 'p');
        // A bad block count, "x", ESC a 2, GS ! 0x11, "A" LF, GS ! 0x21, GS V 66 5, ESC t 16, "x", FS ( L 65 'Z',
        // "café" LF, GS ( E cut short, a lone ESC.
        const QByteArray data = QByteArray::fromHex(
            "10011140 78 1b6132 1d2111 410a 1d2121 1d564205 1b7410 78 1c284c0200415a 636166c3a90a 1d2845 1b");
        QByteArray passed;
        for (const QByteArray& chunk :
            {kStart + kHeading + "A\n" + kBody + kEnd, packet.left(2), packet.mid(2, 9), packet.mid(11) + data})
            passed += stream.take(chunk);
        stream.finish();
        QCOMPARE(passed, packet);
        QCOMPARE(QString::fromUtf8(job("job-0001.txt")),
            "[GS ( E 06 03 01][align center][double height]A\n[align left][normal size][GS ( E 06 03 FF]");
        QCOMPARE(QString::fromUtf8(job("job-0002.txt")),
            QString::fromUtf8(
                "[10][01][11]@x[align right][double size]A\n[size 3x2][cut partial after feed 5][code page 16]x"
                "[FS ( L 41 5A]café\n[1D 28]E[1B]"));
    }
};

QTEST_MAIN(TestTestPages)
#include "tst_testpages.moc"
