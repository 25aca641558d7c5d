// The Chinese and Japanese texts: the .ts files hold every text of the
// sources, all translated, the windows built with each .qm loaded show no
// English left but the names and codes that stay as they are, and the test
// pages keep their values in one column in every language.

#include "fonts/dialogfontsettings.h"
#include "link/hostcmd.h"
#include "link/testpage.h"
#include "link/transceiver.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetlan.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogserialconnect.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
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
    QString context;
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
    QString context;
    Message message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = {context, {}, {}, {}};
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            // A numerus translation has its forms as children.
            message.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            messages.append(message);
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
    auto add = [&texts](const QObject* object, const char* what, const QString& text) {
        if (!text.trimmed().isEmpty())
            texts.append({QStringLiteral("%1 %2 %3")
                              .arg(object->metaObject()->className(), object->objectName(), QLatin1String(what)),
                text});
    };
    add(root, "window title", root->windowTitle());
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (const QWidget* widget : widgets) {
        add(widget, "tool tip", widget->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            add(label, "text", label->text());
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            add(button, "text", button->text());
        if (const auto* group = qobject_cast<const QGroupBox*>(widget))
            add(group, "title", group->title());
        if (const auto* line = qobject_cast<const QLineEdit*>(widget))
            add(line, "placeholder", line->placeholderText());
        if (const auto* tabs = qobject_cast<const QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                add(tabs, "tab", tabs->tabText(i));
                add(tabs, "tab tip", tabs->tabToolTip(i));
            }
        }
        if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                add(combo, "item", combo->itemText(i));
        }
        if (const auto* table = qobject_cast<const QTableWidget*>(widget)) {
            for (int column = 0; column < table->columnCount(); ++column) {
                if (const QTableWidgetItem* item = table->horizontalHeaderItem(column))
                    add(table, "header", item->text());
            }
        }
    }
    for (const QAction* action : root->findChildren<QAction*>()) {
        add(action, "text", action->text());
        add(action, "tool tip", action->toolTip());
        add(action, "status tip", action->statusTip());
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

using Factory = std::function<std::unique_ptr<QWidget>()>;

template <typename T, typename... Args> Factory make(Args... args)
{
    return [=] { return std::unique_ptr<QWidget>(std::make_unique<T>(args...)); };
}

const struct
{
    const char* name;
    Factory make;
} kSurfaces[] = {
    {"main window", make<MainWindow>()},
    {"preferences", make<DialogPreferences>()},
    {"configure Wi-Fi", make<DialogConfigureWiFi>(nullptr)},
    {"font settings", make<DialogFontSettings>()},
    {"serial port", make<DialogSerialConnect>()},
    // Qt's own texts the program shows: message box buttons, the edit menu.
    {"message box",
        make<QMessageBox>(
            QMessageBox::Question, QString(), QString(), QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No)},
    {"edit menu",
        [] {
            auto edit = std::make_unique<QLineEdit>();
            edit->createStandardContextMenu();
            return std::unique_ptr<QWidget>(std::move(edit));
        }},
};

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

// Columns on the printer: two for an East Asian Wide or Fullwidth character.
int displayWidth(const QString& text)
{
    int width = 0;
    for (const uint c : text.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF)
            || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF)
            || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
            || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    std::unique_ptr<Transceiver> link_;
    Texts english_[std::size(kSurfaces)];

    Texts textsIn(int surface, const QString& qmFile)
    {
        QTranslator translator;
        if (!translator.load(qmFile))
            return {};
        QCoreApplication::installTranslator(&translator);
        const Texts texts = visibleTexts(kSurfaces[surface].make().get());
        QCoreApplication::removeTranslator(&translator);
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        // The font dialog asks the printer at once; nothing goes anywhere.
        hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
        DialogSerialConnect::setPortSource([] { return QList<DialogSerialConnect::Port>(); });
        for (int i = 0; i < int(std::size(kSurfaces)); ++i) {
            english_[i] = visibleTexts(kSurfaces[i].make().get());
            QVERIFY2(!english_[i].isEmpty(), kSurfaces[i].name);
        }
    }
    void cleanupTestCase()
    {
        DialogSerialConnect::setPortSource({});
        hostCmd.setWriter({});
        transceiver = nullptr;
        link_.reset();
    }

    void tsFileIsCompleteAndCurrent_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("zh_CN") << "zh_CN";
        QTest::newRow("ja_JP") << "ja_JP";
    }
    // lupdate over a copy: a text new in the sources comes in unfinished, one
    // gone from them turns vanished or obsolete.
    void tsFileIsCompleteAndCurrent()
    {
        QFETCH(QString, language);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString committed = QStringLiteral(TOVRA_SOURCE_DIR "/resources/translations/%1.ts").arg(language);
        const QString copy = dir.filePath(language + QStringLiteral(".ts"));
        QVERIFY(QFile::copy(committed, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));

        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(TOVRA_SOURCE_DIR));
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList inputs = QStringLiteral(TOVRA_TRANSLATION_INPUTS).split(QLatin1Char(','));
        lupdate.start(TOVRA_LUPDATE,
            QStringList {"-I", TOVRA_SOURCE_DIR} + inputs + QStringList {"-locations", "none", "-ts", copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(
            lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0, lupdate.readAll().constData());

        const QList<Message> before = readTs(committed);
        const QList<Message> after = readTs(copy);
        QVERIFY(!before.isEmpty());
        QStringList problems;
        for (const Message& message : after) {
            const QString where = message.context + QStringLiteral(": ") + message.source;
            if (!message.type.isEmpty())
                problems << message.type + QStringLiteral(" ") + where;
            else if (placeholders(message.source) != placeholders(message.translation))
                problems << QStringLiteral("placeholders differ ") + where;
            else if (QKeySequence::mnemonic(message.source) != QKeySequence::mnemonic(message.translation))
                problems << QStringLiteral("accelerator differs ") + where;
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(after.size(), before.size());
    }

    void windowsShowNoEnglish_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("surface");
        for (const QString& language : {QStringLiteral("zh_CN"), QStringLiteral("ja_JP")}) {
            for (int i = 0; i < int(std::size(kSurfaces)); ++i)
                QTest::newRow(qPrintable(language + QLatin1Char(' ') + QLatin1String(kSurfaces[i].name)))
                    << language << i;
        }
    }
    void windowsShowNoEnglish()
    {
        QFETCH(QString, language);
        QFETCH(int, surface);
        const Texts translated = textsIn(surface, qmPath(language));
        const Texts& english = english_[surface];
        QCOMPARE(translated.size(), english.size());
        QStringList left;
        for (int i = 0; i < english.size(); ++i) {
            if (translated.at(i).second == english.at(i).second && !staysAsItIs(english.at(i).second))
                left << english.at(i).first + QStringLiteral(": ") + english.at(i).second;
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    }

    // Every value of a test page starts in one column.
    void testPageValuesLineUp_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("page");
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh_CN"), QStringLiteral("ja_JP")}) {
            for (int i = 0; i < int(std::size(kTestPages)); ++i)
                QTest::newRow(qPrintable(language + QLatin1Char(' ') + QLatin1String(kTestPages[i].name)))
                    << language << i;
        }
    }
    void testPageValuesLineUp()
    {
        QFETCH(QString, language);
        QFETCH(int, page);
        QTranslator translator;
        QVERIFY(language == "en" || translator.load(qmPath(language)));
        QCoreApplication::installTranslator(&translator);
        QByteArray bytes = kTestPages[page].build();
        QCoreApplication::removeTranslator(&translator);
        for (const QByteArray& style :
            {TestPage::kStart, TestPage::kEnd, TestPage::kHeadingStyle, TestPage::kBodyStyle})
            bytes.replace(style, QByteArray());

        static const QRegularExpression label(QStringLiteral("^[^:\\x{FF1A}]*[:\\x{FF1A}] *"));
        QStringList lines;
        QSet<int> columns;
        for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch match = label.match(line);
            if (!match.hasMatch())
                continue;
            const int column = displayWidth(match.captured());
            columns.insert(column);
            lines << QStringLiteral("%1 |%2").arg(column, 2).arg(line);
        }
        QVERIFY2(lines.size() == kTestPages[page].valueLines && columns.size() == 1, qPrintable(lines.join('\n')));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
