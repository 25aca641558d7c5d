// Settings files, fleet variables and plans. Record identifiers are known
// answers from the record layouts (command code, then version 1).

#include "settings/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace settings;

namespace {

const QByteArray kHead = "{\"format\": \"tovra-printer-settings\",\n\"version\": 1,\n";

template <class T> T make(const char* json)
{
    T value;
    if (!value.fromJson(QJsonDocument::fromJson(json).object(), nullptr))
        qFatal("bad fields: %s", json);
    return value;
}

// A receipt-paper printer on the Wi-Fi network "home", with no fonts.
PrinterState printer(const QByteArray& project, const QByteArray& model)
{
    PrinterState state;
    state.identity = DeviceIdentity::fromBytes(project.leftJustified(16, 0) + model.leftJustified(16, 0) + QByteArray("SN1").leftJustified(16, 0));
    state.network = NetworkInfo::fromReply(QByteArray("\x02\0", 2).leftJustified(36, 0) + "home" + QByteArray(208, 0));
    state.wnet = WnetStatus::fromReply(QByteArray("\x04", 1).leftJustified(344, 0));
    state.print
        = make<PrintSettings>(R"({"print.density": 100, "print.paper_type": 48, "print.black_mark_location": 1})");
    state.serial = make<SerialSettings>(R"({"serial.baud": 9600, "serial.data_bits": 8, "serial.stop_bits": 1})");
    state.audio = AudioSettings();
    state.fontTable.emplace();
    state.fontFiles.emplace();
    return state;
}

QString joined(const QMap<QString, QJsonValue>& values)
{
    QStringList pairs;
    for (auto it = values.begin(); it != values.end(); ++it)
        pairs << it.key() + '='
                + QJsonDocument(QJsonArray {it.value()}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return pairs.join(' ');
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void byHand();
    void roundTrip_data();
    void roundTrip();
    void badFiles_data();
    void badFiles();
    void vars_data();
    void vars();
    void plan_data();
    void plan();
    void mismatches();
};

void TestSettingsFile::byHand()
{
    SettingsFile file;
    QString error;
    QVERIFY2(SettingsFile::parse(kHead + R"("source": {"sn": "X"},
        "print": {"density": 120, "stop_when_not_taken": true},
        "ethernet": {"static_ip": "10.0.0.1"}, "wifi": {"ssid": "café", "password": "pw"},
        "fonts": {"table": [{"enabled": 1, "file": "a.ttf", "ranges": "U+20~U+7E"}],
                  "files": [{"name": "a.ttf", "size": 300, "md5": "00112233445566778899AABBCCDDEEFF"}]}})",
                 &file, &error),
        qPrintable(error));
    QCOMPARE(joined(file.values),
        R"(ethernet.static_ip="10.0.0.1" print.density=120 print.stop_when_not_taken=true wifi.password="pw" )"
        R"(wifi.ssid="café")");
    QCOMPARE(file.lines.value("print.density"), 4);
    QCOMPARE(file.source.value("sn").toString(), "X");
    QVERIFY(file.hasPassword() && file.setsStaticAddress() && file.fontTable && file.fontTable->size() == 1);
    QCOMPARE(file.fontTable->front().text(FontEntry::Ranges), "U+0020~U+007E");
    QCOMPARE(file.fontFiles->front().md5.toHex(), "00112233445566778899aabbccddeeff");
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
    PrinterState state = printer("LQ520", "LQ560");
    state.fontTable->push_back(make<FontEntry>(R"({"font.enabled": 1, "font.ranges": "U+0020~U+007E"})"));
    state.fontFiles->push_back(*InstalledFont::fromReply(QByteArray("\x61\x01"
                                                                    "a.ttf",
        7)
                                                             .leftJustified(134, 0)));
    const SettingsFile written = SettingsFile::fromState(
        state, "2026-01-02T03:04:05Z", password.isEmpty() ? std::nullopt : std::optional<QString>(password));
    SettingsFile read;
    QString error;
    QVERIFY2(SettingsFile::parse(written.toJson(), &read, &error), qPrintable(error + written.toJson()));
    QCOMPARE(joined(read.values), joined(written.values));
    QCOMPARE(read.values.value("wifi.password").toString(), password);
    // A receipt printer's positions of 0 fit no file.
    QVERIFY(!read.values.contains("print.print_position") && read.values.contains("mobile.apn"));
    QCOMPARE(read.source.value("time").toString(), "2026-01-02T03:04:05Z");
    QVERIFY(read.fontTable && *read.fontTable == *state.fontTable);
    QCOMPARE(read.fontFiles->front().name, "a.ttf");
}

void TestSettingsFile::badFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const auto row = [](const char* name, const QByteArray& text, const char* error) {
        QTest::newRow(name) << kHead + text << error;
    };
    row("bad value", "\"print\": {\"density\": 5}}", "line 3: print.density: 5 is not 70..130");
    row("a default's zero", "\"print\": {\n\"density\": 0}}", "line 4: print.density: 0 is not");
    row("unknown group", "\"source\": {},\n\"printer\": {}}", "line 4: unknown group \"printer\"");
    row("unknown name", "\"audio\": {\n\"al\": true}}", "line 4: audio.al: unknown setting");
    row("read-only name", "\"mobile\": {\"imei\": \"1\"}}", "line 3: mobile.imei: read only");
    row("wrong type", "\"audio\":\n{\"all\": 1}}", "line 4: audio.all: true or false expected");
    row("bad font row", "\"fonts\": {\"table\": [{},\n{\"ct\": 256}]}}", "line 4: fonts.table[1].ct: 256 is not");
    row("font file path", "\"fonts\": {\"files\": [{\"name\": \"../a\", \"size\": 1}]}}",
        "line 3: fonts.files[0].name");
    row("truncated JSON", "\"print\": {\"density\": ", "line 3: ");
    QTest::newRow("wrong format") << QByteArray("{\"format\": \"x\", \"version\": 1}") << "line 1: format:";
    QTest::newRow("version 2") << QByteArray(kHead).replace("1,", "2,").chopped(2) + "}"
                               << "line 2: format version 2 is not supported, 1 is";
}

void TestSettingsFile::badFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    SettingsFile file;
    QString why;
    QVERIFY(!SettingsFile::parse(text, &file, &why));
    QVERIFY2(why.startsWith(error), qPrintable(why));
}

void TestSettingsFile::vars_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("result");
    QTest::newRow("good") << QByteArray("sn,ethernet.static_ip,audio.all\r\nA,10.0.0.5,true\r\nB,,0\r\n")
                          << R"(A: audio.all=true ethernet.static_ip="10.0.0.5"; B: audio.all=false)";
    QTest::newRow("unknown column") << QByteArray("sn,print.dens\n") << "line 1, column 2: print.dens: unknown";
    QTest::newRow("bad value") << QByteArray("sn,print.density\nA,70\nB,7\n") << "line 3, column 2: print.density";
    QTest::newRow("repeated sn") << QByteArray("sn,print.density\nA,70\n\nA,80\n") << "line 4, column 1: sn";
    QTest::newRow("quoted cells") << QByteArray("\"sn\",mobile.apn,mobile.dial\n\"A\",\"a,\"\"b\"\"\nc\",\"\"\nB,x\n")
                                  << "line 4: 2 cells";
    QTest::newRow("quotes inside") << QByteArray("sn,mobile.apn\nA,\"a,\"\"b\"\"\"\n") << R"(A: mobile.apn="a,\"b\"")";
}

void TestSettingsFile::vars()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, result);
    FleetVars vars;
    QString error;
    QStringList rows;
    if (FleetVars::parse(csv, &vars, &error)) {
        for (auto it = vars.bySerial.begin(); it != vars.bySerial.end(); ++it)
            rows << it.key() + ": " + joined(it.value());
    }
    QVERIFY2((error.isEmpty() ? rows.join("; ") : error).startsWith(result), qPrintable(error + rows.join("; ")));
}

void TestSettingsFile::plan_data()
{
    QTest::addColumn<QByteArray>("groups");
    QTest::addColumn<QByteArray>("printer");
    QTest::addColumn<QByteArray>("vars");
    QTest::addColumn<QString>("expected");
    // Changes (name=after), then the records' identifiers, notes and the error.
    QTest::newRow("only what differs") << QByteArray(
        R"("print": {"density": 100, "quality": 40}, "audio": {"all": false})")
                                       << QByteArray("LQ540/LQ540") << QByteArray() << "print.quality=40 | 2101 |  | ";
    QTest::newRow("addresses last")
        << QByteArray(R"("ethernet": {"static_ip": "10.0.0.2"}, "wifi": {"static_netmask": "255.0.0.0", "ssid": "x",
           "password": "p"}, "mobile": {"apn": "a"}, "audio": {"all": true}, "serial": {"parity": 1},
           "print": {"quality": 40}, "fonts": {"files": [{"name": "a.ttf", "size": 1}]})")
        << QByteArray("LQ520/LQ560") << QByteArray()
        << "print.quality=40 serial.parity=1 audio.all=true mobile.apn=\"a\" wifi.ssid=\"x\" "
           "ethernet.static_ip=\"10.0.0.2\" wifi.static_netmask=\"255.0.0.0\" fonts.files.a.ttf=1 | "
           "2101 4101 0301 3101 1101 0101 0201 |  | ";
    QTest::newRow("group the model lacks")
        << QByteArray(R"("wifi": {"static_ip": "10.0.0.2"}, "mobile": {"apn": "a"})") << QByteArray("LQ520/LQ520")
        << QByteArray() << " |  | mobile: the printer has no 4G; wifi: the printer has no Wi-Fi | ";
    QTest::newRow("ssid without password") << QByteArray(R"("wifi": {"ssid": "office"})") << QByteArray("LQ540/LQ540")
                                           << QByteArray() << " |  |  | wifi.ssid: differs";
    QTest::newRow("vars win") << QByteArray(R"("print": {"density": 80})") << QByteArray("LQ540/LQ540")
                              << QByteArray(R"({"print.density": 90})") << "print.density=90 | 2101 |  | ";
    QTest::newRow("positions with receipt paper")
        << QByteArray(R"("print": {"print_position": 300})") << QByteArray("LQ540/LQ540") << QByteArray()
        << " |  | print.print_position: kept only with black-mark paper | ";
}

void TestSettingsFile::plan()
{
    QFETCH(QByteArray, groups);
    QFETCH(QByteArray, printer);
    QFETCH(QByteArray, vars);
    QFETCH(QString, expected);
    SettingsFile file;
    QString error;
    QVERIFY2(SettingsFile::parse(kHead + groups + '}', &file, &error), qPrintable(error));
    QMap<QString, QJsonValue> overrides;
    for (auto [name, value] : QJsonDocument::fromJson(vars).object().toVariantMap().toStdMap())
        overrides.insert(name, QJsonValue::fromVariant(value));
    const Plan plan = makePlan(file, ::printer(printer.split('/').front(), printer.split('/').back()), overrides);
    QStringList changes, records;
    for (const Change& change : plan.changes)
        changes << joined({{change.name, change.after}});
    for (const QByteArray& record : plan.records)
        records << record.left(2).toHex();
    QCOMPARE(QStringList({changes.join(' '), records.join(' '), plan.notes.join("; "), plan.error})
                 .join(" | ")
                 .left(expected.size()),
        expected);
}

void TestSettingsFile::mismatches()
{
    SettingsFile file;
    QVERIFY(SettingsFile::parse(
        kHead + R"("print": {"density": 120, "quality": 40}, "wifi": {"ssid": "x", "password": "p"}})", &file,
        nullptr));
    const PrinterState before = printer("LQ540", "LQ540");
    const Plan plan = makePlan(file, before, {});
    PrinterState after = before;
    after.print->setNumber(PrintSettings::Density, 120);
    QCOMPARE(settings::mismatches(plan, after), QStringList({"print.quality", "wifi.ssid"}));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
