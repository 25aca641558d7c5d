// Writes the seed corpus of the fuzz targets with the project's own record
// and packet builders: tovra-fuzz-seeds DIR makes DIR/<target>/ files.

#include "app/conf.h"
#include "fuzzinput.h"
#include "link/hostcmd.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <iterator>
#include <utility>

namespace {

QString root;

bool writeSeed(const char* target, const char* name, const QByteArray& bytes)
{
    const QString folder = root + QLatin1Char('/') + QLatin1String(target);
    if (!QDir().mkpath(folder))
        return false;
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray deviceIdentity(const char* project, const char* model, const char* sn)
{
    using namespace layout::devinfo;
    RecordWriter w(kSize);
    w.text(kProject, kTextWidth, project).text(kModel, kTextWidth, model).text(kSn, kTextWidth, sn);
    return w.data();
}

QByteArray deviceInfo()
{
    using namespace layout::deviceinfo;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kDeviceInfo).text(kModel, kTextWidth, "LQ560");
    w.text(kSn, kSnWidth, "A1B2C3D4E5F6").text(kHwVersion, kTextWidth, "1.0").text(kFwVersion, kTextWidth, "2.3.4");
    w.text(kAppVersion, kTextWidth, "5.6");
    return w.data();
}

QByteArray networkInfo()
{
    using namespace layout::netinfo;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kNetworkInfo).text(kEthMac, kMacWidth, "00:11:22:33:44:55");
    w.ipv4(kEthDhcpIp, 0xC0A80164).ipv4(kEthDhcpMask, 0xFFFFFF00).ipv4(kEthStaticIp, 0xC0A80165);
    w.ipv4(kEthStaticMask, 0xFFFFFF00).text(kWifiSsid, kSsidWidth, "office");
    w.text(kWifiMac, kMacWidth, "66:77:88:99:aa:bb").ipv4(kWifiDhcpIp, 0x0A000002).ipv4(kWifiDhcpMask, 0xFF000000);
    w.text(kBtMac, kMacWidth, "cc:dd:ee:ff:00:11").text(kBtName, kBtNameWidth, "Printer");
    return w.data();
}

QByteArray printSettings()
{
    using namespace layout::print;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kPrintSettings).u8(kCjk, 1).u8(kUtf8, 1).u8(kDensity, 8);
    w.u8(kQuality, 200).i32(kPaperType, kPaperBlackMark).i32(kPrintPosition, 35).i32(kCutPosition, -20);
    w.u32(kFeedDots, 80).u8(kBlackMarkLocation, 1).u8(kNotTakenFlags, 3);
    return w.data();
}

QByteArray wnet()
{
    using namespace layout::wnet;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kWnet).text(kVersion, kVersionWidth, "EC200U");
    w.text(kImei, kImeiWidth, "861234567890123").text(kMcc, kMccWidth, "460").text(kMnc, kMncWidth, "01");
    w.text(kLocation, kLocationWidth, "121.47,31.23").u16(kRssi, quint16(-71)).u16(kStatus, Connected).u16(kUseApn, 1);
    w.text(kApn, kApnWidth, "cmnet").text(kDial, kDialWidth, "*99#");
    return w.data();
}

QByteArray serial()
{
    using namespace layout::serial;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kSerial).u32(kBaud, 115200).u32(kDataBits, 8).u32(kStopBits, 1);
    w.u32(kParity, 0);
    return w.data();
}

QByteArray audio()
{
    using namespace layout::audio;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, layout::readtype::kAudio).u8(kAll, 1).u8(kCloud, 1).u8(kNotTaken, 3);
    return w.data();
}

QByteArray fontEntry()
{
    using namespace layout::fontentry;
    RecordWriter w(kSize);
    w.u16(layout::kIdOffset, 0x0151).u8(kEnabled, 1).text(kScript, kScriptWidth, "Latin");
    w.text(kLanguage, kLanguageWidth, "en").text(kFontFile, kFontFileWidth, "DejaVuSans.ttf").u16(kThreshold, 128);
    w.u16(kPixelWidth, 24).u16(kPixelHeight, 24).u16(kAdvance, 12).u32(kRanges, 0x20).u32(kRanges + 4, 0x7E);
    return w.data();
}

QByteArray fontListing()
{
    using namespace layout::file;
    RecordWriter w(layout::fontlisting::kMinLength);
    w.u16(layout::kIdOffset, 0x0161).text(kShortPath, kPathWidth, "DejaVuSans.ttf").u32(kShortSize, 757076);
    return w.data();
}

QByteArray uploadReply()
{
    return RecordWriter(layout::file::kLongSize).u16(layout::kIdOffset, 0x0162).data();
}

// fuzz_hostcmd_receive inputs, see fuzzinput.h.
class HostInput final
{
public:
    explicit HostInput(QByteArray splits)
        : bytes_(std::move(splits))
    {
        bytes_.resize(hostcmdfuzz::kSplitBytes);
    }
    HostInput& op(hostcmdfuzz::Op code) { return u8(code); }
    HostInput& u8(quint8 value)
    {
        bytes_.append(char(value));
        return *this;
    }
    HostInput& record(const QByteArray& plain)
    {
        const quint16 encoded = quint16(plain.size() - 1);
        return u8(quint8(encoded)).u8(quint8(encoded >> 8)).raw(plain);
    }
    HostInput& raw(const QByteArray& plain)
    {
        bytes_.append(plain);
        return *this;
    }
    const QByteArray& data() const { return bytes_; }

private:
    QByteArray bytes_;
};

QByteArray conventionalIni()
{
    const QString name = root + QStringLiteral("/conf.ini");
    Conf written;
    written.fileName = name;
    written.Language = 2;
    written.FontSettingsEnabled = 1;
    written.vidPidList = {Conf::vidPid(0x5A7C, 0x0002), Conf::vidPid(0x1FC9, 0x2016)};
    written.save();
    QFile file(name);
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.readAll();
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
    bool ok = true;

    using namespace hostcmdfuzz;
    HostInput first(QByteArray(1, '\0'));
    first.op(HandshakeAnswer).raw(deviceIdentity("LQ560", "LQ560-4G", "A1B2C3D4E5F6"));
    first.op(SessionRecord).record(deviceInfo()).op(CleanSessionRecord).record(serial());
    ok &= writeSeed("fuzz_hostcmd_receive", "handshake-then-records", first.data());
    HostInput second(QByteArray("\x03\x07\x01\x10", 4));
    second.op(Raw).u8(5).raw(QByteArray("\x10\x01\x10\x01\x11", 5)).op(SessionRecord).record(audio());
    second.op(BareHeader).u8(0xFF).op(TruncatedRecord).record(printSettings()).u8(20);
    second.op(SessionRecord).record(networkInfo());
    ok &= writeSeed("fuzz_hostcmd_receive", "split-with-garbage", second.data());
    HostInput third(QByteArray("\x85\x40\x00\x02", 4));
    third.op(HandshakeRecord).record(QByteArray("\x01\x00\x00\x00", 4));
    third.op(HandshakeAnswer).raw(deviceIdentity("LQ230", "LQ230", "0123456789ABCDEF"));
    third.op(CleanSessionRecord).record(fontEntry()).op(BareHeader).u8(32).op(SessionRecord).record(wnet());
    ok &= writeSeed("fuzz_hostcmd_receive", "stepwise-handshake-records", third.data());

    const struct
    {
        const char* name;
        QByteArray record;
    } records[] = {{"device-info", deviceInfo()}, {"network-info", networkInfo()}, {"print-settings", printSettings()},
        {"wnet", wnet()}, {"serial", serial()}, {"audio", audio()}, {"font-entry", fontEntry()},
        {"font-listing", fontListing()}, {"upload-reply", uploadReply()}};
    // Each led by the index of its reader in fuzz_settings.
    const int readers[] = {0, 1, 2, 3, 5, 6, 10, 11, 11};
    for (int i = 0; i < int(std::size(records)); ++i)
        ok &= writeSeed("fuzz_settings", records[i].name, QByteArray(1, char(readers[i])) + records[i].record);
    ok &= writeSeed("fuzz_settings", "ranges", "\x0eU+0020~U+007E;U+3000~U+303F");
    ok &= writeSeed("fuzz_settings", "settings-json",
        "\x0c"
        R"({"print.density":100,"print.cjk":128,"serial.baud":9600,"audio.all":true,"ethernet.static_ip":"192.168.1.5",)"
        R"("wifi.ssid":"caf\u00e9","font.ranges":"U+0020~U+007E;U+3000~U+303F","mobile.apn":"cmnet"})");

    ok &= writeSeed("fuzz_discovery", "reply", deviceIdentity("LQ520", "LQ520", "SN00000001").left(48));
    ok &= writeSeed("fuzz_discovery", "reply-with-reserved", deviceIdentity("LQ230", "LQ230", "0123456789ABCDEF"));

    ok &= writeSeed("fuzz_conf", "saved", conventionalIni());
    ok &= writeSeed("fuzz_conf", "protocol",
        "[Conf]\nFileVersion=1\nLanguage=1\nVID_PID_List=5a7c:0002;5A7C:00D2;bad;12345:1\n\n"
        "[Protocol]\nDefaultKey=00112233445566778899aabbccddeeff\nIV=not-hex\n");
    if (!ok) {
        std::fprintf(stderr, "tovra-fuzz-seeds: could not write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
