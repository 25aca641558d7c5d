// The Chinese and Japanese texts: the .ts files hold every text of the
// sources, all translated, the windows built with each .qm loaded show no
// English left but the names and codes that stay as they are, the language
// chosen at start-up, and the test pages keep their values in one column in
// every language.

#include "app/conf.h"
#include "app/language.h"
#include "fonts/dialogfontsettings.h"
#include "link/hostcmd.h"
#include "link/testpage.h"
#include "link/transceiver.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetlan.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "testsupport.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogserialconnect.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <functional>
#include <memory>

namespace {

struct Message
{
    QString source;
    QString type; // empty when finished
    QString translation;
};

QList<Message> readTs(const QString& path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source"))
            messages.append({xml.readElementText(), {}, {}});
        else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            messages.last().type = xml.attributes().value(QLatin1String("type")).toString();
            // A numerus translation has its forms as children.
            messages.last().translation = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
    }
    return xml.hasError() ? QList<Message>() : messages;
}

QSet<QString> placeholders(const QString& text)
{
    QSet<QString> found;
    static const QRegularExpression pattern(QStringLiteral("%(?:\\d+|n)"));
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

// Every text a person can see on a window, with where it is.
using Texts = QList<QPair<QString, QString>>;

Texts visibleTexts(QWidget* root)
{
    Texts texts;
    auto add = [&texts](const QObject* object, const QString& what, const QString& text) {
        if (!text.trimmed().isEmpty())
            texts.append(
                {QStringLiteral("%1 %2 %3").arg(object->metaObject()->className(), object->objectName(), what), text});
    };
    QList<QObject*> objects = root->findChildren<QObject*>();
    objects.prepend(root);
    for (const QObject* object : objects) {
        for (const char* property : {"windowTitle", "toolTip", "statusTip", "title", "placeholderText"})
            add(object, property, object->property(property).toString());
        if (qobject_cast<const QLabel*>(object) || qobject_cast<const QAbstractButton*>(object)
            || qobject_cast<const QAction*>(object))
            add(object, "text", object->property("text").toString());
        if (const auto* tabs = qobject_cast<const QTabWidget*>(object)) {
            for (int i = 0; i < tabs->count(); ++i) {
                add(tabs, "tab", tabs->tabText(i));
                add(tabs, "tab tip", tabs->tabToolTip(i));
            }
        }
        if (const auto* combo = qobject_cast<const QComboBox*>(object)) {
            for (int i = 0; i < combo->count(); ++i)
                add(combo, "item", combo->itemText(i));
        }
        if (const auto* table = qobject_cast<const QTableWidget*>(object)) {
            for (int column = 0; column < table->columnCount(); ++column)
                add(table, "header", table->model()->headerData(column, Qt::Horizontal).toString());
        }
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

const char* const kSurfaces[]
    = {"main window", "preferences", "configure Wi-Fi", "font settings", "serial port", "message box", "edit menu"};

std::unique_ptr<QWidget> makeSurface(int surface)
{
    // clang-format off
    switch (surface) {
    case 0: return std::make_unique<MainWindow>();
    case 1: return std::make_unique<DialogPreferences>();
    case 2: return std::make_unique<DialogConfigureWiFi>(nullptr);
    case 3: return std::make_unique<DialogFontSettings>();
    case 4: return std::make_unique<DialogSerialConnect>();
    // Qt's own texts the program shows: message box buttons, the edit menu.
    case 5: return std::make_unique<QMessageBox>(QMessageBox::Question, QString(), QString(), QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
    }
    // clang-format on
    auto edit = std::make_unique<QLineEdit>();
    edit->createStandardContextMenu();
    return edit;
}

QString qmPath(const QString& language)
{
    return QStringLiteral(TOVRA_QM_DIR "/%1.qm").arg(language);
}

template <typename Page> QByteArray filledTestPage()
{
    Page page;
    for (QLineEdit* field : page.template findChildren<QLineEdit*>())
        field->setText(QStringLiteral("x"));
    return page.buildTestPage();
}

// The test pages with a value in every field, and how many of their lines
// are a label and a value.
const struct
{
    const char* name;
    std::function<QByteArray()> build;
    int valueLines;
} kTestPages[] = {
    {"print", [] { return TestPage::printTestPage("x", "x", "x", "LQ520"); }, 4},
    {"serial", [] { return WidgetSerial().buildTestPage(); }, 5},
    {"Ethernet", filledTestPage<WidgetLan>, 6},
    {"Wi-Fi", filledTestPage<WidgetWiFi>, 7},
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
    static constexpr int kWindows = int(std::size(kSurfaces));
    Texts english_[kWindows];

private Q_SLOTS:
    void initTestCase()
    {
        transceiver = &link_;
        // The font dialog asks the printer at once; nothing goes anywhere.
        hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
        DialogSerialConnect::setPortSource([] { return QList<DialogSerialConnect::Port>(); });
        for (int i = 0; i < int(std::size(kSurfaces)); ++i) {
            english_[i] = visibleTexts(makeSurface(i).get());
            QVERIFY2(!english_[i].isEmpty(), kSurfaces[i]);
        }
    }
    // lupdate over copies: a text new in the sources comes in unfinished, one
    // gone from them turns vanished or obsolete; each translation keeps the
    // placeholders and the accelerator of its source.
    void tsFilesAreCompleteAndCurrent()
    {
        QTemporaryDir dir;
        QStringList copies;
        for (const char* language : {"zh_CN", "ja_JP"}) {
            copies << dir.filePath(language + QStringLiteral(".ts"));
            QVERIFY(
                QFile::copy(TOVRA_SOURCE_DIR "/resources/translations/" + QString(language) + ".ts", copies.last()));
            QVERIFY(QFile::setPermissions(copies.last(), QFile::ReadOwner | QFile::WriteOwner));
        }
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(TOVRA_SOURCE_DIR));
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(TOVRA_LUPDATE,
            QStringList {"-I", TOVRA_SOURCE_DIR} + QStringLiteral(TOVRA_TRANSLATION_INPUTS).split(',')
                + QStringList {"-locations", "none", "-ts"} + copies);
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(
            lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0, lupdate.readAll().constData());
        QStringList problems;
        for (const QString& copy : copies) {
            const QList<Message> messages = readTs(copy);
            QVERIFY(messages.size() > 100);
            for (const Message& message : messages) {
                const QString where = copy.section('/', -1) + ": " + message.source;
                if (!message.type.isEmpty())
                    problems << message.type + QStringLiteral(" ") + where;
                else if (placeholders(message.source) != placeholders(message.translation))
                    problems << QStringLiteral("placeholders differ ") + where;
                else if (QKeySequence::mnemonic(message.source) != QKeySequence::mnemonic(message.translation))
                    problems << QStringLiteral("accelerator differs ") + where;
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
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
        for (int i = 0; i < kWindows + int(std::size(kTestPages)); ++i) {
            const QByteArray name(i < kWindows ? kSurfaces[i] : kTestPages[i - kWindows].name);
            QTest::newRow(("zh_CN " + name).constData()) << 1 << "zh_CN" << i;
            QTest::newRow(("ja_JP " + name).constData()) << 2 << "ja_JP" << i;
            if (i >= kWindows)
                QTest::newRow(("en " + name).constData()) << 0 << "" << i;
        }
        QTest::newRow("ja_JP missing, main window") << 2 << "" << 0;
        QTest::newRow("language 7, main window") << 7 << "zh_CN" << 0;
    }
    void windowsInEachLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, qm);
        QFETCH(int, surface);
        ScratchDirectory dir;
        QVERIFY(dir.isValid() && QDir().mkdir("translations"));
        QVERIFY(qm.isEmpty() || QFile::copy(qmPath(qm), "translations/" + qm + ".qm"));
        conf.Language = language;
        QTranslator translator;
        const QFont font = chooseLanguage(translator);
        const int page = surface - kWindows;
        const QByteArray pageBytes = page >= 0 ? kTestPages[page].build() : QByteArray();
        const Texts texts = page < 0 ? visibleTexts(makeSurface(surface).get()) : Texts();
        QCoreApplication::removeTranslator(&translator);
        conf.Language = 0;
        const QString yaHei = QString::fromUtf8("\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91");
        QCOMPARE(font.family() + ' ' + QString::number(font.pointSize()),
            (language == 0 || language == 7 ? "Tahoma" : yaHei) + " 10");
        const bool translated = !qm.isEmpty() && language != 7;
        QCOMPARE(translator.language(), translated ? qm : QString());
        if (page >= 0) {
            QSet<int> columns;
            const QStringList lines = valueLines(pageBytes, columns);
            QVERIFY2(lines.size() == kTestPages[page].valueLines && columns.size() == 1, qPrintable(lines.join('\n')));
            return;
        }
        // Translated: no English left; else: English throughout.
        const Texts& english = english_[surface];
        QCOMPARE(texts.size(), english.size());
        QStringList left;
        for (int i = 0; i < english.size(); ++i) {
            if ((texts.at(i).second == english.at(i).second) == translated && !staysAsItIs(english.at(i).second))
                left << english.at(i).first + QStringLiteral(": ") + texts.at(i).second;
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
