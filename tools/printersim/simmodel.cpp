#include "tools/printersim/simmodel.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCryptographicHash>
#include <QStringList>

#include <initializer_list>
#include <utility>

namespace {

constexpr quint32 ipv4(quint8 a, quint8 b, quint8 c, quint8 d)
{
    return (quint32(a) << 24) | (quint32(b) << 16) | (quint32(c) << 8) | d;
}

bool startsWithAny(const QByteArray& text, std::initializer_list<const char*> prefixes)
{
    for (const char* prefix : prefixes) {
        if (text.startsWith(prefix))
            return true;
    }
    return false;
}

// Stable per serial number, so two simulators with different serials differ
// and one simulator keeps its addresses across restarts. 00:1a:2b is the
// prefix the maker's boards carry; the last byte tells the interfaces apart.
QString macAddress(const QByteArray& sn, quint8 interfaceIndex)
{
    const QByteArray digest = QCryptographicHash::hash(sn, QCryptographicHash::Md5);
    const quint8 bytes[6]
        = {0x00, 0x1a, 0x2b, quint8(digest[0]), quint8(digest[1]), quint8((quint8(digest[2]) & 0xFC) | interfaceIndex)};
    QStringList parts;
    for (quint8 byte : bytes)
        parts.append(QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')));
    return parts.join(QLatin1Char(':'));
}

QByteArray latin1(const QString& text)
{
    return text.toLatin1();
}

} // namespace

SimModel::SimModel(SimIdentity identity, SimState state)
    : identity_(std::move(identity))
    , state_(std::move(state))
{
}

bool SimModel::hasMobile(const SimIdentity& identity)
{
    return startsWithAny(identity.model, {"LQ560", "LQ580"});
}

SimState SimModel::defaultState(const SimIdentity& identity, quint32 ownAddress)
{
    const QByteArray& project = identity.project;
    const QByteArray& model = identity.model;
    // The same feature rules the setup utility applies to the model names.
    const bool wifi = project == "LQ230" || startsWithAny(model, {"LQ540", "LQ560"});
    const bool mobile = hasMobile(identity);
    const bool ethernet = project == "LQ520" || model.startsWith("LQ520") || (!wifi && !mobile);

    SimState state;
    state.versions
        = {QStringLiteral("HW-1.2"), QStringLiteral("1.0.3"), QStringLiteral("2.4.17"), QStringLiteral("3.8.2"),
            QStringLiteral("1.1.0"), QStringLiteral("0.9.5"), QStringLiteral("20231108"), QStringLiteral("1.3.0")};

    if (ethernet) {
        state.ethernet.mac = macAddress(identity.sn, 0);
        state.ethernet.dhcpAddress = ownAddress;
        state.ethernet.dhcpNetmask = ipv4(255, 255, 255, 0);
    }
    if (wifi) {
        state.wifi.ssid = QStringLiteral("Tovra-Office");
        state.wifi.password = QStringLiteral("receipt-2024");
        state.wifi.mac = macAddress(identity.sn, 1);
        state.wifi.dhcpAddress = ownAddress;
        state.wifi.dhcpNetmask = ipv4(255, 255, 255, 0);
        state.wifi.staticNetmask = ipv4(255, 255, 255, 0);
        state.bluetooth.mac = macAddress(identity.sn, 2);
        state.bluetooth.name = QString::fromLatin1(model.left(5) + '-' + identity.sn.right(4));
    }
    if (mobile) {
        state.mobile.moduleVersion = QStringLiteral("LTE-CAT1 V1.2.8 (2023-09-14)");
        state.mobile.imei = QStringLiteral("866123045678903");
        state.mobile.iccid = QStringLiteral("89860012345678901234");
        state.mobile.imsi = QStringLiteral("460001234567890");
        state.mobile.mcc = QStringLiteral("460");
        state.mobile.mnc = QStringLiteral("00");
        state.mobile.isp = QStringLiteral("China Mobile");
        state.mobile.location = QStringLiteral("116.397128,39.916527");
        state.mobile.rssi = -75;
        state.mobile.status = layout::wnet::Connected;
        state.mobile.useApn = 1;
        state.mobile.apn = QStringLiteral("cmnet");
        state.mobile.dial = QStringLiteral("*99#");
    } else {
        state.mobile.rssi = qint16(layout::wnet::kRssiNone);
        state.mobile.status = layout::wnet::Disabled;
    }

    state.print.density = 100;
    state.print.quality = 50;
    // 20 mm at 8 dots per millimetre.
    state.print.feedDots = 160;
    state.fontTable = simfonttable::defaults();
    return state;
}

int SimModel::settingsLength(quint16 id)
{
    using namespace layout;
    switch (id) {
    case recordId(code::kPrintSettings):
        return print::kSize;
    case recordId(code::kSerial):
        return serial::kSize;
    case recordId(code::kAudio):
        return audio::kSize;
    case recordId(code::kEthernetAddress):
    case recordId(code::kWifiAddress):
        return address::kSize;
    case recordId(code::kWnetApn):
        return apn::kSize;
    case recordId(code::kWifiCredentials):
        return wificred::kSize;
    default:
        return 0;
    }
}

QByteArray SimModel::devInfo() const
{
    using namespace layout::devinfo;
    // Full 16-byte fields, unterminated when the text fills them.
    return RecordWriter(kSize)
        .bytes(kProject, identity_.project.left(kTextWidth))
        .bytes(kModel, identity_.model.left(kTextWidth))
        .bytes(kSn, identity_.sn.left(kTextWidth))
        .data();
}

QByteArray SimModel::reply(quint16 type) const
{
    using namespace layout::readtype;
    switch (type) {
    case kDeviceInfo:
        return deviceInfoReply();
    case kNetworkInfo:
        return networkInfoReply();
    case kPrintSettings:
        return printSettingsReply();
    case kWnet:
        return mobileReply();
    case kSerial:
        return serialReply();
    case kAudio:
        return audioReply();
    default:
        return QByteArray();
    }
}

QByteArray SimModel::deviceInfoReply() const
{
    using namespace layout::deviceinfo;
    const SimState::Versions& v = state_.versions;
    // Bytes 2..17 are not read by the host; the project name is handy there.
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kDeviceInfo)
        .field(2, kTextWidth, identity_.project)
        .field(kModel, kTextWidth, identity_.model)
        .field(kSn, kSnWidth, identity_.sn)
        .field(kHwVersion, kTextWidth, latin1(v.hardware))
        .field(kBootloaderVersion, kTextWidth, latin1(v.bootloader))
        .field(kFwVersion, kTextWidth, latin1(v.firmware))
        .field(kAppVersion, kTextWidth, latin1(v.app))
        .field(kPartnerAppVersion, kTextWidth, latin1(v.partnerApp))
        .field(kMiniAppVersion, kTextWidth, latin1(v.miniApp))
        .field(kFontVersion, kTextWidth, latin1(v.font))
        .field(kTtsVersion, kTextWidth, latin1(v.tts))
        .data();
}

QByteArray SimModel::networkInfoReply() const
{
    using namespace layout::netinfo;
    const SimState::Ethernet& e = state_.ethernet;
    const SimState::Wifi& w = state_.wifi;
    const SimState::Bluetooth& b = state_.bluetooth;
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kNetworkInfo)
        .field(kEthMac, kMacWidth, latin1(e.mac))
        .ipv4(kEthDhcpIp, e.dhcpAddress)
        .ipv4(kEthDhcpMask, e.dhcpNetmask)
        .ipv4(kEthStaticIp, e.staticAddress)
        .ipv4(kEthStaticMask, e.staticNetmask)
        .field(kWifiSsid, kSsidWidth, utf8Prefix(w.ssid, kSsidWidth))
        .field(kWifiMac, kMacWidth, latin1(w.mac))
        .ipv4(kWifiDhcpIp, w.dhcpAddress)
        .ipv4(kWifiDhcpMask, w.dhcpNetmask)
        .ipv4(kWifiStaticIp, w.staticAddress)
        .ipv4(kWifiStaticMask, w.staticNetmask)
        .field(kBtMac, kMacWidth, latin1(b.mac))
        .field(kBtName, kBtNameWidth, utf8Prefix(b.name, kBtNameWidth))
        .data();
}

QByteArray SimModel::printSettingsReply() const
{
    using namespace layout::print;
    const SimState::Print& p = state_.print;
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kPrintSettings)
        .u8(kCjk, p.cjk)
        .u8(kCodePage, p.codePage)
        .u8(kUtf8, p.utf8)
        .u8(kDensity, p.density)
        .u8(kQuality, quint8(~p.quality))
        .i32(kPaperType, p.paperType)
        .u32(kBlackMarkA, p.blackMarkA)
        .u32(kBlackMarkB, p.blackMarkB)
        .i32(kPrintPosition, p.printPosition)
        .i32(kCutPosition, p.cutPosition)
        .u32(kFeedDots, p.feedDots)
        .u8(kBlackMarkLocation, p.blackMarkLocation)
        .u8(kNotTakenFlags, p.notTakenFlags)
        .data();
}

QByteArray SimModel::mobileReply() const
{
    using namespace layout::wnet;
    const SimState::Mobile& m = state_.mobile;
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kWnet)
        .field(kVersion, kVersionWidth, latin1(m.moduleVersion))
        .field(kImei, kImeiWidth, latin1(m.imei))
        .field(kIccid, kIccidWidth, latin1(m.iccid))
        .field(kImsi, kImsiWidth, latin1(m.imsi))
        .field(kMcc, kMccWidth, latin1(m.mcc))
        .field(kMnc, kMncWidth, latin1(m.mnc))
        .field(kIsp, kIspWidth, latin1(m.isp))
        .field(kLocation, kLocationWidth, latin1(m.location))
        .u16(kRssi, quint16(m.rssi))
        .u16(kStatus, m.status)
        .u16(kUseApn, m.useApn)
        .field(kApn, kApnWidth, latin1(m.apn))
        .field(kDial, kDialWidth, latin1(m.dial))
        .data();
}

QByteArray SimModel::serialReply() const
{
    using namespace layout::serial;
    const SimState::Serial& s = state_.serial;
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kSerial)
        .u32(kBaud, s.baud)
        .u32(kDataBits, s.dataBits)
        .u32(kStopBits, s.stopBits)
        .u32(kParity, s.parity)
        .data();
}

QByteArray SimModel::audioReply() const
{
    using namespace layout::audio;
    const SimState::Audio& a = state_.audio;
    return RecordWriter(kSize)
        .u16(layout::kIdOffset, layout::readtype::kAudio)
        .u8(kAll, a.all)
        .u8(kCloud, a.cloud)
        .u8(kWarning, a.warning)
        .u8(kNotice, a.notice)
        .u8(kNotTaken, a.notTaken)
        .data();
}

QList<QByteArray> SimModel::fontTableReplies() const
{
    QList<QByteArray> replies;
    for (const SimFontEntry& entry : state_.fontTable)
        replies.append(simfonttable::build(entry, layout::code::kFontTableRead));
    return replies;
}

ApplyResult SimModel::apply(const QByteArray& record)
{
    using namespace layout;
    const RecordReader r(record);
    const quint16 id = r.u16(kIdOffset);
    const int expected = settingsLength(id);
    if (record.size() < 2 || expected == 0)
        return ApplyResult::NotSettings;
    if (r.size() != expected)
        return ApplyResult::WrongLength;

    switch (id) {
    case recordId(code::kPrintSettings): {
        SimState::Print& p = state_.print;
        p.cjk = r.u8(print::kCjk);
        p.codePage = r.u8(print::kCodePage);
        p.utf8 = r.u8(print::kUtf8);
        p.density = r.u8(print::kDensity);
        p.quality = quint8(~r.u8(print::kQuality));
        p.paperType = r.i32(print::kPaperType);
        p.blackMarkA = r.u32(print::kBlackMarkA);
        p.blackMarkB = r.u32(print::kBlackMarkB);
        p.printPosition = r.i32(print::kPrintPosition);
        p.cutPosition = r.i32(print::kCutPosition);
        p.feedDots = r.u32(print::kFeedDots);
        p.blackMarkLocation = r.u8(print::kBlackMarkLocation);
        p.notTakenFlags = r.u8(print::kNotTakenFlags);
        break;
    }
    case recordId(code::kSerial):
        state_.serial
            = {r.u32(serial::kBaud), r.u32(serial::kDataBits), r.u32(serial::kStopBits), r.u32(serial::kParity)};
        break;
    case recordId(code::kAudio):
        state_.audio = {r.u8(audio::kAll), r.u8(audio::kCloud), r.u8(audio::kWarning), r.u8(audio::kNotice),
            r.u8(audio::kNotTaken)};
        break;
    case recordId(code::kEthernetAddress):
        state_.ethernet.staticAddress = r.ipv4(address::kIp);
        state_.ethernet.staticNetmask = r.ipv4(address::kMask);
        break;
    case recordId(code::kWifiAddress):
        state_.wifi.staticAddress = r.ipv4(address::kIp);
        state_.wifi.staticNetmask = r.ipv4(address::kMask);
        break;
    case recordId(code::kWnetApn):
        state_.mobile.useApn = r.u16(apn::kUseApn);
        state_.mobile.apn = r.latin1(apn::kApn, wnet::kApnWidth);
        state_.mobile.dial = r.latin1(apn::kDial, wnet::kDialWidth);
        break;
    case recordId(code::kWifiCredentials):
        state_.wifi.ssid = r.utf8(wificred::kSsid, wificred::kFieldWidth);
        // The host encodes it in its own 8-bit code page; Latin-1 keeps the bytes.
        state_.wifi.password = r.latin1(wificred::kPassword, wificred::kFieldWidth);
        break;
    default:
        return ApplyResult::NotSettings;
    }
    return ApplyResult::Applied;
}
