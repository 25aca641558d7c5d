#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The printer's settings as values: one type per record, each read from its
// reply and built into its command record through one table of fields. A
// field has a stable dotted name ("serial.baud"), a range or a list of
// choices, and converts to and from JSON. Bytes that no field covers stay as
// the printer sent them.
namespace settings {

enum class Kind {
    U8,
    U16,
    I16,
    U32,
    I32,
    // One byte holding 255 minus the value.
    Complement8,
    // The bits `mask` of one byte, as a yes/no.
    Bit,
    // A 16-bit switch: on unless 0 or 0x00FF; written as 1 or 0.
    Switch16,
    // IPv4 address in network byte order, dotted in JSON.
    Ipv4,
    // NUL-terminated texts in fixed-width fields, at most width - 1 bytes written.
    Latin1,
    Utf8,
    Local8Bit,
    // Code point ranges of a font table entry: pairs of 32-bit first and last
    // code points up to the first pair starting at 0, as "U+0020~U+007E;...".
    Ranges,
};

struct Choice
{
    qint64 value;
    // Source text; a page translates it in its own context (see the table).
    const char* text;
};

struct Field
{
    const char* name;
    Kind kind;
    int offset;
    // Field width in bytes for texts and ranges; the bit mask for Bit.
    int width = 0;
    qint64 min = 0;
    qint64 max = 0;
    std::vector<Choice> choices = {};

    bool isNumber() const;
    bool isText() const { return kind == Kind::Latin1 || kind == Kind::Utf8 || kind == Kind::Local8Bit; }
    // The choice's source text for a value, or nullptr.
    const char* choiceText(qint64 value) const;
};

// What a record type is on the wire.
struct Schema
{
    // Identifier of the reply it is read from (0: never read), the shortest
    // reply accepted, and where in the reply the record's byte 2 sits.
    quint16 replyId;
    int replyMinLength;
    int replyOffset;
    // Identifier of the command record (0: read only) and the record's size.
    quint16 commandId;
    int size;
    std::vector<Field> fields;

    bool readOnly() const { return commandId == 0; }
    const Field* find(const QString& name) const;
};

// The common part of every value: the record's bytes (the command form for
// writable records, the reply for read-only ones) and the field access.
class Record
{
public:
    const QByteArray& bytes() const { return bytes_; }
    const Schema& schema() const { return *schema_; }
    const Field& field(int index) const { return schema_->fields[size_t(index)]; }

    qint64 number(int index) const;
    bool flag(int index) const { return number(index) != 0; }
    QString text(int index) const;
    // The raw field bytes of a text, up to its first NUL.
    QByteArray rawText(int index) const;
    QJsonValue json(int index) const;

    // Values outside the field's range or choices are refused (false, the
    // value unchanged); texts longer than the field are cut, at a character
    // boundary for UTF-8.
    bool setNumber(int index, qint64 value);
    bool setFlag(int index, bool on) { return setNumber(index, on ? 1 : 0); }
    bool setText(int index, const QString& text);
    // Sets a field from JSON; false with `error` naming the field if the
    // value does not fit it. The value the field already holds always fits.
    bool setJson(int index, const QJsonValue& value, QString* error);

    // Every field by name.
    QJsonObject toJson() const;
    // All named fields or none: an unknown or read-only name, or a value
    // out of range, refuses the whole map with an error naming the field.
    bool fromJson(const QJsonObject& map, QString* error);
    // Names of the fields whose values differ.
    QStringList differences(const Record& other) const;

    bool operator==(const Record& other) const { return schema_ == other.schema_ && bytes_ == other.bytes_; }
    bool operator!=(const Record& other) const { return !(*this == other); }

protected:
    explicit Record(const Schema& schema);
    void replaceBytes(QByteArray bytes) { bytes_ = std::move(bytes); }
    // From a reply: false, nothing read, when the reply has another
    // identifier or is too short.
    bool readReply(const QByteArray& reply);
    // From a command record of this kind (as a printer receives it).
    bool readCommand(const QByteArray& record);

private:
    const Schema* schema_;
    QByteArray bytes_;
};

// Declares a value type: a default (all zero, with its command identifier),
// `fromReply` and `fromCommand`, empty for a record of another kind or too
// short.
#define TOVRA_SETTINGS_RECORD(Type)                                                                                    \
public:                                                                                                                \
    static const Schema& kSchema();                                                                                    \
    Type()                                                                                                             \
        : Record(kSchema())                                                                                            \
    {                                                                                                                  \
    }                                                                                                                  \
    static std::optional<Type> fromReply(const QByteArray& reply)                                                      \
    {                                                                                                                  \
        Type value;                                                                                                    \
        return value.readReply(reply) ? std::optional<Type>(value) : std::nullopt;                                     \
    }                                                                                                                  \
    static std::optional<Type> fromCommand(const QByteArray& record)                                                   \
    {                                                                                                                  \
        Type value;                                                                                                    \
        return value.readCommand(record) ? std::optional<Type>(value) : std::nullopt;                                  \
    }                                                                                                                  \
    /* The read request type, or the reply identifier, that brings this record. */                                     \
    static quint16 replyId()                                                                                           \
    {                                                                                                                  \
        return kSchema().replyId;                                                                                      \
    }

// Reply to read type 1: the printer's identity and versions.
class DeviceInfo final : public Record
{
    TOVRA_SETTINGS_RECORD(DeviceInfo)
    enum Fields {
        Model,
        Sn,
        HwVersion,
        BootloaderVersion,
        FwVersion,
        AppVersion,
        PartnerAppVersion,
        MiniAppVersion,
        FontVersion,
        TtsVersion
    };
};

// Reply to read type 2: both networks' addresses, the Wi-Fi network name and
// the Bluetooth identity.
class NetworkInfo final : public Record
{
    TOVRA_SETTINGS_RECORD(NetworkInfo)
    enum Fields {
        EthernetMac,
        EthernetDhcpIp,
        EthernetDhcpNetmask,
        EthernetStaticIp,
        EthernetStaticNetmask,
        WifiSsid,
        WifiMac,
        WifiDhcpIp,
        WifiDhcpNetmask,
        WifiStaticIp,
        WifiStaticNetmask,
        BluetoothMac,
        BluetoothName
    };
};

// Read type 3 and command '!'.
class PrintSettings final : public Record
{
    TOVRA_SETTINGS_RECORD(PrintSettings)
    enum Fields {
        Cjk,
        CodePage,
        Utf8,
        Density,
        Quality,
        PaperType,
        BlackMarkLocation,
        PrintPosition,
        CutPosition,
        CoverFeed,
        StopWhenNotTaken,
        VoiceWhenNotTaken
    };
    static constexpr qint64 kPaperReceipt = 48, kPaperBlackMark = 113, kCjkOff = 128;
    // The record as Save sends it: the reserved bytes zero, the black-mark
    // constants and positions only with black-mark paper.
    PrintSettings forSending() const;
    // As the last-read copy keeps it: the reserved byte zero, the rest as read.
    PrintSettings withoutReserved() const;
};

// Read type 4: the mobile network module's status; its tail is the APN record.
class WnetStatus final : public Record
{
    TOVRA_SETTINGS_RECORD(WnetStatus)
    enum Fields { Version, Imei, Iccid, Imsi, Mcc, Mnc, Isp, Location, Rssi, Status, UseApn, Apn, Dial };
    enum State { Disabled, Disabling, Enabling, Enabled, Connected, Connecting, Ready };
    // The printer reports 0x00FF when it has no signal figure.
    bool hasRssi() const;
};

// Command '1'; read within the type 4 reply.
class ApnSettings final : public Record
{
    TOVRA_SETTINGS_RECORD(ApnSettings)
    enum Fields { UseApn, Apn, Dial };
};

// Read type 5 and command 'A'.
class SerialSettings final : public Record
{
    TOVRA_SETTINGS_RECORD(SerialSettings)
    enum Fields { Baud, DataBits, StopBits, Parity };
};

// Read type 6 and command 0x03.
class AudioSettings final : public Record
{
    TOVRA_SETTINGS_RECORD(AudioSettings)
    enum Fields { All, Cloud, Warning, Notice, NotTakenVoice, NotTakenBeep };
};

// Commands 0x01 (Ethernet) and 0x02 (Wi-Fi): the static address; read within
// the type 2 reply.
class EthernetAddress final : public Record
{
    TOVRA_SETTINGS_RECORD(EthernetAddress)
    enum Fields { StaticIp, StaticNetmask };
};

class WifiAddress final : public Record
{
    TOVRA_SETTINGS_RECORD(WifiAddress)
    enum Fields { StaticIp, StaticNetmask };
};

// Command 0x11, never read back.
class WifiCredentials final : public Record
{
    TOVRA_SETTINGS_RECORD(WifiCredentials)
    enum Fields { Ssid, Password };
};

// One row of the font settings table: read as 0x0151, written as 'S'.
class FontEntry final : public Record
{
    TOVRA_SETTINGS_RECORD(FontEntry)
    enum Fields {
        Enabled,
        Ct,
        Px,
        Ad,
        Script,
        Language,
        FontFile,
        FaceIndex,
        Threshold,
        PixelWidth,
        PixelHeight,
        Advance,
        Ranges
    };
    // The range slots in use, 8 bytes each.
    QByteArray rangeSlots() const;
    void setRangeSlots(const QByteArray& slots);
};

// One file of a folder listing (0x0161).
class InstalledFont final : public Record
{
    TOVRA_SETTINGS_RECORD(InstalledFont)
    enum Fields { Name, Size };
};

// The printer's identity: the handshake answer (`host_cmd_dev_info_t`) and
// the discovery reply, which has no identifier and may end after the serial
// number.
class DeviceIdentity final : public Record
{
    TOVRA_SETTINGS_RECORD(DeviceIdentity)
    enum Fields { Project, Model, Sn };
    static constexpr int kMinLength = 48;
    static std::optional<DeviceIdentity> fromBytes(const QByteArray& bytes);
};

#undef TOVRA_SETTINGS_RECORD

// "U+0020~U+007E;U+3000~U+303F" for range slots, and back; false for text
// that is not such a list or holds more than fit.
QString rangesText(const QByteArray& slots);
bool parseRanges(const QString& text, QByteArray* slots);

// What a printer has, by its project and model names: the one place that
// knows the family's models.
struct Features
{
    bool ethernet = false;
    bool wifi = false;
    bool mobile = false;
    bool bluetooth = false;
    // The LQ230: no paper layout, cover or paper-not-taken settings, and
    // shorter test pages.
    bool compact = false;
};
Features features(const QString& project, const QString& model);

} // namespace settings
