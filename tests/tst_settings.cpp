// The settings model against known answers written out by hand: every
// record's bytes are given as "offset:hex" pieces over zeros, the offsets
// from the record layouts and the hex made with Python (str.encode().hex()
// for texts, struct.pack('<I'/'<i'/'<h', n).hex() for numbers), so that an
// offset wrong in the model cannot pass because the program and the
// simulator share it. Settings files, fleet variables and plans, their
// records known by identifier (command code, version 1).

#include "settings/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace settings;

namespace {

// "0:0300 6:73" over `size` zero bytes.
QByteArray sparse(int size, const char* pieces)
{
    QByteArray bytes(size, '\0');
    for (const QByteArray& piece : QByteArray(pieces).split(' ')) {
        const int colon = piece.indexOf(':');
        const QByteArray value = QByteArray::fromHex(piece.mid(colon + 1));
        bytes.replace(piece.left(colon).toInt(), value.size(), value);
    }
    return bytes;
}

struct Type
{
    std::function<std::shared_ptr<Record>(const QByteArray&)> fromReply;
    std::function<std::shared_ptr<Record>(const QByteArray&)> fromCommand;
    std::function<std::shared_ptr<Record>()> make;
};

template <class T> Type type()
{
    const auto wrap = [](std::optional<T> value) { return value ? std::make_shared<T>(*value) : nullptr; };
    return {[wrap](const QByteArray& reply) { return wrap(T::fromReply(reply)); },
        [wrap](const QByteArray& record) { return wrap(T::fromCommand(record)); },
        [] { return std::make_shared<T>(); }};
}

const std::map<QString, Type>& types()
{
    static const std::map<QString, Type> all
        = {{"DeviceInfo", type<DeviceInfo>()}, {"NetworkInfo", type<NetworkInfo>()},
            {"PrintSettings", type<PrintSettings>()}, {"WnetStatus", type<WnetStatus>()},
            {"ApnSettings", type<ApnSettings>()}, {"SerialSettings", type<SerialSettings>()},
            {"AudioSettings", type<AudioSettings>()}, {"EthernetAddress", type<EthernetAddress>()},
            {"WifiAddress", type<WifiAddress>()}, {"WifiCredentials", type<WifiCredentials>()},
            {"FontEntry", type<FontEntry>()}, {"InstalledFont", type<InstalledFont>()}};
    return all;
}

const QByteArray kNetworkInfo = sparse(248,
    "0:0200 2:30303a31313a32323a61613a62623a6363 20:c0a80164 24:ffffff00 28:c0a80165 32:ffff0000 36:636166c3a9 "
    "164:36363a37373a38383a39393a41413a4242 182:0a000002 186:ff000000 190:c0a8020a 194:ffffff00 "
    "216:5072696e746572");
const QByteArray kWnet = sparse(344,
    "0:0400 2:4543323030 66:383631323334353637383930313233 122:343630 126:3031 194:3131362e34302c33392e3930 "
    "258:e7ff 260:0400 262:0100 264:636d6e6574 328:2a393923");
const QByteArray kPrint = sparse(46,
    "0:0300 3:0b 4:10 6:73 7:b9 8:71000000 20:2c010000 24:38ffffff 40:a0000000 44:02 "
    "45:03");
const QByteArray kFontEntry = sparse(438,
    "0:5101 2:01 3:05 4:06 5:07 6:4c61746e 38:656e 42:4e6f746f53616e732e747466 106:03000000 110:8000 112:1800 "
    "114:1800 116:0c00 118:200000007e000000 126:003000003f300000");

// "U+0001~U+0001;...;U+0028~U+0028": every slot of a font entry.
QByteArray fortyRanges()
{
    QStringList ranges;
    for (int i = 1; i <= 40; ++i)
        ranges << QStringLiteral("U+%1~U+%1").arg(i, 4, 16, QLatin1Char('0'));
    return ranges.join(';').toUpper().toLatin1();
}

const QByteArray kHead = "{\"format\": \"tovra-printer-settings\",\n\"version\": 1,\n";

// "PROJECT/MODEL" on receipt paper, with no SSID and no fonts; replies from the record layouts.
PrinterState printer(const QByteArray& name)
{
    const QByteArrayList names = (name + "/SN1").split('/');
    return {DeviceIdentity::fromBytes(
                names[0].leftJustified(16, 0) + names[1].leftJustified(16, 0) + names[2].leftJustified(16, 0)),
        std::nullopt, NetworkInfo::fromReply(sparse(248, "0:0200")),
        PrintSettings::fromReply(sparse(46, "0:0300 6:64 8:30 44:01")), WnetStatus::fromReply(sparse(344, "0:0400")),
        SerialSettings::fromReply(sparse(18, "0:0500 2:8025 6:08 10:01")), AudioSettings(), std::vector<FontEntry>(),
        std::vector<InstalledFont>()};
}

QString joined(const QMap<QString, QJsonValue>& values)
{
    QStringList pairs;
    for (auto it = values.begin(); it != values.end(); ++it)
        pairs << it.key() + '=' + QJsonDocument(QJsonArray {*it}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return pairs.join(' ');
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownAnswers_data();
    void knownAnswers();
    void unknownBytesKept();
    void printSaveRules();
    void rangeEdges();
    void jsonRoundTrip_data();
    void jsonRoundTrip();
    void badValuesNameTheField_data();
    void badValuesNameTheField();
    void features();
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void plan_data();
    void plan();
};

void TestSettings::knownAnswers_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("fields");
    const auto row = [](const char* name, const char* type, const QByteArray& reply, const QByteArray& record,
                         const char* fields) { QTest::newRow(name) << type << reply << record << QByteArray(fields); };
    // clang-format off
    // A serial number that fills its 24-byte field is read up to the field's end, not into the next.
    row("device information", "DeviceInfo", sparse(186, "0:0100 18:4c51353630 "
        "34:534e303132333435363738394142434445464748494a4b4c 58:485731 90:322e332e34 170:5439"), {},
        R"({"device.model":"LQ560","device.sn":"SN0123456789ABCDEFGHIJKL","device.hw_version":"HW1",
            "device.fw_version":"2.3.4","device.tts_version":"T9","device.app_version":""})");
    row("network information", "NetworkInfo", kNetworkInfo, {},
        R"({"network.ethernet_mac":"00:11:22:aa:bb:cc","network.ethernet_dhcp_ip":"192.168.1.100",
            "network.ethernet_static_netmask":"255.255.0.0","network.wifi_ssid":"café","network.wifi_dhcp_ip":"10.0.0.2",
            "network.wifi_dhcp_netmask":"255.0.0.0","network.bluetooth_name":"Printer"})");
    row("ethernet address", "EthernetAddress", kNetworkInfo, sparse(10, "0:0101 2:c0a80165 6:ffff0000"),
        R"({"ethernet.static_ip":"192.168.1.101","ethernet.static_netmask":"255.255.0.0"})");
    row("wi-fi address", "WifiAddress", kNetworkInfo, sparse(10, "0:0201 2:c0a8020a 6:ffffff00"),
        R"({"wifi.static_ip":"192.168.2.10","wifi.static_netmask":"255.255.255.0"})");
    row("print", "PrintSettings", kPrint,
        sparse(46, "0:2101 3:0b 4:10 6:73 7:b9 8:71000000 20:2c010000 24:38ffffff 40:a0000000 44:02 45:03"),
        R"({"print.cjk":11,"print.code_page":16,"print.utf8":0,"print.density":115,"print.quality":70,
            "print.paper_type":113,"print.print_position":300,"print.cut_position":-200,"print.cover_feed_dots":160,
            "print.black_mark_location":2,"print.stop_when_not_taken":true,"print.voice_when_not_taken":true})");
    row("mobile status", "WnetStatus", kWnet, {},
        R"({"mobile.version":"EC200","mobile.imei":"861234567890123","mobile.mcc":"460","mobile.mnc":"01",
            "mobile.location":"116.40,39.90","mobile.rssi":-25,"mobile.status":4,"mobile.use_apn":true,
            "mobile.apn":"cmnet","mobile.dial":"*99#"})");
    // 0x00FF: no signal figure, and the APN switch off.
    row("mobile status, none", "WnetStatus", sparse(344, "0:0400 258:ff00 262:ff00"), {},
        R"({"mobile.rssi":255,"mobile.use_apn":false})");
    row("apn", "ApnSettings", kWnet, sparse(84, "0:3101 2:0100 4:636d6e6574 68:2a393923"),
        R"({"mobile.use_apn":true,"mobile.apn":"cmnet","mobile.dial":"*99#"})");
    row("serial", "SerialSettings", sparse(18, "0:0500 2:00c20100 6:08000000 10:01000000 14:02000000"),
        sparse(18, "0:4101 2:00c20100 6:08000000 10:01000000 14:02000000"),
        R"({"serial.baud":115200,"serial.data_bits":8,"serial.stop_bits":1,"serial.parity":2})");
    row("audio", "AudioSettings", sparse(7, "0:0600 2:01 4:01 6:02"), sparse(7, "0:0301 2:01 4:01 6:02"),
        R"({"audio.all":true,"audio.cloud":false,"audio.warning":true,"audio.notice":false,
            "audio.not_taken_voice":true,"audio.not_taken_beep":false})");
    row("font entry", "FontEntry", kFontEntry, QByteArray(kFontEntry).replace(0, 2, "\x53\x01"),
        R"({"font.enabled":1,"font.ct":5,"font.px":6,"font.ad":7,"font.script":"Latn","font.language":"en",
            "font.file":"NotoSans.ttf","font.face_index":3,"font.threshold":128,"font.pixel_width":24,
            "font.pixel_height":24,"font.advance":12,"font.ranges":"U+0020~U+007E;U+3000~U+303F"})");
    row("installed font", "InstalledFont", sparse(134, "0:6101 2:612e747466 130:2c010000"), {},
        R"({"installed_font.name":"a.ttf","installed_font.size":300})");
    row("wi-fi credentials", "WifiCredentials", {}, sparse(258, "0:1101 2:636166c3a9 130:7077"),
        R"({"wifi.ssid":"café","wifi.password":"pw"})");
    // clang-format on
}

void TestSettings::knownAnswers()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, fields);
    const Type& kind = types().at(type);
    const QJsonObject expected = QJsonDocument::fromJson(fields).object();
    QVERIFY(!expected.isEmpty());

    // Reply to value: the named fields, and the command record as built.
    // Every reply here is as short as its type allows: each prefix of it is
    // refused, and so is another identifier.
    if (!reply.isEmpty()) {
        for (int length = 0; length < reply.size(); ++length)
            QVERIFY2(!kind.fromReply(reply.left(length)), qPrintable(QString::number(length)));
        QVERIFY(!kind.fromReply(QByteArray(reply).replace(0, 1, "\x7f")));
        const auto read = kind.fromReply(reply);
        QVERIFY(read);
        const QJsonObject all = read->toJson();
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(all.value(it.key()), it.value());
        if (!record.isEmpty())
            QCOMPARE(read->bytes().toHex(), record.toHex());
    }
    // Value to command record: the fields alone build it.
    if (!record.isEmpty() && !kind.make()->schema().readOnly()) {
        auto built = kind.make();
        QString error;
        QVERIFY2(built->fromJson(expected, &error), qPrintable(error));
        QCOMPARE(built->bytes().toHex(), record.toHex());
        const auto parsed = kind.fromCommand(record + "tail");
        QVERIFY(parsed && !kind.fromCommand(record.left(record.size() - 1)));
        QCOMPARE(parsed->bytes().toHex(), record.toHex());
    }
}

void TestSettings::unknownBytesKept()
{
    // Reserved print bytes 28..39 and the other flag bits, the audio bytes'
    // upper bits: kept through a read and a field change.
    auto print = PrintSettings::fromReply(sparse(46, "0:0300 2:11 28:a1a2a3a4a5a6a7a8a9aaabac 45:f0 7:00"));
    QVERIFY(print);
    QVERIFY(print->setNumber(PrintSettings::Density, 70));
    QVERIFY(print->setFlag(PrintSettings::VoiceWhenNotTaken, true));
    QCOMPARE(print->bytes().toHex(), sparse(46, "0:2101 2:11 6:46 28:a1a2a3a4a5a6a7a8a9aaabac 45:f2").toHex());
    QCOMPARE(print->number(PrintSettings::Quality), 255);

    auto audio = AudioSettings::fromReply(sparse(7, "0:0600 2:fe 6:fc"));
    QVERIFY(audio);
    QVERIFY(!audio->flag(AudioSettings::All));
    QVERIFY(audio->setFlag(AudioSettings::All, true));
    QVERIFY(audio->setFlag(AudioSettings::NotTakenBeep, true));
    QCOMPARE(audio->bytes().toHex(), sparse(7, "0:0301 2:ff 6:fd").toHex());
}

void TestSettings::printSaveRules()
{
    // Receipt paper: positions and black-mark constants 0; reserved bytes and
    // the unused flag bits 0 whatever the printer held.
    auto receipt = PrintSettings::fromReply(
        sparse(46, "0:0300 2:ee 8:30000000 12:d0070000 16:64000000 20:2c010000 24:38ffffff 28:ffff 44:01 45:ff"));
    QVERIFY(receipt);
    QCOMPARE(receipt->forSending().bytes().toHex(), sparse(46, "0:2101 8:30000000 44:01 45:03").toHex());
    QCOMPARE(receipt->withoutReserved().bytes().mid(2, 1).toHex(), QByteArray("00"));
    QCOMPARE(receipt->withoutReserved().bytes().mid(3), receipt->bytes().mid(3));

    PrintSettings blackMark;
    QVERIFY(blackMark.setNumber(PrintSettings::PaperType, PrintSettings::kPaperBlackMark));
    QVERIFY(blackMark.setNumber(PrintSettings::CutPosition, -1000));
    QCOMPARE(blackMark.forSending().bytes().toHex(),
        sparse(46, "0:2101 8:71000000 12:d0070000 16:64000000 24:18fcffff").toHex());
}

void TestSettings::rangeEdges()
{
    // Every number field of every writable record: the range's ends or each
    // choice go in and come out alike; one past either end, or a value that
    // is no choice, is refused and leaves the value as it was. (Texts cut to
    // their field between UTF-8 characters: tst_fileupload's font file cell.)
    for (const auto& [name, kind] : types()) {
        auto value = kind.make();
        if (value->schema().readOnly())
            continue;
        for (int i = 0; i < int(value->schema().fields.size()); ++i) {
            const Field& field = value->field(i);
            if (!field.isNumber())
                continue;
            std::vector<qint64> good, bad;
            if (field.choices.empty()) {
                good = {field.min, field.max};
                bad = {field.min - 1, field.max + 1};
            } else {
                for (const Choice& choice : field.choices)
                    good.push_back(choice.value);
                bad = {field.choices.back().value + 1, -1};
            }
            for (qint64 n : good) {
                QVERIFY2(value->setNumber(i, n), field.name);
                QCOMPARE(value->number(i), n);
            }
            const QByteArray before = value->bytes();
            for (qint64 n : bad)
                QVERIFY2(!value->setNumber(i, n), qPrintable(QStringLiteral("%1 %2").arg(field.name).arg(n)));
            QCOMPARE(value->bytes(), before);
        }
    }
}

void TestSettings::jsonRoundTrip_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("change");
    // clang-format off
    QTest::newRow("print") << "PrintSettings" << kPrint << QByteArray(R"({"print.quality":0,"print.cjk":128})");
    QTest::newRow("apn") << "ApnSettings" << kWnet << QByteArray(R"({"mobile.use_apn":false})");
    QTest::newRow("ethernet") << "EthernetAddress" << kNetworkInfo << QByteArray(R"({"ethernet.static_ip":"10.1.2.3"})");
    QTest::newRow("font entry") << "FontEntry" << kFontEntry << QByteArray(R"({"font.ranges":"U+0041~U+005A"})");
    QTest::newRow("font entry, no ranges") << "FontEntry" << kFontEntry << QByteArray(R"({"font.ranges":""})");
    QTest::newRow("font entry, every slot") << "FontEntry" << kFontEntry << R"({"font.ranges":")" + fortyRanges() + R"("})";
    QTest::newRow("serial") << "SerialSettings" << sparse(18, "0:0500 2:80250000 6:07000000 10:02000000")
                            << QByteArray(R"({"serial.baud":2000000,"serial.parity":1})");
    QTest::newRow("audio") << "AudioSettings" << sparse(7, "0:0600 3:01 5:01 6:01") << QByteArray(R"({"audio.not_taken_voice":true})");
    // clang-format on
}

void TestSettings::jsonRoundTrip()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, change);
    // Every name of a read value goes into a fresh one, which then equals it
    // field by field; a change shows as exactly the fields it names.
    const auto read = types().at(type).fromReply(reply);
    QVERIFY(read);
    auto copy = types().at(type).make();
    QString error;
    QVERIFY2(copy->fromJson(read->toJson(), &error), qPrintable(error));
    QCOMPARE(copy->differences(*read), QStringList());
    const QJsonObject changes = QJsonDocument::fromJson(change).object();
    QVERIFY2(copy->fromJson(changes, &error), qPrintable(error));
    QCOMPARE(copy->differences(*read), changes.keys());
    // A value outside the range that the field already holds (positions are
    // 0 with receipt paper) is no change and loads again.
    auto fresh = types().at(type).make();
    QVERIFY2(fresh->fromJson(types().at(type).make()->toJson(), &error), qPrintable(error));
}

void TestSettings::badValuesNameTheField_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<QString>("error");
    const QByteArray longSsid = QByteArray(64, 'x') + QByteArray(32, '\0').replace('\0', "\xc3\xa9");
    // clang-format off
    QTest::newRow("not a choice") << "SerialSettings" << QByteArray(R"({"serial.parity":1,"serial.baud":1234})") << "serial.baud: 1234 is not one of 2400";
    QTest::newRow("above range") << "PrintSettings" << QByteArray(R"({"print.density":131})") << "print.density: 131 is not 70..130";
    // 0 is what a fresh value holds, so it would be accepted as no change.
    QTest::newRow("below range") << "PrintSettings" << QByteArray(R"({"print.print_position":99})") << "print.print_position: 99 is not 100..1000";
    QTest::newRow("fraction") << "PrintSettings" << QByteArray(R"({"print.quality":10.5})") << "print.quality: a whole";
    QTest::newRow("beyond any integer") << "PrintSettings" << QByteArray(R"({"print.quality":1e300})") << "print.quality: a whole";
    QTest::newRow("text for number") << "PrintSettings" << QByteArray(R"({"print.utf8":"yes"})") << "print.utf8: a whole";
    QTest::newRow("number for flag") << "AudioSettings" << QByteArray(R"({"audio.all":1})") << "audio.all: true or false";
    QTest::newRow("unknown name") << "AudioSettings" << QByteArray(R"({"audio.al":true})") << "audio.al: unknown";
    QTest::newRow("other record's name") << "EthernetAddress" << QByteArray(R"({"wifi.static_ip":"1.2.3.4"})") << "wifi.static_ip: unknown";
    QTest::newRow("bad address") << "EthernetAddress" << QByteArray(R"({"ethernet.static_ip":"192.168.1.256"})") << "ethernet.static_ip: not an IPv4";
    QTest::newRow("ipv6") << "WifiAddress" << QByteArray(R"({"wifi.static_netmask":"::1"})") << "wifi.static_netmask: not an IPv4";
    QTest::newRow("text too long") << "ApnSettings" << QByteArray(R"({"mobile.dial":"0123456789abcdef"})") << "mobile.dial: longer than 15 bytes";
    QTest::newRow("utf-8 too long") << "WifiCredentials" << R"({"wifi.ssid":")" + longSsid + R"("})" << "wifi.ssid: longer than 127 bytes";
    QTest::newRow("ranges") << "FontEntry" << QByteArray(R"({"font.ranges":"U+0020~U+0010"})") << "font.ranges: not a list of ranges";
    QTest::newRow("more ranges than slots") << "FontEntry" << R"({"font.ranges":")" + fortyRanges() + R"(;U+50~U+50"})" << "font.ranges: not a list of ranges";
    QTest::newRow("read only") << "DeviceInfo" << QByteArray(R"({"device.sn":"X"})") << "device.sn: read only";
    // clang-format on
}

void TestSettings::badValuesNameTheField()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, map);
    QFETCH(QString, error);
    auto value = types().at(type).make();
    const QByteArray before = value->bytes();
    QString message;
    QVERIFY(!value->fromJson(QJsonDocument::fromJson(map).object(), &message));
    QVERIFY2(message.startsWith(error), qPrintable(message));
    // All or nothing: a good field before the bad one is not applied either.
    QCOMPARE(value->bytes(), before);
}

void TestSettings::features()
{
    // Project, model, then ethernet, wifi, mobile, bluetooth and compact as 0 or 1.
    const char* const table[][3] = {{"LQ230", "LQ230", "01011"}, {"lq230", "lq230", "00000"},
        {"LQ520", "LQ520", "10000"}, {"LQ540", "LQ540", "01010"}, {"LQ540", "LQ540-X", "01000"},
        {"LQ560", "LQ560", "01110"}, {"LQ560", "LQ560-4G", "01100"}, {"LQ580", "LQ580", "00100"}};
    for (const auto& [project, model, expected] : table) {
        const Features has = settings::features(project, model);
        QByteArray got;
        for (bool feature : {has.ethernet, has.wifi, has.mobile, has.bluetooth, has.compact})
            got += feature ? '1' : '0';
        QCOMPARE(got, QByteArray(expected));
    }
}

void TestSettings::parse_data()
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

void TestSettings::parse()
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

void TestSettings::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("without a password") << QString();
    QTest::newRow("with a password") << "secret";
}

void TestSettings::roundTrip()
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

void TestSettings::plan_data()
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

void TestSettings::plan()
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

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
