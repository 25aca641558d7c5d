// The Chinese and Japanese texts: the .ts files hold every text of the
// sources, all translated, the windows built with each .qm loaded show no
// English left but the names and codes that stay as they are, the language
// chosen at start-up, and the test pages keep their values in one column in
// every language.

#include "app/conf.h"
#include "app/language.h"
#include "fonts/dialogfontsettings.h"
#include "link/testpage.h"
#include "link/transceiver.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "testsupport.h"
#include "ui/dialogimportsettings.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogserialconnect.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <tuple>

namespace {

// What a translation keeps of its source: the placeholders and the accelerator.
QString kept(const QString& text)
{
    QMap<QString, bool> found;
    for (auto it = QRegularExpression("%(?:\\d+|n)").globalMatch(text); it.hasNext();)
        found.insert(it.next().captured(), true);
    return found.keys().join(' ') + ' ' + QKeySequence::mnemonic(text).toString();
}

// The messages of a .ts file left unfinished, vanished or obsolete, or whose
// translation lost what it must keep.
QStringList problemsOf(const QString& path)
{
    QStringList problems;
    QXmlStreamReader xml(readFile(path));
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            // A numerus translation has its forms as children.
            const QString translation = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            if (!type.isEmpty() || kept(source) != kept(translation))
                problems << (type.isEmpty() ? "placeholder or accelerator lost" : type) + ": " + source;
        }
    }
    return xml.hasError() ? QStringList(xml.errorString()) : problems;
}

// Every text a person can see on a window, with where it is.
using Texts = QList<QPair<QString, QString>>;

Texts visibleTexts(QWidget* root)
{
    Texts texts;
    auto add = [&texts](const QObject* object, const char* what, const QString& text) {
        if (!text.trimmed().isEmpty())
            texts.append({QString::fromLatin1(object->metaObject()->className()) + ' ' + what, text});
    };
    const QList<QObject*> objects = root->findChildren<QObject*>() << root;
    for (const QObject* object : objects) {
        // Labels, buttons and actions by their text; no field holds a value yet.
        for (const char* property : {"windowTitle", "toolTip", "statusTip", "title", "placeholderText", "text"})
            add(object, property, object->property(property).toString());
        if (const auto* tabs = qobject_cast<const QTabWidget*>(object))
            for (int i = 0; i < 2 * tabs->count(); ++i)
                add(tabs, "tab", i % 2 ? tabs->tabToolTip(i / 2) : tabs->tabText(i / 2));
        if (const auto* combo = qobject_cast<const QComboBox*>(object))
            for (int i = 0; i < combo->count(); ++i)
                add(combo, "item", combo->itemText(i));
        if (const auto* table = qobject_cast<const QTableWidget*>(object))
            for (int column = 0; column < table->columnCount(); ++column)
                add(table, "header", table->model()->headerData(column, Qt::Horizontal).toString());
    }
    return texts;
}

// Texts the same in every language: names of languages, links, character
// sets and code pages, network identifiers, the font table's short codes, and
// "OK", which Japanese buttons keep.
bool staysAsItIs(const QString& text)
{
    static const QSet<QString> names = {"English",
        QString::fromUtf8("\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"),
        QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), "USB", "Wi-Fi", "OK", "GB18030", "BIG5", "Shift JIS",
        "JIS 0208", "KS C 5601", "IMEI:", "ICCID:", "IMSI:", "MCC:", "MNC:", "RSSI:", "APN:", "ct", "px", "ad"};
    // Numbers, and the code pages listed by number: "(16) CP1252".
    static const QRegularExpression numbered(QStringLiteral("^(\\d[\\d.]*|\\(\\d+\\) .+)$"));
    return names.contains(text) || numbered.match(text).hasMatch();
}

const char* const kWindows[] = {"main window", "preferences", "configure Wi-Fi", "font settings", "serial port",
    "import settings", "message box", "edit menu"};
constexpr int kWindowCount = int(std::size(kWindows));

std::unique_ptr<QWidget> makeWindow(int window)
{
    // clang-format off
    switch (window) {
    case 0: return std::make_unique<MainWindow>();
    case 1: return std::make_unique<DialogPreferences>();
    case 2: return std::make_unique<DialogConfigureWiFi>(nullptr);
    case 3: return std::make_unique<DialogFontSettings>();
    case 4: return std::make_unique<DialogSerialConnect>();
    case 5: return std::make_unique<DialogImportSettings>(settings::Plan());
    // Qt's own texts the program shows: message box buttons, the edit menu.
    case 6: return std::make_unique<QMessageBox>(QMessageBox::Question, QString(), QString(), QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
    }
    // clang-format on
    auto edit = std::make_unique<QLineEdit>();
    edit->createStandardContextMenu();
    return edit;
}

// The test pages: name, bytes, and how many of their lines are a label and a value.
const std::tuple<const char*, QByteArray (*)(), int> kTestPages[] = {
    {"print", [] { return TestPage::printTestPage("x", "x", "x", "LQ520"); }, 4},
    {"serial", [] { return WidgetSerial().buildTestPage(); }, 5},
    {"Ethernet", [] { return WidgetLan().buildTestPage(); }, 6},
    {"Wi-Fi", [] { return WidgetWiFi().buildTestPage(); }, 7},
};

// The lines of a test page that are a label and a value, each with the
// printer column its value starts in (two columns for a CJK or fullwidth
// character); the columns, one per line.
QStringList valueLines(QByteArray bytes, QSet<int>& columns)
{
    for (const QByteArray& style : {TestPage::kStart, TestPage::kEnd, TestPage::kHeadingStyle, TestPage::kBodyStyle})
        bytes.replace(style, QByteArray());
    static const QRegularExpression label(QStringLiteral("^[^:\\x{FF1A}]*[:\\x{FF1A}] *"));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = label.match(line);
        int column = 0;
        for (const uint c : match.captured().toUcs4())
            column += c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFFDC) ? 2 : 1;
        if (match.hasMatch())
            lines << QStringLiteral("%1 |%2").arg(*columns.insert(column), 2).arg(line);
    }
    return lines;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    Transceiver link_;

private Q_SLOTS:
    void initTestCase()
    {
        transceiver = &link_;
        // The font dialog asks the printer at once; nothing goes anywhere.
        hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
        DialogSerialConnect::setPortSource([] { return QList<DialogSerialConnect::Port>(); });
    }
    // lupdate over copies: a text new in the sources comes in unfinished, one
    // gone from them turns vanished or obsolete; each translation keeps the
    // placeholders and the accelerator of its source.
    void tsFilesAreCompleteAndCurrent()
    {
        QTemporaryDir dir;
        QStringList copies;
        for (const QString language : {"zh_CN", "ja_JP"}) {
            copies << dir.filePath(language + ".ts");
            QVERIFY(QFile::copy(TOVRA_SOURCE_DIR "/resources/translations/" + language + ".ts", copies.last())
                && QFile::setPermissions(copies.last(), QFile::ReadOwner | QFile::WriteOwner));
        }
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(TOVRA_SOURCE_DIR));
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(TOVRA_LUPDATE,
            QStringList {"-I", TOVRA_SOURCE_DIR} + QStringLiteral(TOVRA_TRANSLATION_INPUTS).split(',')
                + QStringList {"-locations", "none", "-ts"} + copies);
        QVERIFY2(
            lupdate.waitForFinished(60000) && lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
            lupdate.readAll().constData());
        for (const QString& copy : copies) {
            QVERIFY(readFile(copy).count("<source>") > 100);
            const QStringList problems = problemsOf(copy);
            QVERIFY2(problems.isEmpty(), qPrintable(copy.section('/', -1) + '\n' + problems.join('\n')));
        }
    }

    // Each window and test page in the language chosen at start-up, as the
    // program loads it: 1 and 2 from translations/ in the working directory,
    // with the CJK font, and no English left on the windows; a missing file
    // leaves English with that font, and 7 acts as English. Every value of a
    // test page starts in one column, in every language.
    void windowsInEachLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("qm"); // the file there, "" for none
        QTest::addColumn<int>("surface"); // a window, or after them a test page
        for (int i = 0; i < kWindowCount + int(std::size(kTestPages)); ++i) {
            const QByteArray name(i < kWindowCount ? kWindows[i] : std::get<0>(kTestPages[i - kWindowCount]));
            QTest::newRow(("zh_CN " + name).constData()) << 1 << "zh_CN" << i;
            QTest::newRow(("ja_JP " + name).constData()) << 2 << "ja_JP" << i;
        }
        QTest::newRow("English, main window") << 0 << "" << 0;
        QTest::newRow("ja_JP missing, main window") << 2 << "" << 0;
        QTest::newRow("language 7, main window") << 7 << "zh_CN" << 0;
    }
    void windowsInEachLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, qm);
        QFETCH(int, surface);
        const Texts english = surface < kWindowCount ? visibleTexts(makeWindow(surface).get()) : Texts();
        ScratchDirectory dir;
        QVERIFY(dir.isValid() && QDir().mkdir("translations")
            && (qm.isEmpty() || QFile::copy(TOVRA_QM_DIR "/" + qm + ".qm", "translations/" + qm + ".qm")));
        conf.Language = language;
        QTranslator translator;
        const QFont font = chooseLanguage(translator);
        const int page = surface - kWindowCount;
        QSet<int> columns;
        const QStringList lines = page >= 0 ? valueLines(std::get<1>(kTestPages[page])(), columns) : QStringList();
        const Texts texts = page < 0 ? visibleTexts(makeWindow(surface).get()) : Texts();
        QCoreApplication::removeTranslator(&translator);
        conf.Language = 0;
        // Chinese and Japanese (1, 2) in Microsoft YaHei, by its Chinese name.
        const QString cjk = QString::fromUtf8("\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91");
        QCOMPARE(font.family() + ' ' + QString::number(font.pointSize()), (language % 7 ? cjk : "Tahoma") + " 10");
        const bool translated = !qm.isEmpty() && language != 7;
        QCOMPARE(translator.language(), translated ? qm : QString());
        QVERIFY2(page < 0 || (lines.size() == std::get<2>(kTestPages[page]) && columns.size() == 1),
            qPrintable(lines.join('\n')));
        // Translated: no English left; else: English throughout.
        QVERIFY(page >= 0 || (!english.isEmpty() && texts.size() == english.size()));
        QStringList left;
        for (int i = 0; i < english.size(); ++i)
            if ((texts.at(i).second == english.at(i).second) == translated && !staysAsItIs(english.at(i).second))
                left << english.at(i).first + QStringLiteral(": ") + texts.at(i).second;
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
