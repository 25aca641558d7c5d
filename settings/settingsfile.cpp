#include "settings/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace settings {

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kVersionKey = QStringLiteral("version");
const QString kSourceKey = QStringLiteral("source");
const QString kFontsKey = QStringLiteral("fonts");
const QString kTable = QStringLiteral("fonts.table");
const QString kFiles = QStringLiteral("fonts.files");
const QString kSsid = QStringLiteral("wifi.ssid");
const QString kPassword = QStringLiteral("wifi.password");

// The print fields a compact printer lacks: the window's paper layout, cover
// and paper-not-taken groups.
constexpr int kCompactLacks[] = {PrintSettings::PaperType, PrintSettings::BlackMarkLocation,
    PrintSettings::PrintPosition, PrintSettings::CutPosition, PrintSettings::CoverFeed, PrintSettings::StopWhenNotTaken,
    PrintSettings::VoiceWhenNotTaken};

bool refuse(QString* error, int line, const QString& why)
{
    if (error)
        *error = QStringLiteral("line %1: %2").arg(line).arg(why);
    return false;
}

QString withoutGroup(const QString& name)
{
    return name.mid(name.indexOf(QLatin1Char('.')) + 1);
}

int indexOf(const Schema& schema, const QString& name)
{
    const Field* f = schema.find(name);
    return f ? int(f - schema.fields.data()) : -1;
}

// The record as the printer holds it, in command form; empty when not read.
template <class T> std::optional<T> held(const PrinterState& state)
{
    if constexpr (std::is_same_v<T, PrintSettings>)
        return state.print;
    else if constexpr (std::is_same_v<T, SerialSettings>)
        return state.serial;
    else if constexpr (std::is_same_v<T, AudioSettings>)
        return state.audio;
    else if constexpr (std::is_same_v<T, ApnSettings>)
        return state.wnet ? T::fromReply(state.wnet->bytes()) : std::nullopt;
    else
        return state.network ? T::fromReply(state.network->bytes()) : std::nullopt;
}

// The record as it goes out: the print record as Save sends it.
PrintSettings sending(const PrintSettings& value)
{
    return value.forSending();
}
template <class T> T sending(const T& value)
{
    return value;
}

// Stricter than setJson, which lets through the value a record already
// holds: a default's 0 must not pass for a density.
template <class T> bool setStrict(T* record, int index, const QJsonValue& value, QString* error)
{
    // A text ends at its first NUL on the printer: the rest would be lost.
    if (value.toString().contains(QChar())) {
        if (error)
            *error = QStringLiteral("%1: a NUL in the text").arg(QLatin1String(record->field(index).name));
        return false;
    }
    if (!record->setJson(index, value, error))
        return false;
    const Field& f = record->field(index);
    if (!f.isNumber() || T().setNumber(index, qint64(value.toDouble())))
        return true;
    // From a value that fits, setJson refuses this one in its own words.
    T probe;
    probe.setNumber(index, f.choices.empty() ? f.min : f.choices.front().value);
    probe.setJson(index, value, error);
    return false;
}

// A value checked on a default record, and its normal form (addresses and
// ranges as the record writes them).
template <class T> bool checkField(const QString& name, const QJsonValue& value, QJsonValue* normal, QString* error)
{
    T probe;
    const int index = indexOf(T::kSchema(), name);
    if (!setStrict(&probe, index, value, error))
        return false;
    *normal = probe.json(index);
    return true;
}

template <class T> QJsonValue heldValue(const PrinterState& state, const QString& name)
{
    const std::optional<T> value = held<T>(state);
    return value ? value->json(indexOf(T::kSchema(), name)) : QJsonValue(QJsonValue::Undefined);
}

// The records a file writes, by group, in the file's order.
struct Writable
{
    const char* group;
    const Schema& (*schema)();
    bool (*check)(const QString& name, const QJsonValue& value, QJsonValue* normal, QString* error);
    QJsonValue (*current)(const PrinterState& state, const QString& name);
};

const Writable kWritable[] = {
    {"print", &PrintSettings::kSchema, &checkField<PrintSettings>, &heldValue<PrintSettings>},
    {"serial", &SerialSettings::kSchema, &checkField<SerialSettings>, &heldValue<SerialSettings>},
    {"audio", &AudioSettings::kSchema, &checkField<AudioSettings>, &heldValue<AudioSettings>},
    {"mobile", &ApnSettings::kSchema, &checkField<ApnSettings>, &heldValue<ApnSettings>},
    {"ethernet", &EthernetAddress::kSchema, &checkField<EthernetAddress>, &heldValue<EthernetAddress>},
    {"wifi", &WifiAddress::kSchema, &checkField<WifiAddress>, &heldValue<WifiAddress>},
    // Never read back: the SSID is the network information's.
    {"wifi", &WifiCredentials::kSchema, &checkField<WifiCredentials>, nullptr},
};

const Writable* findWritable(const QString& name)
{
    const auto it = std::find_if(
        std::begin(kWritable), std::end(kWritable), [&](const Writable& w) { return w.schema().find(name); });
    return it != std::end(kWritable) ? it : nullptr;
}

bool isGroup(const QString& key)
{
    return std::any_of(
        std::begin(kWritable), std::end(kWritable), [&](const Writable& w) { return key == QLatin1String(w.group); });
}

QString notWritable(const QString& name)
{
    return WnetStatus::kSchema().find(name) ? QStringLiteral("%1: read only").arg(name)
                                            : QStringLiteral("%1: unknown setting").arg(name);
}

// Any writable setting by its dotted name.
bool checkValue(const QString& name, const QJsonValue& value, QJsonValue* normal, QString* error)
{
    if (const Writable* w = findWritable(name))
        return w->check(name, value, normal, error);
    *error = notWritable(name);
    return false;
}

// A font file is looked up by its name in a folder: no path, nothing hidden.
bool plainFileName(const QString& name)
{
    static const QRegularExpression path(QStringLiteral("[/\\\\\\x00-\\x1f]|^\\.|^$"));
    return !path.match(name).hasMatch()
        && name.toUtf8().size() <= InstalledFont::kSchema().fields[InstalledFont::Name].max;
}

// Lines of keys in the text read, which the JSON parser does not keep: each
// key is looked for after the one before. A key written with escapes is not
// found, and the line stays that of its parent.
class KeyScan
{
public:
    explicit KeyScan(const QByteArray& text)
        : text_(text)
    {
    }
    KeyScan& key(const QString& name)
    {
        const QByteArray quoted = '"' + name.toUtf8() + '"';
        for (int from = pos_; (from = int(text_.indexOf(quoted, from))) >= 0; ++from) {
            int after = from + int(quoted.size());
            while (after < text_.size() && QByteArrayLiteral(" \t\r\n").contains(text_.at(after)))
                ++after;
            if (after < text_.size() && text_.at(after) == ':') {
                pos_ = from;
                break;
            }
        }
        return *this;
    }
    // To the `n`th (from 0) of an array of flat objects.
    KeyScan& entry(int n)
    {
        for (int i = 0, brace = 0; i <= n && (brace = int(text_.indexOf('{', pos_ + 1))) >= 0; ++i)
            pos_ = brace;
        return *this;
    }
    int line() const { return int(text_.left(pos_).count('\n')) + 1; }

private:
    const QByteArray& text_;
    int pos_ = 0;
};

// The first key given twice in one object, and its line. The JSON reader
// keeps the last silently (and Qt 5.15's leaks the first when it holds an
// object), where a group or setting given twice is a mistake in the file.
bool repeatedKey(const QByteArray& text, QString* key, int* line)
{
    // The keys of each open object; an array holds none.
    std::vector<std::optional<QSet<QString>>> open;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '{' || c == '[')
            open.push_back(c == '{' ? std::optional<QSet<QString>>(QSet<QString>()) : std::nullopt);
        else if ((c == '}' || c == ']') && !open.empty())
            open.pop_back();
        if (c != '"')
            continue;
        int end = i + 1;
        while (end < text.size() && text.at(end) != '"')
            end += text.at(end) == '\\' ? 2 : 1;
        int after = end + 1;
        while (after < text.size() && QByteArrayLiteral(" \t\r\n").contains(text.at(after)))
            ++after;
        if (after < text.size() && text.at(after) == ':' && !open.empty() && open.back()) {
            // A one-string array reads the escapes as the parser does.
            const QJsonValue name = QJsonDocument::fromJson('[' + text.mid(i, end + 1 - i) + ']').array().at(0);
            *key = name.toString();
            if (name.isString() && open.back()->contains(*key)) {
                *line = int(text.left(i).count('\n')) + 1;
                return true;
            }
            open.back()->insert(*key);
        }
        i = end;
    }
    return false;
}

// "fonts": {"table": [...], "files": [...]}, each row a flat object.
bool parseFonts(const QJsonObject& fonts, const QByteArray& text, SettingsFile* file, QString* error)
{
    static const QRegularExpression md5Hex(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    const qint64 maxSize = InstalledFont::kSchema().fields[InstalledFont::Size].max;
    for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        const QString name = kFontsKey + QLatin1Char('.') + it.key();
        const KeyScan at = KeyScan(text).key(kFontsKey).key(it.key());
        if (name != kTable && name != kFiles)
            return refuse(error, at.line(), name + QStringLiteral(": unknown setting"));
        if (!it.value().isArray())
            return refuse(error, at.line(), name + QStringLiteral(": an array expected"));
        file->lines.insert(name, at.line());
        std::vector<FontEntry> table;
        std::vector<FontFile> files;
        const QJsonArray rows = it.value().toArray();
        for (int row = 0; row < rows.size(); ++row) {
            const QString prefix = QStringLiteral("%1[%2].").arg(name).arg(row);
            const QJsonObject fields = rows.at(row).toObject();
            const auto line = [&](const QString& key) { return KeyScan(at).entry(row).key(key).line(); };
            if (!rows.at(row).isObject())
                return refuse(error, KeyScan(at).entry(row).line(), prefix.chopped(1) + ": an object expected");
            if (name == kTable) {
                FontEntry entry;
                for (auto f = fields.begin(); f != fields.end(); ++f) {
                    const int index = indexOf(entry.schema(), QStringLiteral("font.") + f.key());
                    QString why = f.key() + QStringLiteral(": unknown setting");
                    if (index < 0 || !setStrict(&entry, index, f.value(), &why))
                        return refuse(error, line(f.key()), prefix + withoutGroup(why));
                }
                table.push_back(entry);
                continue;
            }
            const QJsonValue fileName = fields.value(QStringLiteral("name"));
            const QJsonValue size = fields.value(QStringLiteral("size"));
            const QJsonValue md5 = fields.value(QStringLiteral("md5"));
            for (const QString& key : fields.keys()) {
                if (key != QLatin1String("name") && key != QLatin1String("size") && key != QLatin1String("md5"))
                    return refuse(error, line(key), prefix + key + QStringLiteral(": unknown setting"));
            }
            if (!fileName.isString() || !plainFileName(fileName.toString()))
                return refuse(
                    error, line(QStringLiteral("name")), prefix + QStringLiteral("name: a file name expected"));
            const double bytes = size.toDouble(-1);
            if (!(bytes >= 0 && bytes <= maxSize) || bytes != qint64(bytes))
                return refuse(error, line(QStringLiteral("size")),
                    prefix + QStringLiteral("size: a whole number 0..%1 expected").arg(maxSize));
            if (!md5.isUndefined() && !md5Hex.match(md5.toString()).hasMatch())
                return refuse(
                    error, line(QStringLiteral("md5")), prefix + QStringLiteral("md5: 32 hex digits expected"));
            files.push_back({fileName.toString(), qint64(bytes), QByteArray::fromHex(md5.toString().toLatin1())});
        }
        if (name == kTable)
            file->fontTable = table;
        else
            file->fontFiles = files;
    }
    return true;
}

QJsonArray tableJson(const std::vector<FontEntry>& table)
{
    QJsonArray rows;
    for (const FontEntry& entry : table) {
        QJsonObject fields;
        for (int i = 0; i < int(entry.schema().fields.size()); ++i)
            fields.insert(withoutGroup(QLatin1String(entry.field(i).name)), entry.json(i));
        rows.append(fields);
    }
    return rows;
}

// One value as JSON text. Written here for the common kinds, since a
// document per value made writing a fleet's backups slow; Qt's writer takes
// the rest.
QByteArray jsonText(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? "true" : "false";
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::abs(number) < 9e15 && number == std::floor(number))
            return QByteArray::number(qint64(number));
    }
    if (value.isString()) {
        const QString text = value.toString();
        if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); })) {
            QByteArray out = "\"";
            for (const char c : text.toUtf8()) {
                if (c == '"' || c == '\\')
                    out.append('\\').append(c);
                else if (quint8(c) < 0x20)
                    out.append("\\u00").append(QByteArray::number(quint8(c), 16).rightJustified(2, '0'));
                else
                    out.append(c);
            }
            return out.append('"');
        }
    }
    return QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

// An object written with its members in the order given: indented, or on
// one line when `indent` is negative.
QByteArray object(const QList<QPair<QString, QByteArray>>& members, int indent)
{
    const QByteArray pad(std::max(indent, 0) * 4, ' ');
    const QByteArray between = indent < 0 ? ", " : ",\n" + pad + "    ";
    QByteArrayList parts;
    for (const auto& member : members)
        parts << jsonText(member.first) + ": " + member.second;
    if (indent < 0)
        return '{' + parts.join(between) + '}';
    return "{\n" + pad + "    " + parts.join(between) + '\n' + pad + '}';
}

// The file's value of every field of `value` that a file can hold; a value
// the printer keeps outside its field (positions with receipt paper) could
// not be applied as it stands.
template <class T> void keep(const std::optional<T>& value, SettingsFile* file, const std::vector<int>& skip = {})
{
    for (int i = 0; value && i < int(T::kSchema().fields.size()); ++i) {
        const QString name = QLatin1String(value->field(i).name);
        QJsonValue normal;
        QString error;
        if (std::find(skip.begin(), skip.end(), i) == skip.end()
            && checkField<T>(name, value->json(i), &normal, &error))
            file->values.insert(name, normal);
    }
}

void failPlan(Plan* plan, const QString& error)
{
    if (plan->error.isEmpty())
        plan->error = error;
}

// The record `T` from what the printer holds with `wanted`'s fields over it,
// when that changes what the printer keeps.
template <class T> void planRecord(const QMap<QString, QJsonValue>& wanted, const PrinterState& state, Plan* plan)
{
    const Schema& schema = T::kSchema();
    std::vector<int> indexes;
    for (int i = 0; i < int(schema.fields.size()); ++i) {
        if (wanted.contains(QLatin1String(schema.fields[size_t(i)].name)))
            indexes.push_back(i);
    }
    const std::optional<T> before = held<T>(state);
    if (indexes.empty())
        return;
    if (!before)
        return failPlan(plan, QStringLiteral("%1: not read from the printer").arg(schema.fields.front().name));
    T value = *before;
    QString error;
    for (int i : indexes) {
        if (!value.setJson(i, wanted.value(QLatin1String(value.field(i).name)), &error))
            return failPlan(plan, error);
    }
    const T sent = sending(value);
    bool changed = false;
    for (int i : indexes) {
        const QString name = QLatin1String(sent.field(i).name);
        // A field the record cannot carry with the rest (a black-mark
        // position with receipt paper) is compared as sent, as the printer
        // will keep it: listed as a change, it would be a read-back mismatch
        // on every apply and a difference on every drift.
        if (sent.json(i) != wanted.value(name))
            plan->notes << QStringLiteral("%1: kept only with black-mark paper").arg(name);
        if (sent.json(i) != before->json(i)) {
            plan->changes.push_back({name, before->json(i), sent.json(i)});
            changed = true;
        }
    }
    if (changed)
        plan->records.push_back(sent.bytes());
}

// The printer never reports its Wi-Fi password: the credentials go only with
// an SSID that differs.
void planCredentials(const QMap<QString, QJsonValue>& wanted, const PrinterState& state, Plan* plan)
{
    const QJsonValue after = wanted.value(kSsid, QJsonValue(QJsonValue::Undefined));
    const QJsonValue before = state.network ? state.network->json(NetworkInfo::WifiSsid) : QJsonValue();
    if (wanted.contains(kPassword) && (after.isUndefined() || before == after))
        plan->notes << QStringLiteral("wifi.password: written only with a wifi.ssid that differs");
    if (after.isUndefined() || before == after)
        return;
    if (!state.network)
        return failPlan(plan, QStringLiteral("wifi.ssid: not read from the printer"));
    if (!wanted.contains(kPassword))
        return failPlan(plan, QStringLiteral("wifi.ssid: differs, and no wifi.password is given"));
    WifiCredentials credentials;
    QString error;
    if (!credentials.setJson(WifiCredentials::Ssid, after, &error)
        || !credentials.setJson(WifiCredentials::Password, wanted.value(kPassword), &error))
        return failPlan(plan, error);
    plan->changes.push_back({kSsid, before, after});
    plan->records.push_back(credentials.bytes());
}

// The printer's size of a font file, null when it lacks the file.
QJsonValue installedSize(const std::vector<InstalledFont>& files, const QString& name)
{
    for (const InstalledFont& installed : files) {
        if (installed.text(InstalledFont::Name) == name)
            return installed.json(InstalledFont::Size);
    }
    return QJsonValue::Null;
}

void planFonts(const SettingsFile& file, const PrinterState& state, Plan* plan)
{
    if (file.fontTable && !state.fontTable)
        failPlan(plan, kTable + QStringLiteral(": not read from the printer"));
    else if (file.fontTable && tableJson(*file.fontTable) != tableJson(*state.fontTable)) {
        plan->changes.push_back({kTable, tableJson(*state.fontTable), tableJson(*file.fontTable)});
        plan->fontTable = file.fontTable;
    }
    if (file.fontFiles && !state.fontFiles)
        return failPlan(plan, kFiles + QStringLiteral(": not read from the printer"));
    for (const FontFile& wanted : file.fontFiles ? *file.fontFiles : std::vector<FontFile>()) {
        const QJsonValue before = installedSize(*state.fontFiles, wanted.name);
        if (before != QJsonValue(double(wanted.size))) {
            plan->changes.push_back({kFiles + QLatin1Char('.') + wanted.name, before, double(wanted.size)});
            plan->fontsToInstall.push_back(wanted);
        }
    }
}

// The value `state` shows for a change's name; undefined when not read.
QJsonValue shown(const PrinterState& state, const QString& name)
{
    if (name == kSsid)
        return state.network ? state.network->json(NetworkInfo::WifiSsid) : QJsonValue(QJsonValue::Undefined);
    if (name == kTable)
        return state.fontTable ? QJsonValue(tableJson(*state.fontTable)) : QJsonValue(QJsonValue::Undefined);
    if (name.startsWith(kFiles + QLatin1Char('.')))
        return state.fontFiles ? installedSize(*state.fontFiles, name.mid(kFiles.size() + 1))
                               : QJsonValue(QJsonValue::Undefined);
    const Writable* w = findWritable(name);
    return w && w->current ? w->current(state, name) : QJsonValue(QJsonValue::Undefined);
}

} // namespace

QString PrinterState::project() const
{
    return identity ? identity->text(DeviceIdentity::Project) : QString();
}

QString PrinterState::model() const
{
    return identity ? identity->text(DeviceIdentity::Model) : device ? device->text(DeviceInfo::Model) : QString();
}

QString PrinterState::serialNumber() const
{
    return identity ? identity->text(DeviceIdentity::Sn) : device ? device->text(DeviceInfo::Sn) : QString();
}

bool SettingsFile::setsStaticAddress() const
{
    return values.contains(QStringLiteral("ethernet.static_ip")) || values.contains(QStringLiteral("wifi.static_ip"));
}

bool SettingsFile::parse(const QByteArray& text, SettingsFile* file, QString* error)
{
    // JSON has no raw control characters but white space; Qt's parser takes
    // some inside strings and reads them back otherwise.
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (quint8(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return refuse(error, int(text.left(i).count('\n')) + 1, QStringLiteral("a control character (JSON)"));
    }
    QString key;
    int keyLine = 0;
    if (repeatedKey(text, &key, &keyLine))
        return refuse(error, keyLine, QStringLiteral("\"%1\" given twice").arg(key));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const int line = int(text.left(parseError.offset).count('\n')) + 1;
        return refuse(error, line, parseError.errorString() + QStringLiteral(" (JSON)"));
    }
    if (!document.isObject())
        return refuse(error, 1, QStringLiteral("a JSON object expected"));
    const QJsonObject root = document.object();
    if (root.value(kFormatKey) != QLatin1String(kFormat))
        return refuse(error, KeyScan(text).key(kFormatKey).line(),
            QStringLiteral("format: \"%1\" expected").arg(QLatin1String(kFormat)));
    const QJsonValue version = root.value(kVersionKey);
    if (version != kVersion)
        return refuse(error, KeyScan(text).key(kVersionKey).line(),
            version.isDouble()
                ? QStringLiteral("format version %1 is not supported, %2 is").arg(version.toDouble()).arg(kVersion)
                : QStringLiteral("version: %1 expected").arg(kVersion));

    SettingsFile parsed;
    for (auto group = root.begin(); group != root.end(); ++group) {
        const QString key = group.key();
        const int line = KeyScan(text).key(key).line();
        if (key == kFormatKey || key == kVersionKey)
            continue;
        if (key != kSourceKey && key != kFontsKey && !isGroup(key))
            return refuse(error, line, QStringLiteral("unknown group \"%1\"").arg(key));
        if (!group.value().isObject())
            return refuse(error, line, key + QStringLiteral(": an object expected"));
        const QJsonObject members = group.value().toObject();
        if (key == kSourceKey)
            parsed.source = members;
        if (key == kFontsKey && !parseFonts(members, text, &parsed, error))
            return false;
        for (auto it = members.begin(); isGroup(key) && it != members.end(); ++it) {
            const QString name = key + QLatin1Char('.') + it.key();
            const int memberLine = KeyScan(text).key(key).key(it.key()).line();
            QJsonValue normal;
            QString why;
            if (!checkValue(name, it.value(), &normal, &why))
                return refuse(error, memberLine, why);
            parsed.values.insert(name, normal);
            parsed.lines.insert(name, memberLine);
        }
    }
    *file = parsed;
    return true;
}

QByteArray SettingsFile::toJson() const
{
    QList<QPair<QString, QByteArray>> top
        = {{kFormatKey, jsonText(QLatin1String(kFormat))}, {kVersionKey, jsonText(kVersion)}};
    QList<QPair<QString, QByteArray>> members;
    for (auto it = source.begin(); it != source.end(); ++it)
        members.append({it.key(), jsonText(it.value())});
    if (!members.isEmpty())
        top.append({kSourceKey, object(members, 1)});
    // A group's records stand next to each other in the table (Wi-Fi has two).
    const auto end = std::end(kWritable);
    for (auto w = std::begin(kWritable); w != end;) {
        members.clear();
        const char* group = w->group;
        for (; w != end && qstrcmp(w->group, group) == 0; ++w) {
            for (const Field& f : w->schema().fields) {
                const auto value = values.constFind(QLatin1String(f.name));
                if (value != values.cend())
                    members.append({withoutGroup(QLatin1String(f.name)), jsonText(*value)});
            }
        }
        if (!members.isEmpty())
            top.append({QLatin1String(group), object(members, 1)});
    }
    QList<QPair<QString, QByteArray>> fonts;
    const auto rows = [](const QByteArrayList& items) {
        return items.isEmpty() ? QByteArray("[]") : "[\n            " + items.join(",\n            ") + "\n        ]";
    };
    if (fontTable) {
        QByteArrayList lines;
        for (const FontEntry& entry : *fontTable) {
            QList<QPair<QString, QByteArray>> fields;
            for (int i = 0; i < int(entry.schema().fields.size()); ++i)
                fields.append({withoutGroup(QLatin1String(entry.field(i).name)), jsonText(entry.json(i))});
            lines << object(fields, -1);
        }
        fonts.append({withoutGroup(kTable), rows(lines)});
    }
    if (fontFiles) {
        QByteArrayList lines;
        for (const FontFile& font : *fontFiles) {
            QList<QPair<QString, QByteArray>> fields = {
                {QStringLiteral("name"), jsonText(font.name)}, {QStringLiteral("size"), jsonText(double(font.size))}};
            if (!font.md5.isEmpty())
                fields.append({QStringLiteral("md5"), jsonText(QString::fromLatin1(font.md5.toHex()))});
            lines << object(fields, -1);
        }
        fonts.append({withoutGroup(kFiles), rows(lines)});
    }
    if (!fonts.isEmpty())
        top.append({kFontsKey, object(fonts, 1)});
    return object(top, 0) + '\n';
}

SettingsFile SettingsFile::fromState(
    const PrinterState& state, const QString& time, const std::optional<QString>& wifiPassword)
{
    SettingsFile file;
    file.source.insert(QStringLiteral("project"), state.project());
    file.source.insert(QStringLiteral("model"), state.model());
    file.source.insert(QStringLiteral("sn"), state.serialNumber());
    for (int i = DeviceInfo::HwVersion; state.device && i <= DeviceInfo::TtsVersion; ++i)
        file.source.insert(withoutGroup(QLatin1String(state.device->field(i).name)), state.device->json(i));
    file.source.insert(QStringLiteral("time"), time);

    // Only what the model has: another model's zeros would be applied as
    // settings (an address of 0.0.0.0 from a printer without Wi-Fi).
    const Features has = features(state.project(), state.model());
    keep(state.print, &file,
        has.compact ? std::vector<int>(std::begin(kCompactLacks), std::end(kCompactLacks)) : std::vector<int>());
    keep(state.serial, &file);
    keep(state.audio, &file);
    if (has.mobile)
        keep(held<ApnSettings>(state), &file);
    if (has.ethernet)
        keep(held<EthernetAddress>(state), &file);
    QJsonValue normal;
    QString error;
    if (has.wifi) {
        keep(held<WifiAddress>(state), &file);
        if (state.network && checkValue(kSsid, state.network->json(NetworkInfo::WifiSsid), &normal, &error))
            file.values.insert(kSsid, normal);
        if (wifiPassword && checkValue(kPassword, *wifiPassword, &normal, &error))
            file.values.insert(kPassword, normal);
    }
    // The table is written whole: a row that no file could hold leaves it out.
    const auto fits = [&](const FontEntry& entry) {
        FontEntry probe;
        for (int i = 0; i < int(entry.schema().fields.size()); ++i) {
            if (!setStrict(&probe, i, entry.json(i), &error))
                return false;
        }
        return true;
    };
    if (state.fontTable && std::all_of(state.fontTable->begin(), state.fontTable->end(), fits))
        file.fontTable = state.fontTable;
    if (state.fontFiles)
        file.fontFiles.emplace();
    for (const InstalledFont& installed : state.fontFiles ? *state.fontFiles : std::vector<InstalledFont>()) {
        const QString name = installed.text(InstalledFont::Name);
        if (plainFileName(name))
            file.fontFiles->push_back({name, installed.number(InstalledFont::Size), {}});
    }
    return file;
}

bool FleetVars::parse(const QByteArray& csv, FleetVars* vars, QString* error)
{
    const auto refuseAt = [&](int line, int column, const QString& why) {
        const QString at = column > 0 ? QStringLiteral("%1, column %2").arg(line).arg(column) : QString::number(line);
        if (error)
            *error = QStringLiteral("line %1: %2").arg(at, why);
        return false;
    };
    // Cells as in RFC 4180: a quoted cell may hold commas, doubled quotes and
    // line breaks. A spreadsheet's byte order mark goes.
    const QString text = QString::fromUtf8(csv).remove(QChar(0xFEFF));
    std::vector<std::pair<int, QStringList>> rows;
    QStringList cells;
    QString cell;
    int line = 1, rowLine = 1;
    bool inQuotes = false, closed = false;
    for (int i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text.at(i) : QChar(QLatin1Char('\n'));
        const bool quote = c == QLatin1Char('"');
        if (inQuotes && i == text.size())
            return refuseAt(rowLine, int(cells.size()) + 1, QStringLiteral("a quote is not closed"));
        if (inQuotes && quote && text.mid(i + 1, 1) == QLatin1String("\"")) {
            cell += text.at(++i);
        } else if (inQuotes || (quote && cell.isEmpty() && !closed)) {
            closed = inQuotes && quote;
            inQuotes = inQuotes != quote;
            cell += quote ? QString() : QString(c);
            line += c == QLatin1Char('\n') ? 1 : 0;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('\n')) {
            cells << cell;
            cell.clear();
            closed = false;
            if (c == QLatin1Char('\n') && cells != QStringList(QString()))
                rows.emplace_back(rowLine, cells);
            if (c == QLatin1Char('\n'))
                cells.clear(), rowLine = ++line;
        } else if (quote || (closed && c != QLatin1Char('\r'))) {
            return refuseAt(line, int(cells.size()) + 1, QStringLiteral("a quote inside a cell"));
        } else if (c != QLatin1Char('\r')) {
            cell += c;
        }
    }

    QStringList header;
    for (const QString& name : rows.empty() ? QStringList() : rows.front().second)
        header << name.trimmed();
    if (header.value(0) != QLatin1String("sn"))
        return refuseAt(1, 1, QStringLiteral("a header \"sn,<name>,...\" expected"));
    std::vector<const Field*> fields(size_t(header.size()), nullptr);
    for (int column = 1; column < header.size(); ++column) {
        const Writable* w = findWritable(header.at(column));
        if (!w || header.indexOf(header.at(column)) != column)
            return refuseAt(
                1, column + 1, w ? header.at(column) + QStringLiteral(": repeated") : notWritable(header.at(column)));
        fields[size_t(column)] = w->schema().find(header.at(column));
    }

    FleetVars parsed;
    QMap<QString, int> serialLines;
    for (size_t r = 1; r < rows.size(); ++r) {
        const auto& [at, values] = rows[r];
        const QString sn = values.front().trimmed();
        if (values.size() != header.size())
            return refuseAt(at, 0, QStringLiteral("%1 cells, the header has %2").arg(values.size()).arg(header.size()));
        if (sn.isEmpty() || serialLines.contains(sn))
            return refuseAt(at, 1,
                sn.isEmpty() ? QStringLiteral("sn: empty")
                             : QStringLiteral("sn: \"%1\" repeated (line %2)").arg(sn).arg(serialLines.value(sn)));
        serialLines.insert(sn, at);
        QMap<QString, QJsonValue>& own = parsed.bySerial[sn];
        // An empty cell leaves the file's value.
        for (int column = 1; column < header.size(); ++column) {
            const Field& f = *fields[size_t(column)];
            const QString word = values.at(column).trimmed().toLower();
            bool isNumber = false;
            const qint64 number = word.toLongLong(&isNumber);
            QJsonValue value = f.isText() ? values.at(column) : values.at(column).trimmed();
            if ((f.kind == Kind::Bit || f.kind == Kind::Switch16)
                && (word == QLatin1String("true") || word == QLatin1String("false")))
                value = word == QLatin1String("true");
            else if ((f.kind == Kind::Bit || f.kind == Kind::Switch16) && (number == 0 || number == 1) && isNumber)
                value = number == 1;
            else if (f.isNumber() && isNumber)
                value = double(number);
            QJsonValue normal;
            QString why;
            if (!values.at(column).isEmpty() && !checkValue(QLatin1String(f.name), value, &normal, &why))
                return refuseAt(at, column + 1, why);
            if (!values.at(column).isEmpty())
                own.insert(QLatin1String(f.name), normal);
        }
    }
    *vars = parsed;
    return true;
}

Plan makePlan(const SettingsFile& file, const PrinterState& state, const QMap<QString, QJsonValue>& vars)
{
    Plan plan;
    QMap<QString, QJsonValue> wanted = file.values;
    for (auto it = vars.begin(); it != vars.end(); ++it)
        wanted.insert(it.key(), it.value());

    const Features has = features(state.project(), state.model());
    const std::pair<const char*, const char*> lacking[] = {{has.mobile ? nullptr : "mobile", "the printer has no 4G"},
        {has.ethernet ? nullptr : "ethernet", "the printer has no Ethernet"},
        {has.wifi ? nullptr : "wifi", "the printer has no Wi-Fi"}};
    for (const auto& [group, why] : lacking) {
        const QString prefix = QLatin1String(group) + QLatin1Char('.');
        const qsizetype before = wanted.size();
        for (auto it = wanted.begin(); group && it != wanted.end();)
            it = it.key().startsWith(prefix) ? wanted.erase(it) : std::next(it);
        if (wanted.size() != before)
            plan.notes << QStringLiteral("%1: %2").arg(QLatin1String(group), QLatin1String(why));
    }
    for (int i : kCompactLacks) {
        const QString name = QLatin1String(PrintSettings::kSchema().fields[size_t(i)].name);
        if (has.compact && wanted.remove(name))
            plan.notes << QStringLiteral("%1: the printer has no such setting").arg(name);
    }

    planRecord<PrintSettings>(wanted, state, &plan);
    planRecord<SerialSettings>(wanted, state, &plan);
    planRecord<AudioSettings>(wanted, state, &plan);
    planRecord<ApnSettings>(wanted, state, &plan);
    // Last the records that may move the printer off its link: the Wi-Fi
    // network, then the addresses.
    planCredentials(wanted, state, &plan);
    planRecord<EthernetAddress>(wanted, state, &plan);
    planRecord<WifiAddress>(wanted, state, &plan);
    planFonts(file, state, &plan);
    return plan;
}

QStringList mismatches(const Plan& plan, const PrinterState& after)
{
    QStringList names;
    for (const Change& change : plan.changes) {
        if (shown(after, change.name) != change.after)
            names << change.name;
    }
    return names;
}

} // namespace settings
