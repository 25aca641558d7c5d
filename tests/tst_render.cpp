// The ESC/POS renderer: where ink and marks land on pages whose look is
// written out by hand, and every test page the program prints in each
// language and model drawn without an unknown command.

#include "link/testpage.h"
#include "render/escposrenderer.h"
#include "settings/settings.h"

#include <QTranslator>
#include <QtTest>

using escpos::Paper;
Q_DECLARE_METATYPE(escpos::Paper)

namespace {

// The bounding box of the pixels `pick` chooses.
template <typename Pick> QRect box(const QImage& image, Pick pick)
{
    QRect out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pick(image.pixel(x, y)))
                out |= QRect(x, y, 1, 1);
    return out;
}

bool isMark(QRgb pixel)
{
    return qBlue(pixel) > qRed(pixel) + 64;
}

// Fills at least `share` of `cell` in both directions, and stays inside it.
bool fills(const QRect& found, const QRect& cell, double share)
{
    return cell.contains(found) && found.width() >= share * cell.width() && found.height() >= share * cell.height();
}

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Font A cells are 12 x 24 dots, lines 30 dots apart; 80 mm paper is 576
    // dots wide, 58 mm 384. Ink is black; the cut is a dashed line of 2 dots
    // amid an 8-dot band, the black mark an 8-dot bar.
    void handDrawn_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<Paper>("paper");
        QTest::addColumn<QRect>("ink");
        QTest::addColumn<QRect>("mark");
        QTest::newRow("line at the top left") << QByteArray("HHHH\n") << Paper::Mm80 << QRect(0, 0, 48, 24) << QRect();
        QTest::newRow("third line") << QByteArray("\n\nHHHH\n") << Paper::Mm58 << QRect(0, 60, 48, 24) << QRect();
        QTest::newRow("double size twice as wide")
            << QByteArray("\x1d\x21\x11HHHH\n") << Paper::Mm80 << QRect(0, 0, 96, 48) << QRect();
        QTest::newRow("double width, no line feed")
            << QByteArray("\x1d\x21\x10HHHH") << Paper::Mm80 << QRect(0, 0, 96, 24) << QRect();
        QTest::newRow("centred on 80 mm")
            << QByteArray("\x1b\x61\x01HHHH\n") << Paper::Mm80 << QRect(264, 0, 48, 24) << QRect();
        QTest::newRow("centred on 58 mm")
            << QByteArray("\x1b\x61\x31HHHH\n") << Paper::Mm58 << QRect(168, 0, 48, 24) << QRect();
        QTest::newRow("right") << QByteArray("\x1b\x61\x02HH\n") << Paper::Mm80 << QRect(552, 0, 24, 24) << QRect();
        QTest::newRow("after a feed of 100 dots")
            << QByteArray("\x1bJ\x64HH\n") << Paper::Mm80 << QRect(0, 100, 24, 24) << QRect();
        QTest::newRow("wrapped at the edge") << QByteArray(33, 'H') + '\n'
                                             << Paper::Mm58 << QRect(0, 0, 384, 54) << QRect();
        QTest::newRow("cut after a line")
            << QByteArray("HH\n\x1dV\x30", 6) << Paper::Mm80 << QRect(0, 0, 24, 24) << QRect(0, 33, 576, 2);
        QTest::newRow("black mark before a line")
            << QByteArray("\x1c(L\x02\x00\x43\x30HH\n", 10) << Paper::Mm58 << QRect(0, 8, 24, 24) << QRect(0, 0, 72, 8);
    }
    void handDrawn()
    {
        QFETCH(QByteArray, job);
        QFETCH(Paper, paper);
        QFETCH(QRect, ink);
        QFETCH(QRect, mark);
        escpos::Options options;
        options.paper = paper;
        const escpos::Image page = escpos::renderImage(job, options);
        QCOMPARE(page.unknown, QStringList());
        QCOMPARE(page.image.width(), paper == Paper::Mm58 ? 384 : 576);
        const QRect foundInk = box(page.image, [](QRgb p) { return !isMark(p) && qGray(p) < 128; });
        QVERIFY2(fills(foundInk, ink, 0.6),
            qPrintable(QStringLiteral("ink at %1,%2 %3x%4")
                           .arg(foundInk.x())
                           .arg(foundInk.y())
                           .arg(foundInk.width())
                           .arg(foundInk.height())));
        const QRect foundMark = box(page.image, isMark);
        QVERIFY(mark.isNull() ? foundMark.isNull() : fills(foundMark, mark, 0.9));
    }

    // Unknown commands are listed by their bytes and skipped; their parameters,
    // unknown too, print as text.
    void unknownListed()
    {
        const escpos::Image page = escpos::renderImage(QByteArray("\x1bp\x00\x19\xfa\x1b\x61\x07", 8));
        QCOMPARE(page.unknown, QStringList({"1B 70", "00", "19", "1B 61 07"}));
    }

    // With UTF-8 off, text goes through the code page ESC t picks (CP437 until
    // one is picked) and draws as the same character would from UTF-8.
    void codePages_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<QString>("text");
        QTest::newRow("CP437 by default") << QByteArray("\x82\x9c\n") << "é£";
        QTest::newRow("ESC t 16, Windows-1252") << QByteArray("\x1bt\x10\xe9\x80\n") << "é€";
        QTest::newRow("ESC t 17, CP866") << QByteArray("\x1bt\x11\xe0\x8f\n") << "рП";
        QTest::newRow("init goes back to CP437") << QByteArray("\x1bt\x10\x1b@\x82\n") << "é";
    }
    void codePages()
    {
        QFETCH(QByteArray, job);
        QFETCH(QString, text);
        escpos::Options codePage;
        codePage.utf8 = false;
        const escpos::Image drawn = escpos::renderImage(job, codePage);
        QCOMPARE(drawn.unknown, QStringList());
        QCOMPARE(drawn.image, escpos::renderImage(text.toUtf8() + '\n').image);
    }

    void testPages_data()
    {
        QTest::addColumn<QString>("qm");
        QTest::addColumn<QString>("project");
        for (const char* qm : {"", "zh_CN", "ja_JP"})
            for (const char* project : {"LQ520", "LQ230", "LQ540", "LQ560", "LQ580"})
                QTest::addRow("%s %s", *qm ? qm : "en", project) << qm << project;
    }
    void testPages()
    {
        QFETCH(QString, qm);
        QFETCH(QString, project);
        QTranslator translator;
        QVERIFY(
            qm.isEmpty() || (translator.load(TOVRA_QM_DIR "/" + qm + ".qm") && qApp->installTranslator(&translator)));
        TestPage::NetworkTexts texts {"00:11:22:33:44:55", "10.0.0.2", "255.0.0.0", "10.0.0.3", "255.0.0.0", "Café"};
        const QByteArray pages[] = {TestPage::printTestPage("On", "GB18030", "CP437", project, project),
            TestPage::blackMarkTestPage(), TestPage::networkTestPage(false, texts, project, project, qm.isEmpty()),
            TestPage::networkTestPage(true, texts, project, project, qm.isEmpty())};
        for (const QByteArray& page : pages) {
            for (Paper paper : {Paper::Mm58, Paper::Mm80}) {
                escpos::Options options;
                options.paper = paper;
                QCOMPARE(escpos::renderImage(page, options).unknown, QStringList());
            }
        }
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"
