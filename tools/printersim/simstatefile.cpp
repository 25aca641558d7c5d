#include "tools/printersim/simstatefile.h"

#include "settings/recordlayouts.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr int kFormat = 1;

QString addressText(quint32 address)
{
    return QHostAddress(address).toString();
}

// Reads one group of fields, noting the ones it cannot use.
class GroupReader final
{
public:
    GroupReader(const QJsonObject& root, const QString& group, QStringList& problems)
        : GroupReader(root.value(group), group, problems)
    {
    }

    // `group` names the value in the problems, for example "fontTable[2]".
    GroupReader(const QJsonValue& value, const QString& group, QStringList& problems)
        : group_(group)
        , problems_(problems)
    {
        if (!value.isObject())
            problems_.append(group);
        else
            object_ = value.toObject();
        missingGroup_ = !value.isObject();
    }

    void text(const char* key, QString& field)
    {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isString())
            field = value.toString();
        else
            fail(key);
    }

    template <typename T> void number(const char* key, T& field)
    {
        const QJsonValue value = object_.value(QLatin1String(key));
        const double number = value.toDouble();
        if (value.isDouble() && number == double(qint64(number)) && number >= double(std::numeric_limits<T>::min())
            && number <= double(std::numeric_limits<T>::max()))
            field = T(qint64(number));
        else
            fail(key);
    }

    void flag(const char* key, bool& field)
    {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isBool())
            field = value.toBool();
        else
            fail(key);
    }

    // "U+0020-U+007E" strings, as many as an entry record has slots for; a
    // range starting at 0 or ending before it starts is unusable.
    void ranges(const char* key, QList<QPair<quint32, quint32>>& field)
    {
        const QJsonValue value = object_.value(QLatin1String(key));
        const QJsonArray array = value.toArray();
        QList<QPair<quint32, quint32>> parsed;
        for (const QJsonValue& item : array) {
            QPair<quint32, quint32> range;
            if (!simfonttable::parseRange(item.toString(), range) || range.first == 0 || range.second < range.first)
                break;
            parsed.append(range);
        }
        if (value.isArray() && parsed.size() == array.size() && parsed.size() <= layout::fontentry::kRangeSlots)
            field = parsed;
        else
            fail(key);
    }

    void address(const char* key, quint32& field)
    {
        const QJsonValue value = object_.value(QLatin1String(key));
        bool ok = false;
        const quint32 parsed = QHostAddress(value.toString()).toIPv4Address(&ok);
        if (value.isString() && ok)
            field = parsed;
        else
            fail(key);
    }

private:
    void fail(const char* key)
    {
        // A missing group is reported once, not once per field.
        if (!missingGroup_)
            problems_.append(group_ + QLatin1Char('.') + QLatin1String(key));
    }

    QString group_;
    QStringList& problems_;
    QJsonObject object_;
    bool missingGroup_ = false;
};

QJsonObject fontEntryToJson(const SimFontEntry& e)
{
    QJsonArray ranges;
    for (const auto& range : e.ranges)
        ranges.append(simfonttable::rangeText(range));
    return QJsonObject {{"enabled", e.enabled}, {"script", e.script}, {"language", e.language},
        {"fontFile", e.fontFile}, {"faceIndex", e.faceIndex}, {"threshold", e.threshold}, {"pixelWidth", e.pixelWidth},
        {"pixelHeight", e.pixelHeight}, {"advance", e.advance}, {"ranges", ranges}, {"ct", e.ct}, {"px", e.px},
        {"ad", e.ad}};
}

// An entry with any unusable field is left out as a whole: half an entry
// would draw with the wrong font or size.
bool fontEntryFromJson(const QJsonValue& value, const QString& name, SimFontEntry& e, QStringList& problems)
{
    const int before = int(problems.size());
    GroupReader reader(value, name, problems);
    reader.flag("enabled", e.enabled);
    reader.text("script", e.script);
    reader.text("language", e.language);
    reader.text("fontFile", e.fontFile);
    reader.number("faceIndex", e.faceIndex);
    reader.number("threshold", e.threshold);
    reader.number("pixelWidth", e.pixelWidth);
    reader.number("pixelHeight", e.pixelHeight);
    reader.number("advance", e.advance);
    reader.ranges("ranges", e.ranges);
    reader.number("ct", e.ct);
    reader.number("px", e.px);
    reader.number("ad", e.ad);
    return problems.size() == before;
}

void fontTableFromJson(const QJsonObject& json, SimFontTable& table, QStringList& problems)
{
    const QJsonValue value = json.value(QLatin1String("fontTable"));
    if (!value.isArray()) {
        problems.append(QStringLiteral("fontTable"));
        return;
    }
    const QJsonArray array = value.toArray();
    SimFontTable loaded;
    for (int i = 0; i < array.size(); ++i) {
        if (i == simfonttable::kMaxEntries) {
            problems.append(QStringLiteral("fontTable[%1] and after").arg(i));
            break;
        }
        SimFontEntry entry;
        if (fontEntryFromJson(array.at(i), QStringLiteral("fontTable[%1]").arg(i), entry, problems))
            loaded.append(entry);
    }
    table = loaded;
}

} // namespace

QJsonObject stateToJson(const SimState& s)
{
    const SimState::Versions& v = s.versions;
    const SimState::Ethernet& e = s.ethernet;
    const SimState::Wifi& w = s.wifi;
    const SimState::Print& p = s.print;
    const SimState::Mobile& m = s.mobile;
    QJsonArray fontTable;
    for (const SimFontEntry& entry : s.fontTable)
        fontTable.append(fontEntryToJson(entry));
    return QJsonObject {
        {"format", kFormat},
        {"versions",
            QJsonObject {{"hardware", v.hardware}, {"bootloader", v.bootloader}, {"firmware", v.firmware},
                {"app", v.app}, {"partnerApp", v.partnerApp}, {"miniApp", v.miniApp}, {"font", v.font},
                {"tts", v.tts}}},
        {"ethernet",
            QJsonObject {{"mac", e.mac}, {"dhcpAddress", addressText(e.dhcpAddress)},
                {"dhcpNetmask", addressText(e.dhcpNetmask)}, {"staticAddress", addressText(e.staticAddress)},
                {"staticNetmask", addressText(e.staticNetmask)}}},
        {"wifi",
            QJsonObject {{"ssid", w.ssid}, {"password", w.password}, {"mac", w.mac},
                {"dhcpAddress", addressText(w.dhcpAddress)}, {"dhcpNetmask", addressText(w.dhcpNetmask)},
                {"staticAddress", addressText(w.staticAddress)}, {"staticNetmask", addressText(w.staticNetmask)}}},
        {"bluetooth", QJsonObject {{"mac", s.bluetooth.mac}, {"name", s.bluetooth.name}}},
        {"print",
            QJsonObject {{"cjk", p.cjk}, {"codePage", p.codePage}, {"utf8", p.utf8}, {"density", p.density},
                {"quality", p.quality}, {"paperType", p.paperType}, {"blackMarkA", qint64(p.blackMarkA)},
                {"blackMarkB", qint64(p.blackMarkB)}, {"printPosition", p.printPosition},
                {"cutPosition", p.cutPosition}, {"feedDots", qint64(p.feedDots)},
                {"blackMarkLocation", p.blackMarkLocation}, {"notTakenFlags", p.notTakenFlags}}},
        {"serial",
            QJsonObject {{"baud", qint64(s.serial.baud)}, {"dataBits", qint64(s.serial.dataBits)},
                {"stopBits", qint64(s.serial.stopBits)}, {"parity", qint64(s.serial.parity)}}},
        {"audio",
            QJsonObject {{"all", s.audio.all}, {"cloud", s.audio.cloud}, {"warning", s.audio.warning},
                {"notice", s.audio.notice}, {"notTaken", s.audio.notTaken}}},
        {"mobile",
            QJsonObject {{"moduleVersion", m.moduleVersion}, {"imei", m.imei}, {"iccid", m.iccid}, {"imsi", m.imsi},
                {"mcc", m.mcc}, {"mnc", m.mnc}, {"isp", m.isp}, {"location", m.location}, {"rssi", m.rssi},
                {"status", m.status}, {"useApn", m.useApn}, {"apn", m.apn}, {"dial", m.dial}}},
        {"fontTable", fontTable},
    };
}

void stateFromJson(const QJsonObject& json, SimState& s, QStringList& problems)
{
    GroupReader versions(json, QStringLiteral("versions"), problems);
    versions.text("hardware", s.versions.hardware);
    versions.text("bootloader", s.versions.bootloader);
    versions.text("firmware", s.versions.firmware);
    versions.text("app", s.versions.app);
    versions.text("partnerApp", s.versions.partnerApp);
    versions.text("miniApp", s.versions.miniApp);
    versions.text("font", s.versions.font);
    versions.text("tts", s.versions.tts);

    GroupReader ethernet(json, QStringLiteral("ethernet"), problems);
    ethernet.text("mac", s.ethernet.mac);
    ethernet.address("dhcpAddress", s.ethernet.dhcpAddress);
    ethernet.address("dhcpNetmask", s.ethernet.dhcpNetmask);
    ethernet.address("staticAddress", s.ethernet.staticAddress);
    ethernet.address("staticNetmask", s.ethernet.staticNetmask);

    GroupReader wifi(json, QStringLiteral("wifi"), problems);
    wifi.text("ssid", s.wifi.ssid);
    wifi.text("password", s.wifi.password);
    wifi.text("mac", s.wifi.mac);
    wifi.address("dhcpAddress", s.wifi.dhcpAddress);
    wifi.address("dhcpNetmask", s.wifi.dhcpNetmask);
    wifi.address("staticAddress", s.wifi.staticAddress);
    wifi.address("staticNetmask", s.wifi.staticNetmask);

    GroupReader bluetooth(json, QStringLiteral("bluetooth"), problems);
    bluetooth.text("mac", s.bluetooth.mac);
    bluetooth.text("name", s.bluetooth.name);

    GroupReader print(json, QStringLiteral("print"), problems);
    print.number("cjk", s.print.cjk);
    print.number("codePage", s.print.codePage);
    print.number("utf8", s.print.utf8);
    print.number("density", s.print.density);
    print.number("quality", s.print.quality);
    print.number("paperType", s.print.paperType);
    print.number("blackMarkA", s.print.blackMarkA);
    print.number("blackMarkB", s.print.blackMarkB);
    print.number("printPosition", s.print.printPosition);
    print.number("cutPosition", s.print.cutPosition);
    print.number("feedDots", s.print.feedDots);
    print.number("blackMarkLocation", s.print.blackMarkLocation);
    print.number("notTakenFlags", s.print.notTakenFlags);

    GroupReader serial(json, QStringLiteral("serial"), problems);
    serial.number("baud", s.serial.baud);
    serial.number("dataBits", s.serial.dataBits);
    serial.number("stopBits", s.serial.stopBits);
    serial.number("parity", s.serial.parity);

    GroupReader audio(json, QStringLiteral("audio"), problems);
    audio.number("all", s.audio.all);
    audio.number("cloud", s.audio.cloud);
    audio.number("warning", s.audio.warning);
    audio.number("notice", s.audio.notice);
    audio.number("notTaken", s.audio.notTaken);

    GroupReader mobile(json, QStringLiteral("mobile"), problems);
    mobile.text("moduleVersion", s.mobile.moduleVersion);
    mobile.text("imei", s.mobile.imei);
    mobile.text("iccid", s.mobile.iccid);
    mobile.text("imsi", s.mobile.imsi);
    mobile.text("mcc", s.mobile.mcc);
    mobile.text("mnc", s.mobile.mnc);
    mobile.text("isp", s.mobile.isp);
    mobile.text("location", s.mobile.location);
    mobile.number("rssi", s.mobile.rssi);
    mobile.number("status", s.mobile.status);
    mobile.number("useApn", s.mobile.useApn);
    mobile.text("apn", s.mobile.apn);
    mobile.text("dial", s.mobile.dial);

    fontTableFromJson(json, s.fontTable, problems);
}

StateLoad loadStateFile(const QString& path, SimState& state, QString& message)
{
    QFile file(path);
    if (!file.exists())
        return StateLoad::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        message = QStringLiteral("cannot read %1 (%2); using defaults").arg(path, file.errorString());
        return StateLoad::Corrupt;
    }
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (!document.isObject()) {
        const QString reason = error.error != QJsonParseError::NoError
            ? QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset)
            : QStringLiteral("not a JSON object");
        const QString backup = path + QStringLiteral(".corrupt");
        QFile::remove(backup);
        const QString kept = QFile::rename(path, backup) ? QStringLiteral("; kept as %1").arg(backup) : QString();
        message = QStringLiteral("%1 is not a usable state file (%2); using defaults%3").arg(path, reason, kept);
        return StateLoad::Corrupt;
    }
    QStringList problems;
    stateFromJson(document.object(), state, problems);
    if (problems.isEmpty())
        return StateLoad::Loaded;
    message
        = QStringLiteral("%1: defaults used for missing or invalid %2").arg(path, problems.join(QStringLiteral(", ")));
    return StateLoad::Partial;
}

bool saveStateFile(const QString& path, const SimState& state, QString& error)
{
    // Renamed over the old file, so never half a file; not synced to disk,
    // which would cost a fleet that saves on every write long waits, for a
    // state that may as well be lost to a power failure.
    const QString temporary = path + QStringLiteral(".tmp");
    const QByteArray data = QJsonDocument(stateToJson(state)).toJson(QJsonDocument::Indented);
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() || !file.flush()) {
        error = file.errorString();
        file.close();
        QFile::remove(temporary);
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return false;
    }
    return true;
}
