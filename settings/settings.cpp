#include "settings/settings.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace settings {

namespace {

using namespace layout;

constexpr int kRangeSlotSize = fontentry::kRangeSlotSize;
constexpr int kRangeSlots = fontentry::kRangeSlots;

// Untyped: the texts are translated by the page that shows them, in its own context.
std::vector<Choice> numbers(std::initializer_list<qint64> values)
{
    std::vector<Choice> choices;
    for (qint64 value : values)
        choices.push_back({value, nullptr});
    return choices;
}

Field textField(const char* name, Kind kind, int offset, int width)
{
    return {name, kind, offset, width, 0, width - 1};
}

Field numberField(const char* name, Kind kind, int offset, qint64 min, qint64 max, std::vector<Choice> choices = {})
{
    return {name, kind, offset, 0, min, max, std::move(choices)};
}

Field bitField(const char* name, int offset, int mask)
{
    return {name, Kind::Bit, offset, mask, 0, 1};
}

Field ipv4Field(const char* name, int offset)
{
    return {name, Kind::Ipv4, offset, 4, 0, 0xFFFFFFFFll};
}

Schema readOnly(quint16 type, int size, std::vector<Field> fields)
{
    return {type, size, 2, 0, size, std::move(fields)};
}

bool fitsChoices(const Field& field, qint64 value)
{
    if (field.choices.empty())
        return value >= field.min && value <= field.max;
    return std::any_of(
        field.choices.begin(), field.choices.end(), [value](const Choice& choice) { return choice.value == value; });
}

QByteArray encode(const Field& field, const QString& text)
{
    switch (field.kind) {
    case Kind::Latin1:
        return text.toLatin1();
    case Kind::Local8Bit:
        return text.toLocal8Bit();
    default:
        return text.toUtf8();
    }
}

QString describe(const Field& field)
{
    if (!field.choices.empty()) {
        QStringList values;
        for (const Choice& choice : field.choices)
            values << QString::number(choice.value);
        return QStringLiteral("one of %1").arg(values.join(QStringLiteral(", ")));
    }
    return QStringLiteral("%1..%2").arg(field.min).arg(field.max);
}

} // namespace

bool Field::isNumber() const
{
    switch (kind) {
    case Kind::U8:
    case Kind::U16:
    case Kind::I16:
    case Kind::U32:
    case Kind::I32:
    case Kind::Complement8:
        return true;
    default:
        return false;
    }
}

const char* Field::choiceText(qint64 value) const
{
    for (const Choice& choice : choices) {
        if (choice.value == value)
            return choice.text;
    }
    return nullptr;
}

const Field* Schema::find(const QString& name) const
{
    for (const Field& field : fields) {
        if (name == QLatin1String(field.name))
            return &field;
    }
    return nullptr;
}

Record::Record(const Schema& schema)
    : schema_(&schema)
    , bytes_(RecordWriter(schema.size).u16(kIdOffset, schema.readOnly() ? schema.replyId : schema.commandId).data())
{
}

bool Record::readReply(const QByteArray& reply)
{
    const RecordReader reader(reply);
    if (schema_->replyId == 0 || reader.u16(kIdOffset) != schema_->replyId || reader.size() < schema_->replyMinLength)
        return false;
    // Every schema keeps this span within its shortest reply; the check is
    // for the tables, not for the bytes.
    const QByteArray body = reader.bytes(schema_->replyOffset, schema_->size - 2);
    if (body.size() != schema_->size - 2)
        return false;
    bytes_ = RecordWriter(bytes_).bytes(2, body).data();
    return true;
}

bool Record::readCommand(const QByteArray& record)
{
    const RecordReader reader(record);
    if (schema_->readOnly() || reader.u16(kIdOffset) != schema_->commandId || reader.size() < schema_->size)
        return false;
    bytes_ = reader.bytes(0, schema_->size);
    return true;
}

qint64 Record::number(int index) const
{
    const Field& f = field(index);
    const RecordReader reader(bytes_);
    switch (f.kind) {
    case Kind::U8:
        return reader.u8(f.offset);
    case Kind::U16:
        return reader.u16(f.offset);
    case Kind::I16:
        return reader.i16(f.offset);
    case Kind::U32:
    case Kind::Ipv4:
        return f.kind == Kind::Ipv4 ? reader.ipv4(f.offset) : reader.u32(f.offset);
    case Kind::I32:
        return reader.i32(f.offset);
    case Kind::Complement8:
        return 255 - reader.u8(f.offset);
    case Kind::Bit:
        return (reader.u8(f.offset) & f.width) != 0 ? 1 : 0;
    case Kind::Switch16: {
        const quint16 raw = reader.u16(f.offset);
        return raw != 0 && raw != 0x00FF ? 1 : 0;
    }
    default:
        return 0;
    }
}

QByteArray Record::rawText(int index) const
{
    const Field& f = field(index);
    return RecordReader(bytes_).text(f.offset, f.width);
}

QString Record::text(int index) const
{
    const Field& f = field(index);
    switch (f.kind) {
    case Kind::Latin1:
        return QString::fromLatin1(rawText(index));
    case Kind::Utf8:
        return QString::fromUtf8(rawText(index));
    case Kind::Local8Bit:
        return QString::fromLocal8Bit(rawText(index));
    case Kind::Ipv4:
        return QHostAddress(quint32(number(index))).toString();
    case Kind::Ranges:
        return rangesText(RecordReader(bytes_).bytes(f.offset, f.width));
    default:
        return QString::number(number(index));
    }
}

QJsonValue Record::json(int index) const
{
    const Field& f = field(index);
    if (f.isNumber())
        return double(number(index));
    if (f.kind == Kind::Bit || f.kind == Kind::Switch16)
        return flag(index);
    return text(index);
}

bool Record::setNumber(int index, qint64 value)
{
    const Field& f = field(index);
    if (!fitsChoices(f, value))
        return false;
    RecordWriter writer(bytes_);
    switch (f.kind) {
    case Kind::U8:
        writer.u8(f.offset, quint8(value));
        break;
    case Kind::U16:
    case Kind::I16:
        writer.u16(f.offset, quint16(value));
        break;
    case Kind::U32:
    case Kind::I32:
        writer.u32(f.offset, quint32(value));
        break;
    case Kind::Ipv4:
        writer.ipv4(f.offset, quint32(value));
        break;
    case Kind::Complement8:
        writer.u8(f.offset, quint8(255 - value));
        break;
    case Kind::Bit: {
        const quint8 others = RecordReader(bytes_).u8(f.offset) & quint8(~f.width);
        writer.u8(f.offset, quint8(others | (value ? f.width : 0)));
        break;
    }
    case Kind::Switch16:
        writer.u16(f.offset, value ? 1 : 0);
        break;
    default:
        return false;
    }
    bytes_ = writer.data();
    return true;
}

bool Record::setText(int index, const QString& text)
{
    const Field& f = field(index);
    switch (f.kind) {
    case Kind::Ipv4: {
        QHostAddress parsed;
        if (!parsed.setAddress(text) || parsed.protocol() != QAbstractSocket::IPv4Protocol)
            return false;
        return setNumber(index, parsed.toIPv4Address());
    }
    case Kind::Ranges: {
        QByteArray slots;
        if (!parseRanges(text, &slots))
            return false;
        bytes_ = RecordWriter(bytes_).field(f.offset, f.width, slots).data();
        return true;
    }
    case Kind::Utf8:
        bytes_ = RecordWriter(bytes_).text(f.offset, f.width, utf8Prefix(text, f.width - 1)).data();
        return true;
    case Kind::Latin1:
    case Kind::Local8Bit:
        bytes_ = RecordWriter(bytes_).text(f.offset, f.width, encode(f, text)).data();
        return true;
    default:
        return false;
    }
}

bool Record::setJson(int index, const QJsonValue& value, QString* error)
{
    const Field& f = field(index);
    const auto refuse = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(f.name), why);
        return false;
    };
    if (schema_->readOnly())
        return refuse(QStringLiteral("read only"));
    if (f.kind == Kind::Bit || f.kind == Kind::Switch16) {
        if (!value.isBool())
            return refuse(QStringLiteral("true or false expected"));
        return setFlag(index, value.toBool());
    }
    if (f.isNumber()) {
        const double number = value.toDouble();
        // Beyond 2^53 a double holds no exact whole number, and converting
        // one beyond 2^63 is undefined.
        if (!value.isDouble() || !(std::fabs(number) < 9.0e15) || number != std::trunc(number))
            return refuse(QStringLiteral("a whole number expected"));
        // A value kept as it stands is no change, even where the printer holds
        // one outside the range (positions are 0 with receipt paper).
        if (qint64(number) == this->number(index))
            return true;
        if (!setNumber(index, qint64(number)))
            return refuse(QStringLiteral("%1 is not %2").arg(qint64(number)).arg(describe(f)));
        return true;
    }
    if (!value.isString())
        return refuse(QStringLiteral("text expected"));
    const QString text = value.toString();
    if (f.isText() && encode(f, text).size() > f.max)
        return refuse(QStringLiteral("longer than %1 bytes").arg(f.max));
    if (!setText(index, text))
        return refuse(f.kind == Kind::Ipv4 ? QStringLiteral("not an IPv4 address: \"%1\"").arg(text)
                                           : QStringLiteral("not a list of ranges: \"%1\"").arg(text));
    return true;
}

QJsonObject Record::toJson() const
{
    QJsonObject map;
    for (int i = 0; i < int(schema_->fields.size()); ++i)
        map.insert(QLatin1String(field(i).name), json(i));
    return map;
}

bool Record::fromJson(const QJsonObject& map, QString* error)
{
    Record changed = *this;
    for (auto it = map.begin(); it != map.end(); ++it) {
        const Field* f = schema_->find(it.key());
        if (!f) {
            if (error)
                *error = QStringLiteral("%1: unknown setting").arg(it.key());
            return false;
        }
        if (!changed.setJson(int(f - schema_->fields.data()), it.value(), error))
            return false;
    }
    bytes_ = changed.bytes_;
    return true;
}

QStringList Record::differences(const Record& other) const
{
    QStringList names;
    if (schema_ != other.schema_)
        return names;
    for (int i = 0; i < int(schema_->fields.size()); ++i) {
        if (json(i) != other.json(i))
            names << QLatin1String(field(i).name);
    }
    return names;
}

const Schema& DeviceInfo::kSchema()
{
    using namespace deviceinfo;
    static const Schema schema = [] {
        std::vector<Field> fields = {textField("device.model", Kind::Latin1, kModel, kTextWidth),
            textField("device.sn", Kind::Latin1, kSn, kSnWidth)};
        const std::pair<const char*, int> versions[]
            = {{"device.hw_version", kHwVersion}, {"device.bootloader_version", kBootloaderVersion},
                {"device.fw_version", kFwVersion}, {"device.app_version", kAppVersion},
                {"device.partner_app_version", kPartnerAppVersion}, {"device.mini_app_version", kMiniAppVersion},
                {"device.font_version", kFontVersion}, {"device.tts_version", kTtsVersion}};
        for (const auto& [name, offset] : versions)
            fields.push_back(textField(name, Kind::Latin1, offset, kTextWidth));
        return readOnly(readtype::kDeviceInfo, kSize, std::move(fields));
    }();
    return schema;
}

const Schema& NetworkInfo::kSchema()
{
    using namespace netinfo;
    static const Schema schema = readOnly(readtype::kNetworkInfo, kSize,
        {textField("network.ethernet_mac", Kind::Latin1, kEthMac, kMacWidth),
            ipv4Field("network.ethernet_dhcp_ip", kEthDhcpIp), ipv4Field("network.ethernet_dhcp_netmask", kEthDhcpMask),
            ipv4Field("network.ethernet_static_ip", kEthStaticIp),
            ipv4Field("network.ethernet_static_netmask", kEthStaticMask),
            textField("network.wifi_ssid", Kind::Utf8, kWifiSsid, kSsidWidth),
            textField("network.wifi_mac", Kind::Latin1, kWifiMac, kMacWidth),
            ipv4Field("network.wifi_dhcp_ip", kWifiDhcpIp), ipv4Field("network.wifi_dhcp_netmask", kWifiDhcpMask),
            ipv4Field("network.wifi_static_ip", kWifiStaticIp),
            ipv4Field("network.wifi_static_netmask", kWifiStaticMask),
            textField("network.bluetooth_mac", Kind::Latin1, kBtMac, kMacWidth),
            textField("network.bluetooth_name", Kind::Utf8, kBtName, kBtNameWidth)});
    return schema;
}

const Schema& PrintSettings::kSchema()
{
    using namespace print;
    // The code pages the printer offers; the page shows this text as it stands.
    static const std::vector<Choice> codePages = {{0, "(0) CP437: USA, Standard Europe"}, {1, "(1) Katakana"},
        {2, "(2) CP850: Multilingual"}, {3, "(3) CP860: Portuguese"}, {4, "(4) CP863: Canadian-French"},
        {5, "(5) CP865: Nordic"}, {11, "(11) CP851: Greek"}, {12, "(12) CP853: Turkish"}, {13, "(13) CP857: Turkish"},
        {14, "(14) CP737: Greek"}, {15, "(15) ISO8859-7: Greek"}, {16, "(16) CP1252"}, {17, "(17) CP866: Cyrillic #2"},
        {18, "(18) CP852: Latin2"}, {19, "(19) CP858: Euro"}, {20, "(20) KU42: Thai"}, {21, "(21) TIS11: Thai"},
        {26, "(26) TIS18: Thai"}, {30, "(30) TCVN-3: Vientamese"}, {31, "(31) TCVN-3: Vientamese"},
        {32, "(32) CP720: Arabic"}, {33, "(33) CP775: Baltic Rim"}, {34, "(34) CP855: Cylillic"},
        {35, "(35) CP861: Icelandic"}, {36, "(36) CP862: Hebrew"}, {37, "(37) CP864: Arabic"},
        {38, "(38) CP869: Greek"}, {39, "(39) ISO8859-2: Latin2"}, {40, "(40) ISO8859-15: Latin9"},
        {42, "(42) CP1118: Lithuanian"}, {44, "(44) CP1125: Ukranian"}, {45, "(45) CP1250: Latin 2"},
        {46, "(46) CP1251: Cyrillic"}, {47, "(47) CP1253: Greek"}, {48, "(48) CP1254: Turkish"},
        {49, "(49) CP1255: Hebrew"}, {50, "(50) CP1256: Arabic"}, {51, "(51) CP1257: Baltic Rim"},
        {52, "(52) CP1258: Vientamese"}, {53, "(53) KZ1048: Kazakhstan"}};
    static const Schema schema = {readtype::kPrintSettings, readtype::kMinLength[readtype::kPrintSettings], 2,
        recordId(code::kPrintSettings), kSize,
        {numberField("print.cjk", Kind::U8, kCjk, 0, 0,
             {{0, "GB18030"}, {1, "BIG5"}, {11, "Shift JIS"}, {12, "JIS 0208"}, {21, "KS C 5601"},
                 {kCjkOff, QT_TRANSLATE_NOOP("WidgetPrint", "Disable CJK Mode")}}),
            numberField("print.code_page", Kind::U8, kCodePage, 0, 0, codePages),
            numberField("print.utf8", Kind::U8, kUtf8, 0, 0,
                {{0, QT_TRANSLATE_NOOP("WidgetPrint", "No")}, {1, QT_TRANSLATE_NOOP("WidgetPrint", "Yes")}}),
            numberField("print.density", Kind::U8, kDensity, 70, 130),
            numberField("print.quality", Kind::Complement8, kQuality, 0, 100),
            numberField("print.paper_type", Kind::I32, kPaperType, 0, 0,
                {{kPaperReceipt, QT_TRANSLATE_NOOP("WidgetPrint", "Receipt")},
                    {kPaperBlackMark, QT_TRANSLATE_NOOP("WidgetPrint", "Paper with Black Mark")}}),
            numberField("print.black_mark_location", Kind::U8, kBlackMarkLocation, 0, 0,
                {{1, QT_TRANSLATE_NOOP("WidgetPrint", "Side")}, {2, QT_TRANSLATE_NOOP("WidgetPrint", "Center")}}),
            // Positions in 0.1 mm; the cover feed in dots, 8 a millimetre, 0 for none.
            numberField("print.print_position", Kind::I32, kPrintPosition, 100, 1000),
            numberField("print.cut_position", Kind::I32, kCutPosition, -1000, 250),
            numberField("print.cover_feed_dots", Kind::U32, kFeedDots, 0, 1600),
            bitField("print.stop_when_not_taken", kNotTakenFlags, 0x01),
            bitField("print.voice_when_not_taken", kNotTakenFlags, 0x02)}};
    return schema;
}

PrintSettings PrintSettings::forSending() const
{
    using namespace print;
    // Black-mark constants the printer expects with black-mark paper.
    constexpr quint32 kBlackMarkAValue = 2000, kBlackMarkBValue = 100;
    const bool blackMark = number(PaperType) == kPaperBlackMark;
    const quint8 flags = RecordReader(bytes()).u8(kNotTakenFlags) & 0x03;
    PrintSettings sent = *this;
    RecordWriter writer(bytes());
    writer.u8(kReserved, 0).field(kCutPosition + 4, kFeedDots - kCutPosition - 4, QByteArray());
    writer.u8(kNotTakenFlags, flags);
    writer.u32(kBlackMarkA, blackMark ? kBlackMarkAValue : 0).u32(kBlackMarkB, blackMark ? kBlackMarkBValue : 0);
    if (!blackMark)
        writer.u32(kPrintPosition, 0).u32(kCutPosition, 0);
    sent.replaceBytes(writer.data());
    return sent;
}

PrintSettings PrintSettings::withoutReserved() const
{
    PrintSettings copy = *this;
    copy.replaceBytes(RecordWriter(bytes()).u8(print::kReserved, 0).data());
    return copy;
}

const Schema& WnetStatus::kSchema()
{
    using namespace wnet;
    static const Schema schema = readOnly(readtype::kWnet, kSize,
        {textField("mobile.version", Kind::Latin1, kVersion, kVersionWidth),
            textField("mobile.imei", Kind::Latin1, kImei, kImeiWidth),
            textField("mobile.iccid", Kind::Latin1, kIccid, kIccidWidth),
            textField("mobile.imsi", Kind::Latin1, kImsi, kImsiWidth),
            textField("mobile.mcc", Kind::Latin1, kMcc, kMccWidth),
            textField("mobile.mnc", Kind::Latin1, kMnc, kMncWidth),
            textField("mobile.isp", Kind::Latin1, kIsp, kIspWidth),
            textField("mobile.location", Kind::Latin1, kLocation, kLocationWidth),
            numberField("mobile.rssi", Kind::I16, kRssi, -32768, 32767),
            numberField("mobile.status", Kind::U16, kStatus, 0, 0,
                {{Disabled, QT_TRANSLATE_NOOP("WidgetWnet", "Disabled")},
                    {Disabling, QT_TRANSLATE_NOOP("WidgetWnet", "Disabling")},
                    {Enabling, QT_TRANSLATE_NOOP("WidgetWnet", "Enabling")},
                    {Enabled, QT_TRANSLATE_NOOP("WidgetWnet", "Enabled")},
                    {Connected, QT_TRANSLATE_NOOP("WidgetWnet", "Connected")},
                    {Connecting, QT_TRANSLATE_NOOP("WidgetWnet", "Connecting")},
                    {Ready, QT_TRANSLATE_NOOP("WidgetWnet", "Ready")}}),
            {"mobile.use_apn", Kind::Switch16, kUseApn, 0, 0, 1},
            textField("mobile.apn", Kind::Latin1, kApn, kApnWidth),
            textField("mobile.dial", Kind::Latin1, kDial, kDialWidth)});
    return schema;
}

bool WnetStatus::hasRssi() const
{
    return RecordReader(bytes()).u16(wnet::kRssi) != wnet::kRssiNone;
}

const Schema& ApnSettings::kSchema()
{
    using namespace apn;
    static const Schema schema
        = {readtype::kWnet, readtype::kMinLength[readtype::kWnet], wnet::kUseApn, recordId(code::kWnetApn), kSize,
            {{"mobile.use_apn", Kind::Switch16, kUseApn, 0, 0, 1},
                textField("mobile.apn", Kind::Latin1, kApn, wnet::kApnWidth),
                textField("mobile.dial", Kind::Latin1, kDial, wnet::kDialWidth)}};
    return schema;
}

const Schema& SerialSettings::kSchema()
{
    using namespace serial;
    static const Schema schema
        = {readtype::kSerial, readtype::kMinLength[readtype::kSerial], 2, recordId(code::kSerial), kSize,
            {numberField("serial.baud", Kind::U32, kBaud, 0, 0,
                 numbers({2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 2000000})),
                numberField("serial.data_bits", Kind::U32, kDataBits, 0, 0, numbers({7, 8})),
                numberField("serial.stop_bits", Kind::U32, kStopBits, 0, 0, numbers({1, 2})),
                numberField("serial.parity", Kind::U32, kParity, 0, 0,
                    {{0, QT_TRANSLATE_NOOP("WidgetSerial", "None")}, {1, QT_TRANSLATE_NOOP("WidgetSerial", "Odd")},
                        {2, QT_TRANSLATE_NOOP("WidgetSerial", "Even")}})}};
    return schema;
}

const Schema& AudioSettings::kSchema()
{
    using namespace audio;
    static const Schema schema
        = {readtype::kAudio, readtype::kMinLength[readtype::kAudio], 2, recordId(code::kAudio), kSize,
            {bitField("audio.all", kAll, 0x01), bitField("audio.cloud", kCloud, 0x01),
                bitField("audio.warning", kWarning, 0x01), bitField("audio.notice", kNotice, 0x01),
                bitField("audio.not_taken_voice", kNotTaken, 0x02), bitField("audio.not_taken_beep", kNotTaken, 0x01)}};
    return schema;
}

const Schema& EthernetAddress::kSchema()
{
    static const Schema schema = {readtype::kNetworkInfo, netinfo::kSize, netinfo::kEthStaticIp,
        recordId(code::kEthernetAddress), address::kSize,
        {ipv4Field("ethernet.static_ip", address::kIp), ipv4Field("ethernet.static_netmask", address::kMask)}};
    return schema;
}

const Schema& WifiAddress::kSchema()
{
    static const Schema schema
        = {readtype::kNetworkInfo, netinfo::kSize, netinfo::kWifiStaticIp, recordId(code::kWifiAddress), address::kSize,
            {ipv4Field("wifi.static_ip", address::kIp), ipv4Field("wifi.static_netmask", address::kMask)}};
    return schema;
}

const Schema& WifiCredentials::kSchema()
{
    using namespace wificred;
    static const Schema schema = {0, 0, 2, recordId(code::kWifiCredentials), kSize,
        {textField("wifi.ssid", Kind::Utf8, kSsid, kFieldWidth),
            textField("wifi.password", Kind::Local8Bit, kPassword, kFieldWidth)}};
    return schema;
}

const Schema& FontEntry::kSchema()
{
    using namespace fontentry;
    static const Schema schema = {recordId(code::kFontTableRead), kSize, 2, recordId(code::kFontTableEntry), kSize,
        {numberField("font.enabled", Kind::U8, kEnabled, 0, 1), numberField("font.ct", Kind::U8, kCt, 0, 255),
            numberField("font.px", Kind::U8, kPx, 0, 255), numberField("font.ad", Kind::U8, kAd, 0, 255),
            textField("font.script", Kind::Utf8, kScript, kScriptWidth),
            textField("font.language", Kind::Utf8, kLanguage, kLanguageWidth),
            textField("font.file", Kind::Utf8, kFontFile, kFontFileWidth),
            numberField("font.face_index", Kind::I32, kFaceIndex, 0, 7),
            numberField("font.threshold", Kind::U16, kThreshold, 0, 255),
            numberField("font.pixel_width", Kind::U16, kPixelWidth, 0, 96),
            numberField("font.pixel_height", Kind::U16, kPixelHeight, 0, 96),
            numberField("font.advance", Kind::U16, kAdvance, 0, 96),
            {"font.ranges", Kind::Ranges, kRanges, kRangeSlots * kRangeSlotSize}}};
    return schema;
}

QByteArray FontEntry::rangeSlots() const
{
    const RecordReader reader(bytes());
    QByteArray slots;
    for (int slot = 0; slot < kRangeSlots; ++slot) {
        const int offset = fontentry::kRanges + slot * kRangeSlotSize;
        if (reader.u32(offset) == 0)
            break;
        slots.append(reader.bytes(offset, kRangeSlotSize));
    }
    return slots;
}

void FontEntry::setRangeSlots(const QByteArray& slots)
{
    replaceBytes(RecordWriter(bytes())
                     .field(fontentry::kRanges, kRangeSlots * kRangeSlotSize, slots.left(kRangeSlots * kRangeSlotSize))
                     .data());
}

const Schema& InstalledFont::kSchema()
{
    using namespace file;
    static const Schema schema
        = {recordId(code::kListDirectory), fontlisting::kMinLength, 2, 0, fontlisting::kMinLength,
            {textField("installed_font.name", Kind::Utf8, kShortPath, kPathWidth),
                numberField("installed_font.size", Kind::U32, kShortSize, 0, 0xFFFFFFFFll)}};
    return schema;
}

const Schema& DeviceIdentity::kSchema()
{
    using namespace devinfo;
    static const Schema schema = {0, kMinLength, 0, 0, kSize,
        {textField("identity.project", Kind::Latin1, kProject, kTextWidth),
            textField("identity.model", Kind::Latin1, kModel, kTextWidth),
            textField("identity.sn", Kind::Latin1, kSn, kTextWidth)}};
    return schema;
}

std::optional<DeviceIdentity> DeviceIdentity::fromBytes(const QByteArray& bytes)
{
    if (bytes.size() < kMinLength)
        return std::nullopt;
    DeviceIdentity identity;
    identity.replaceBytes(RecordWriter(identity.bytes()).bytes(0, bytes.left(devinfo::kSize)).data());
    return identity;
}

QString rangesText(const QByteArray& slots)
{
    const RecordReader reader(slots);
    QStringList ranges;
    for (int offset = 0; reader.has(offset, kRangeSlotSize) && reader.u32(offset) != 0; offset += kRangeSlotSize) {
        ranges << QStringLiteral("U+%1~U+%2")
                      .arg(reader.u32(offset), 4, 16, QLatin1Char('0'))
                      .arg(reader.u32(offset + 4), 4, 16, QLatin1Char('0'))
                      .toUpper();
    }
    return ranges.join(QLatin1Char(';'));
}

bool parseRanges(const QString& text, QByteArray* slots)
{
    static const QRegularExpression range(QStringLiteral("^U\\+([0-9A-Fa-f]{1,8})~U\\+([0-9A-Fa-f]{1,8})$"));
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (parts.size() > kRangeSlots)
        return false;
    RecordWriter writer(int(parts.size()) * kRangeSlotSize);
    int offset = 0;
    for (const QString& part : parts) {
        const QRegularExpressionMatch match = range.match(part.trimmed());
        bool firstOk = false, lastOk = false;
        const quint32 first = match.hasMatch() ? match.captured(1).toUInt(&firstOk, 16) : 0;
        const quint32 last = match.hasMatch() ? match.captured(2).toUInt(&lastOk, 16) : 0;
        // A first code point of 0 would end the list early.
        if (!firstOk || !lastOk || first == 0 || last < first)
            return false;
        writer.u32(offset, first).u32(offset + 4, last);
        offset += kRangeSlotSize;
    }
    *slots = writer.data();
    return true;
}

Features features(const QString& project, const QString& model)
{
    const auto startsWith = [&model](const char* name) { return model.startsWith(QLatin1String(name)); };
    Features has;
    has.ethernet = project == QLatin1String("LQ520");
    has.mobile = startsWith("LQ560") || startsWith("LQ580");
    has.compact = project == QLatin1String("LQ230");
    has.wifi = has.compact || startsWith("LQ540") || startsWith("LQ560");
    // Exact names: "LQ560-4G" and the like have no Bluetooth.
    has.bluetooth = has.compact || model == QLatin1String("LQ540") || model == QLatin1String("LQ560");
    return has;
}

} // namespace settings
