// Settings files, fleet variables and plans; record identifiers known from the layouts (command code, version 1).

#include "settings/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace settings;

namespace {

const QByteArray kHead = "{\"format\": \"tovra-printer-settings\",\n\"version\": 1,\n";

// "PROJECT/MODEL" on receipt paper, with no SSID and no fonts; replies from the record layouts.
PrinterState printer(const QByteArray& name)
{
    const QByteArrayList names = (name + "/SN1").split('/');
    return {DeviceIdentity::fromBytes(
                names[0].leftJustified(16, 0) + names[1].leftJustified(16, 0) + names[2].leftJustified(16, 0)),
        std::nullopt, NetworkInfo::fromReply(QByteArray("\x02", 1).leftJustified(248, 0)),
        PrintSettings::fromReply(
            (QByteArray::fromHex("030000000000640030").leftJustified(44, 0) + '\x01').leftJustified(46, 0)),
        WnetStatus::fromReply(QByteArray("\x04", 1).leftJustified(344, 0)),
        SerialSettings::fromReply(QByteArray::fromHex("0500802500000800000001").leftJustified(18, 0)), AudioSettings(),
        std::vector<FontEntry>(), std::vector<InstalledFont>()};
}

QString joined(const QMap<QString, QJsonValue>& values)
{
    QStringList pairs;
    for (auto it = values.begin(); it != values.end(); ++it)
        pairs << it.key() + '=' + QJsonDocument(QJsonArray {*it}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return pairs.join(' ');
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void plan_data();
    void plan();
};

void TestSettingsFile::parse_data()
{
    // A settings file (the head added before a key), or a vars CSV in rows named "vars...".
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("result");
    const auto row = [](const char* name, const QByteArray& text, const char* result) {
        QTest::newRow(name) << (text.startsWith('"') ? kHead + text : text) << result;
    };
    row("by hand", R"("print": {"density": 120}, "wifi": {"ssid": "café"}, "fonts": {"table": [{"ranges": "U+20~U+7E"}],
        "files": [{"name": "a", "size": 3, "md5": "00112233445566778899AABBCCDDEEFF"}]}})",
        R"(print.density=120 wifi.ssid="café"; U+0020~U+007E; 00112233445566778899aabbccddeeff)");
    row("bad value", "\"print\": {\"density\": 5}}", "line 3: print.density: 5 is not 70..130");
    row("a default's zero", "\"print\": {\n\"density\": 0}}", "line 4: print.density: 0 is not");
    row("unknown group", "\"source\": {},\n\"printer\": {}}", "line 4: unknown group \"printer\"");
    row("repeated group", "\"audio\": {},\n\"audio\": {}}", "line 4: \"audio\" given twice");
    row("unknown name", "\"audio\": {\n\"al\": true}}", "line 4: audio.al: unknown setting");
    row("read-only name", "\"mobile\": {\"imei\": \"1\"}}", "line 3: mobile.imei: read only");
    row("a NUL", "\"wifi\": {\"ssid\": \"a\\u0000b\"}}", "line 3: wifi.ssid: a NUL in the text");
    row("wrong type", "\"audio\":\n{\"all\": 1}}", "line 4: audio.all: true or false expected");
    row("font path", "\"fonts\": {\"files\": [{\"name\": \"../a\", \"size\": 1}]}}", "line 3: fonts.files[0].name");
    row("truncated JSON", "\"print\": {\"density\": ", "line 3: ");
    row("raw control character", QByteArray("\"source\": {\"a\0b\": 1}}", 21), "line 3: a control character");
    row("wrong format", "{\"format\": \"x\", \"version\": 1}", "line 1: format:");
    row("version 2", "{\"format\": \"tovra-printer-settings\",\n\"version\": 2}", "line 2: format version 2");
    row("vars", "sn,ethernet.static_ip,audio.all\r\nA,10.0.0.5,true\r\nB,,0\r\n",
        R"(A: audio.all=true ethernet.static_ip="10.0.0.5"; B: audio.all=false)");
    row("vars, unknown column", "sn,print.dens\n", "line 1, column 2: print.dens: unknown");
    row("vars, bad value", "sn,print.density\nA,70\nB,7\n", "line 3, column 2: print.density");
    row("vars, repeated sn", "sn,print.density\nA,70\n\nA,80\n", "line 4, column 1: sn");
    row("vars, quoted cells", "sn,\"mobile.apn\"\n\"A\",\"a,\"\"b\"\"\nc\"\n", R"(A: mobile.apn="a,\"b\"\nc")");
}

void TestSettingsFile::parse()
{
    QFETCH(QByteArray, text);
    const bool csv = QByteArray(QTest::currentDataTag()).startsWith("vars");
    QFETCH(QString, result);
    SettingsFile file;
    FleetVars vars;
    QString error;
    QStringList read;
    if (csv && FleetVars::parse(text, &vars, &error)) {
        for (auto it = vars.bySerial.begin(); it != vars.bySerial.end(); ++it)
            read << it.key() + ": " + joined(it.value());
    } else if (!csv && SettingsFile::parse(text, &file, &error)) {
        read << joined(file.values) << file.fontTable.value_or(std::vector<FontEntry>(1))[0].text(FontEntry::Ranges)
             << file.fontFiles.value_or(std::vector<FontFile>(1))[0].md5.toHex();
    }
    QVERIFY2((error.isEmpty() ? read.join("; ") : error).startsWith(result), qPrintable(error + read.join("; ")));
}

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("without a password") << QString();
    QTest::newRow("with a password") << "secret";
}

void TestSettingsFile::roundTrip()
{
    QFETCH(QString, password);
    PrinterState state = printer("LQ520/LQ560");
    state.fontTable->emplace_back().setText(FontEntry::Ranges, "U+0020~U+007E");
    state.fontFiles->push_back(*InstalledFont::fromReply(QByteArray("\x61\001a.ttf").leftJustified(134, 0)));
    const SettingsFile written = SettingsFile::fromState(
        state, "2026-01-02T03:04:05Z", password.isEmpty() ? std::nullopt : std::optional<QString>(password));
    SettingsFile read;
    QVERIFY2(SettingsFile::parse(written.toJson(), &read, nullptr), written.toJson().constData());
    QCOMPARE(joined(read.values), joined(written.values));
    QCOMPARE(read.values.value("wifi.password").toString(), password);
    // A receipt printer's positions of 0 fit no file.
    QVERIFY(!read.values.contains("print.print_position") && read.values.contains("mobile.apn"));
    QVERIFY(read.fontTable == state.fontTable && read.fontFiles.value_or(std::vector<FontFile>(1))[0].name == "a.ttf");
}

void TestSettingsFile::plan_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("groups");
    // The changes (name=after), the records' identifiers, the notes and the error, split by "|".
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("vars");
    const auto row = [](const char* name, const char* printer, const char* groups, const char* expected,
                         const char* vars = "") { QTest::newRow(name) << printer << groups << expected << vars; };
    row("only what differs, vars win", "LQ540/LQ540",
        R"("print": {"density": 100, "quality": 40}, "audio": {"all": false})", "print.quality=50|2101||",
        "sn,print.quality\nSN1,50\n");
    row("addresses last", "LQ520/LQ560",
        R"("ethernet": {"static_ip": "10.0.0.2"}, "wifi": {"static_netmask": "255.0.0.0",
        "ssid": "x", "password": "p"}, "mobile": {"apn": "a"}, "audio": {"all": true}, "serial": {"parity": 1},
        "print": {"quality": 40}, "fonts": {"files": [{"name": "a.ttf", "size": 1}]})",
        R"(print.quality=40 serial.parity=1 audio.all=true mobile.apn="a" wifi.ssid="x" ethernet.static_ip="10.0.0.2" )"
        R"(wifi.static_netmask="255.0.0.0" fonts.files.a.ttf=1|2101 4101 0301 3101 1101 0101 0201||)");
    row("group the model lacks", "LQ520/LQ520", R"("wifi": {"static_ip": "10.0.0.2"}, "mobile": {"apn": "a"})",
        "||mobile: the printer has no 4G;wifi: the printer has no Wi-Fi|");
    row("ssid without password", "LQ540/LQ540", R"("wifi": {"ssid": "office"})", "|||wifi.ssid: differs");
    row("positions with receipt paper", "LQ540/LQ540", R"("print": {"print_position": 300})",
        "||print.print_position: kept only with black-mark paper|");
}

void TestSettingsFile::plan()
{
    QFETCH(QString, printer);
    QFETCH(QString, groups);
    QFETCH(QString, expected);
    QFETCH(QString, vars);
    SettingsFile file;
    FleetVars fleet;
    QVERIFY(SettingsFile::parse(kHead + groups.toUtf8() + '}', &file, nullptr));
    QVERIFY(vars.isEmpty() || FleetVars::parse(vars.toUtf8(), &fleet, nullptr));
    PrinterState before = ::printer(printer.toUtf8()), after = before;
    const Plan plan = makePlan(file, before, fleet.bySerial.value("SN1"));
    // Read back with only the print record taken, the other changes are mismatches.
    QStringList changes, records, untaken;
    for (const Change& change : plan.changes) {
        changes << joined({{change.name, change.after}});
        untaken << (change.name.startsWith("print.") ? QStringList() : QStringList(change.name));
    }
    for (const QByteArray& record : plan.records) {
        records << record.left(2).toHex();
        after.print = PrintSettings::fromCommand(record) ? PrintSettings::fromCommand(record) : after.print;
    }
    QCOMPARE(mismatches(plan, after), untaken);
    const QString got = QStringList({changes.join(' '), records.join(' '), plan.notes.join(';'), plan.error}).join('|');
    QCOMPARE(expected.endsWith('|') ? got : got.left(expected.size()), expected); // an error by its start only
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
