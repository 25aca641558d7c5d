// Writes the seed corpus of the fuzz targets with the project's own settings
// values and configuration: tovra-fuzz-seeds DIR makes DIR/<target>/ files.

#include "app/conf.h"
#include "fuzzinput.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <cstdio>

using namespace settings;

namespace {

QString root;
bool ok = true;

void writeSeed(const char* target, const char* name, const QByteArray& bytes)
{
    QFile file(QStringLiteral("%1/%2/%3").arg(root, QLatin1String(target), QLatin1String(name)));
    ok &= QDir(root).mkpath(QLatin1String(target)) && file.open(QIODevice::WriteOnly)
        && file.write(bytes) == bytes.size();
}

// A fuzz_settings seed led by the index of its reader: a value with the
// fields `json` names, as its reply carries it (the record under the reply
// identifier). Fields are set one by one: fromJson refuses read-only ones.
template <class T> QByteArray reply(const char* name, char reader, const char* json)
{
    T value;
    const QJsonObject fields = QJsonDocument::fromJson(json).object();
    ok &= !fields.isEmpty();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const Field* f = T::kSchema().find(it.key());
        const int i = f ? int(f - T::kSchema().fields.data()) : 0;
        ok &= f
            && (it->isString() ? value.setText(i, it->toString()) : value.setNumber(i, it->toVariant().toLongLong()));
    }
    const QByteArray bytes = QByteArray(1, char(T::replyId() & 0xFF)) + char(T::replyId() >> 8) + value.bytes().mid(2);
    ok &= T::fromReply(bytes).has_value();
    writeSeed("fuzz_settings", name, reader + bytes);
    return bytes;
}

QByteArray identity(const char* project, const char* model, const char* sn)
{
    DeviceIdentity value;
    ok &= value.setText(DeviceIdentity::Project, project) && value.setText(DeviceIdentity::Model, model)
        && value.setText(DeviceIdentity::Sn, sn);
    return value.bytes();
}

// An operand of fuzz_hostcmd_receive (see fuzzinput.h): a record after its length less one.
QByteArray record(const QByteArray& plain)
{
    const int encoded = plain.size() - 1;
    return QByteArray(1, char(encoded)) + char(encoded >> 8) + plain;
}

QByteArray conventionalIni()
{
    Conf written;
    written.fileName = root + QStringLiteral("/conf.ini");
    written.Language = 2;
    written.FontSettingsEnabled = 1;
    written.vidPidList = {Conf::vidPid(0x5A7C, 0x0002), Conf::vidPid(0x1FC9, 0x2016)};
    written.save();
    QFile file(written.fileName);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.remove();
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);

    const QByteArray device = reply<DeviceInfo>(
        "device-info", 0, R"({"device.model":"LQ560","device.sn":"A1B2C3D4E5F6","device.fw_version":"2.3.4"})");
    const QByteArray network = reply<NetworkInfo>("network-info", 1,
        R"({"network.ethernet_mac":"00:11:22:33:44:55","network.ethernet_dhcp_ip":"192.168.1.100",
            "network.wifi_ssid":"office","network.wifi_dhcp_netmask":"255.0.0.0","network.bluetooth_name":"Printer"})");
    const QByteArray print = reply<PrintSettings>("print-settings", 2,
        R"({"print.cjk":1,"print.utf8":1,"print.density":100,"print.quality":55,"print.paper_type":113,
            "print.print_position":350,"print.cut_position":-200,"print.cover_feed_dots":80,
            "print.black_mark_location":1,"print.stop_when_not_taken":1,"print.voice_when_not_taken":1})");
    const QByteArray wnet = reply<WnetStatus>("wnet", 3,
        R"({"mobile.version":"EC200U","mobile.imei":"861234567890123","mobile.mcc":"460","mobile.mnc":"01",
            "mobile.rssi":-71,"mobile.status":4,"mobile.use_apn":1,"mobile.apn":"cmnet","mobile.dial":"*99#"})");
    const QByteArray serial = reply<SerialSettings>(
        "serial", 5, R"({"serial.baud":115200,"serial.data_bits":8,"serial.stop_bits":1,"serial.parity":0})");
    const QByteArray audio = reply<AudioSettings>(
        "audio", 6, R"({"audio.all":1,"audio.cloud":1,"audio.not_taken_voice":1,"audio.not_taken_beep":1})");
    const QByteArray font = reply<FontEntry>("font-entry", 10,
        R"({"font.enabled":1,"font.script":"Latin","font.language":"en","font.file":"DejaVuSans.ttf",
            "font.threshold":128,"font.pixel_width":24,"font.advance":12,"font.ranges":"U+0020~U+007E"})");
    reply<InstalledFont>(
        "font-listing", 11, R"({"installed_font.name":"DejaVuSans.ttf","installed_font.size":757076})");
    // An upload reply has no value of its own; it is read as a listing.
    writeSeed("fuzz_settings", "upload-reply", QByteArray::fromHex("0b6201") + QByteArray(150, '\0'));
    writeSeed("fuzz_settings", "ranges", "\x0eU+0020~U+007E;U+3000~U+303F");
    writeSeed("fuzz_settings", "settings-json",
        "\x0c"
        R"({"print.density":100,"print.cjk":128,"serial.baud":9600,"audio.all":true,"ethernet.static_ip":"192.168.1.5",)"
        R"("wifi.ssid":"caf\u00e9","font.ranges":"U+0020~U+007E;U+3000~U+303F","mobile.apn":"cmnet"})");

    // Split bytes, then operations with their operands.
    using namespace hostcmdfuzz;
    const auto op = [](Op code) { return QByteArray(1, char(code)); };
    writeSeed("fuzz_hostcmd_receive", "handshake-then-records",
        QByteArray(kSplitBytes, '\0') + op(HandshakeAnswer) + identity("LQ560", "LQ560-4G", "A1B2C3D4E5F6")
            + op(SessionRecord) + record(device) + op(CleanSessionRecord) + record(serial));
    writeSeed("fuzz_hostcmd_receive", "split-with-garbage",
        QByteArray("\x03\x07\x01\x10", 4) + op(Raw) + "\x05\x10\x01\x10\x01\x11" + op(SessionRecord) + record(audio)
            + op(BareHeader) + "\xff" + op(TruncatedRecord) + record(print) + "\x14" + op(SessionRecord)
            + record(network));
    writeSeed("fuzz_hostcmd_receive", "stepwise-handshake-records",
        QByteArray("\x85\x40\x00\x02", 4) + op(HandshakeRecord) + record(QByteArray("\x01\x00\x00\x00", 4))
            + op(HandshakeAnswer) + identity("LQ230", "LQ230", "0123456789ABCDE") + op(CleanSessionRecord)
            + record(font) + op(BareHeader) + " " + op(SessionRecord) + record(wnet));

    writeSeed("fuzz_settings", "identity-reply", "\x0d" + identity("LQ520", "LQ520", "SN00000001").left(48));
    writeSeed("fuzz_settings", "identity-reply-with-reserved", "\x0d" + identity("LQ230", "LQ230", "0123456789ABCDE"));
    writeSeed("fuzz_conf", "saved", conventionalIni());
    writeSeed("fuzz_conf", "protocol",
        "[Conf]\nFileVersion=1\nLanguage=1\nVID_PID_List=5a7c:0002;5A7C:00D2;bad;12345:1\n\n"
        "[Protocol]\nDefaultKey=00112233445566778899aabbccddeeff\nIV=not-hex\n");
    if (!ok) {
        std::fprintf(stderr, "tovra-fuzz-seeds: a seed could not be made or written into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
