#include "settings/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <type_traits>

namespace settings {

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kVersionKey = QStringLiteral("version");
const QString kSourceKey = QStringLiteral("source");
const QString kFontsKey = QStringLiteral("fonts");
const QString kTableKey = QStringLiteral("table");
const QString kFilesKey = QStringLiteral("files");
const QString kSsid = QStringLiteral("wifi.ssid");
const QString kPassword = QStringLiteral("wifi.password");
const QString kFontPrefix = QStringLiteral("font.");
const QString kFilesPrefix = QStringLiteral("fonts.files.");

// The print fields a compact printer lacks: the window's paper layout, cover
// and paper-not-taken groups.
constexpr PrintSettings::Fields kCompactLacks[] = {PrintSettings::PaperType, PrintSettings::BlackMarkLocation,
    PrintSettings::PrintPosition, PrintSettings::CutPosition, PrintSettings::CoverFeed, PrintSettings::StopWhenNotTaken,
    PrintSettings::VoiceWhenNotTaken};

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

// The record as it goes out.
PrintSettings sending(const PrintSettings& value)
{
    return value.forSending();
}
template <class T> T sending(const T& value)
{
    return value;
}

// Sets one field from JSON. Stricter than setJson, which lets through the
// value a record already holds: a default's 0 must not pass for a density.
template <class T> bool setStrict(T* record, int index, const QJsonValue& value, QString* error)
{
    if (!record->setJson(index, value, error))
        return false;
    const Field& f = record->field(index);
    if (!f.isNumber() || T().setNumber(index, qint64(value.toDouble())))
        return true;
    // From a value that fits, setJson refuses this one with its own words.
    T probe;
    probe.setNumber(index, f.choices.empty() ? f.min : f.choices.front().value);
    probe.setJson(index, value, error);
    return false;
}

// A file's value for `name` checked on a default record, and its normal
// form (addresses and ranges as the record writes them).
template <class T> bool checkField(const QString& name, const QJsonValue& value, QJsonValue* normal, QString* error)
{
    T probe;
    const int index = int(probe.schema().find(name) - probe.schema().fields.data());
    if (!setStrict(&probe, index, value, error))
        return false;
    *normal = probe.json(index);
    return true;
}

template <class T> QJsonValue heldValue(const PrinterState& state, const QString& name)
{
    const std::optional<T> value = held<T>(state);
    const Field* f = T::kSchema().find(name);
    return value && f ? value->json(int(f - T::kSchema().fields.data())) : QJsonValue(QJsonValue::Undefined);
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
    // Never read back: the SSID is compared with the network information's.
    {"wifi", &WifiCredentials::kSchema, &checkField<WifiCredentials>, nullptr},
};

const Writable* findWritable(const QString& name)
{
    for (const Writable& w : kWritable) {
        if (w.schema().find(name))
            return &w;
    }
    return nullptr;
}

bool isGroup(const QString& key)
{
    for (const Writable& w : kWritable) {
        if (key == QLatin1String(w.group))
            return true;
    }
    return false;
}

QString notWritable(const QString& name)
{
    return WnetStatus::kSchema().find(name) ? QStringLiteral("%1: read only").arg(name)
                                            : QStringLiteral("%1: unknown setting").arg(name);
}

// Any writable setting by its dotted name, checked and in its normal form.
bool checkValue(const QString& name, const QJsonValue& value, QJsonValue* normal, QString* error)
{
    if (const Writable* w = findWritable(name))
        return w->check(name, value, normal, error);
    *error = notWritable(name);
    return false;
}

QString withoutGroup(const QString& name)
{
    return name.mid(name.indexOf(QLatin1Char('.')) + 1);
}

int lineAt(const QByteArray& text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

// Finds keys in the text read, for the line of a value the JSON parser no
// longer knows: each key is looked for after the one before it. A key
// written with escapes is not found, and the line stays that of its parent.
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
    // To the `n`th object (from 0) of an array of flat objects.
    KeyScan& entry(int n)
    {
        for (int i = 0; i <= n; ++i) {
            const int brace = int(text_.indexOf('{', pos_ + 1));
            if (brace < 0)
                break;
            pos_ = brace;
        }
        return *this;
    }
    int line() const { return lineAt(text_, pos_); }

private:
    const QByteArray& text_;
    int pos_ = 0;
};

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool parseTable(const QJsonValue& value, const QByteArray& text, SettingsFile* file, QString* error)
{
    const auto fail = [&](int line, const QString& why) {
        *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    };
    const QString name = QStringLiteral("fonts.table");
    if (!value.isArray())
        return fail(KeyScan(text).key(kFontsKey).key(kTableKey).line(), name + QStringLiteral(": an array expected"));
    std::vector<FontEntry> table;
    const QJsonArray rows = value.toArray();
    for (int row = 0; row < rows.size(); ++row) {
        const int line = KeyScan(text).key(kFontsKey).key(kTableKey).entry(row).line();
        const QString at = QStringLiteral("%1[%2]").arg(name).arg(row);
        if (!rows.at(row).isObject())
            return fail(line, at + QStringLiteral(": an object expected"));
        FontEntry entry;
        const QJsonObject fields = rows.at(row).toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            const Field* f = entry.schema().find(kFontPrefix + it.key());
            const int keyLine = KeyScan(text).key(kFontsKey).key(kTableKey).entry(row).key(it.key()).line();
            if (!f)
                return fail(keyLine, QStringLiteral("%1.%2: unknown setting").arg(at, it.key()));
            QString why;
            if (!setStrict(&entry, int(f - entry.schema().fields.data()), it.value(), &why))
                return fail(keyLine, at + QLatin1Char('.') + withoutGroup(why));
        }
        table.push_back(entry);
    }
    file->fontTable = table;
    file->lines.insert(name, KeyScan(text).key(kFontsKey).key(kTableKey).line());
    return true;
}

bool parseFiles(const QJsonValue& value, const QByteArray& text, SettingsFile* file, QString* error)
{
    const auto fail = [&](int line, const QString& why) {
        *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    };
    const QString name = QStringLiteral("fonts.files");
    if (!value.isArray())
        return fail(KeyScan(text).key(kFontsKey).key(kFilesKey).line(), name + QStringLiteral(": an array expected"));
    static const QRegularExpression md5Hex(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    const Field& nameField = InstalledFont::kSchema().fields[InstalledFont::Name];
    const Field& sizeField = InstalledFont::kSchema().fields[InstalledFont::Size];
    std::vector<FontFile> files;
    const QJsonArray rows = value.toArray();
    for (int row = 0; row < rows.size(); ++row) {
        const int line = KeyScan(text).key(kFontsKey).key(kFilesKey).entry(row).line();
        const QString at = QStringLiteral("%1[%2]").arg(name).arg(row);
        const QJsonObject fields = rows.at(row).toObject();
        const QJsonValue fileName = fields.value(QStringLiteral("name"));
        const QJsonValue size = fields.value(QStringLiteral("size"));
        const QJsonValue md5 = fields.value(QStringLiteral("md5"));
        if (!rows.at(row).isObject())
            return fail(line, at + QStringLiteral(": an object expected"));
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.key() != QLatin1String("name") && it.key() != QLatin1String("size")
                && it.key() != QLatin1String("md5"))
                return fail(line, QStringLiteral("%1.%2: unknown setting").arg(at, it.key()));
        }
        // A plain name: the file is looked up by it in a fonts folder.
        const QString plain = fileName.toString();
        if (!fileName.isString() || plain.isEmpty() || plain.toUtf8().size() > nameField.max
            || plain.contains(QLatin1Char('/')) || plain.contains(QLatin1Char('\\')) || plain == QLatin1String("..")
            || plain == QLatin1String("."))
            return fail(line, at + QStringLiteral(".name: a file name expected"));
        const double bytes = size.toDouble();
        if (!size.isDouble() || !(bytes >= 0 && bytes <= double(sizeField.max)) || bytes != qint64(bytes))
            return fail(line, at + QStringLiteral(".size: a whole number 0..%1 expected").arg(sizeField.max));
        if (!md5.isUndefined() && !md5Hex.match(md5.toString()).hasMatch())
            return fail(line, at + QStringLiteral(".md5: 32 hexadecimal digits expected"));
        files.push_back({plain, qint64(bytes), QByteArray::fromHex(md5.toString().toLatin1())});
    }
    file->fontFiles = files;
    file->lines.insert(name, KeyScan(text).key(kFontsKey).key(kFilesKey).line());
    return true;
}

QJsonObject withoutPrefix(const Record& record)
{
    QJsonObject fields;
    for (int i = 0; i < int(record.schema().fields.size()); ++i)
        fields.insert(withoutGroup(QLatin1String(record.field(i).name)), record.json(i));
    return fields;
}

QJsonArray tableJson(const std::vector<FontEntry>& table)
{
    QJsonArray rows;
    for (const FontEntry& entry : table)
        rows.append(withoutPrefix(entry));
    return rows;
}

bool sameTable(const std::vector<FontEntry>& a, const std::vector<FontEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!a[i].differences(b[i]).isEmpty())
            return false;
    }
    return true;
}

// One value as JSON text.
QByteArray jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// One object on one line, its keys in the order given.
QByteArray inlineObject(const std::vector<std::pair<QString, QJsonValue>>& members)
{
    QByteArrayList parts;
    for (const auto& [key, value] : members)
        parts << jsonText(key) + ": " + jsonText(value);
    return '{' + parts.join(", ") + '}';
}

// Indented members of an object, in the order given.
QByteArray block(const QList<QPair<QString, QByteArray>>& members, int indent)
{
    const QByteArray pad(indent * 4, ' ');
    QByteArrayList lines;
    for (const auto& member : members)
        lines << pad + "    " + jsonText(member.first) + ": " + member.second;
    return "{\n" + lines.join(",\n") + '\n' + pad + '}';
}

QByteArray arrayBlock(const QByteArrayList& items, int indent)
{
    if (items.isEmpty())
        return "[]";
    const QByteArray pad(indent * 4, ' ');
    return "[\n" + pad + "    " + items.join(",\n" + pad + "    ") + '\n' + pad + ']';
}

// The file's value of every field of `value` that its check accepts; a
// value the printer holds outside its field (positions with receipt paper)
// could not be applied as it stands.
template <class T> void keep(const std::optional<T>& value, SettingsFile* file, const std::vector<int>& skip = {})
{
    if (!value)
        return;
    for (int i = 0; i < int(value->schema().fields.size()); ++i) {
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

// The record `T` built from what the printer holds with `wanted`'s fields
// over it, when any of them changes what the printer keeps.
template <class T> void planRecord(const QMap<QString, QJsonValue>& wanted, const PrinterState& state, Plan* plan)
{
    const Schema& schema = T::kSchema();
    std::vector<int> indexes;
    for (int i = 0; i < int(schema.fields.size()); ++i) {
        if (wanted.contains(QLatin1String(schema.fields[size_t(i)].name)))
            indexes.push_back(i);
    }
    if (indexes.empty())
        return;
    const std::optional<T> before = held<T>(state);
    if (!before)
        return failPlan(plan, QStringLiteral("%1: not read from the printer").arg(schema.fields[0].name));
    T value = *before;
    QString error;
    for (int i : indexes) {
        if (!value.setJson(i, wanted.value(QLatin1String(schema.fields[size_t(i)].name)), &error))
            return failPlan(plan, error);
    }
    const T sent = sending(value);
    bool changed = false;
    for (int i : indexes) {
        const QString name = QLatin1String(schema.fields[size_t(i)].name);
        // A field the record cannot carry with the rest (the black-mark
        // positions with receipt paper) is compared as it is sent: what the
        // printer will keep. Listed as a change, it would be a read-back
        // mismatch on every apply and a difference on every drift.
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

// The credentials go only with an SSID that differs: the printer never
// reports its password, so an unchanged network is not written.
void planCredentials(const QMap<QString, QJsonValue>& wanted, const PrinterState& state, Plan* plan)
{
    if (!wanted.contains(kSsid)) {
        if (wanted.contains(kPassword))
            plan->notes << QStringLiteral("wifi.password: written only with a wifi.ssid that differs");
        return;
    }
    if (!state.network)
        return failPlan(plan, QStringLiteral("wifi.ssid: not read from the printer"));
    const QJsonValue before = state.network->json(NetworkInfo::WifiSsid);
    const QJsonValue after = wanted.value(kSsid);
    if (before == after) {
        if (wanted.contains(kPassword))
            plan->notes << QStringLiteral("wifi.password: not written, the SSID is the printer's");
        return;
    }
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

void planFonts(const SettingsFile& file, const PrinterState& state, Plan* plan)
{
    if (file.fontTable) {
        if (!state.fontTable)
            return failPlan(plan, QStringLiteral("fonts.table: not read from the printer"));
        if (!sameTable(*state.fontTable, *file.fontTable)) {
            plan->changes.push_back(
                {QStringLiteral("fonts.table"), tableJson(*state.fontTable), tableJson(*file.fontTable)});
            plan->fontTable = file.fontTable;
        }
    }
    if (file.fontFiles) {
        if (!state.fontFiles)
            return failPlan(plan, QStringLiteral("fonts.files: not read from the printer"));
        for (const FontFile& wanted : *file.fontFiles) {
            QJsonValue before = QJsonValue::Null;
            for (const InstalledFont& installed : *state.fontFiles) {
                if (installed.text(InstalledFont::Name) == wanted.name)
                    before = installed.json(InstalledFont::Size);
            }
            if (before != QJsonValue(double(wanted.size))) {
                plan->changes.push_back({kFilesPrefix + wanted.name, before, double(wanted.size)});
                plan->fontsToInstall.push_back(wanted);
            }
        }
    }
}

// The value `state` shows for a change's name; undefined when not read.
QJsonValue shown(const PrinterState& state, const QString& name)
{
    if (name == kSsid)
        return state.network ? state.network->json(NetworkInfo::WifiSsid) : QJsonValue(QJsonValue::Undefined);
    if (name == QLatin1String("fonts.table"))
        return state.fontTable ? QJsonValue(tableJson(*state.fontTable)) : QJsonValue(QJsonValue::Undefined);
    if (name.startsWith(kFilesPrefix)) {
        if (!state.fontFiles)
            return QJsonValue::Undefined;
        for (const InstalledFont& installed : *state.fontFiles) {
            if (installed.text(InstalledFont::Name) == name.mid(kFilesPrefix.size()))
                return installed.json(InstalledFont::Size);
        }
        return QJsonValue::Null;
    }
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
    if (identity)
        return identity->text(DeviceIdentity::Model);
    return device ? device->text(DeviceInfo::Model) : QString();
}

QString PrinterState::serialNumber() const
{
    if (identity)
        return identity->text(DeviceIdentity::Sn);
    return device ? device->text(DeviceInfo::Sn) : QString();
}

bool SettingsFile::setsStaticAddress() const
{
    return values.contains(QStringLiteral("ethernet.static_ip")) || values.contains(QStringLiteral("wifi.static_ip"));
}

bool SettingsFile::parse(const QByteArray& text, SettingsFile* file, QString* error)
{
    QString why;
    const auto fail = [&](int line, const QString& what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(lineAt(text, parseError.offset), parseError.errorString() + QStringLiteral(" (JSON)"));
    if (!document.isObject())
        return fail(1, QStringLiteral("a JSON object expected"));
    const QJsonObject root = document.object();
    const int formatLine = KeyScan(text).key(kFormatKey).line();
    if (root.value(kFormatKey) != QLatin1String(kFormat))
        return fail(formatLine, QStringLiteral("format: \"%1\" expected").arg(QLatin1String(kFormat)));
    const QJsonValue version = root.value(kVersionKey);
    const int versionLine = KeyScan(text).key(kVersionKey).line();
    if (!version.isDouble())
        return fail(versionLine, QStringLiteral("version: a number expected"));
    if (version.toDouble() != kVersion)
        return fail(versionLine,
            QStringLiteral("format version %1 is not supported, %2 is").arg(version.toDouble()).arg(kVersion));

    SettingsFile parsed;
    for (auto group = root.begin(); group != root.end(); ++group) {
        const QString key = group.key();
        const int line = KeyScan(text).key(key).line();
        if (key == kFormatKey || key == kVersionKey)
            continue;
        if (key != kSourceKey && key != kFontsKey && !isGroup(key))
            return fail(line, QStringLiteral("unknown group %1").arg(quoted(key)));
        if (!group.value().isObject())
            return fail(line, key + QStringLiteral(": an object expected"));
        const QJsonObject members = group.value().toObject();
        if (key == kSourceKey) {
            parsed.source = members;
            continue;
        }
        for (auto it = members.begin(); it != members.end(); ++it) {
            const int memberLine = KeyScan(text).key(key).key(it.key()).line();
            if (key == kFontsKey) {
                if (it.key() != kTableKey && it.key() != kFilesKey)
                    return fail(memberLine, QStringLiteral("fonts.%1: unknown setting").arg(it.key()));
                if (!(it.key() == kTableKey ? parseTable : parseFiles)(it.value(), text, &parsed, &why)) {
                    if (error)
                        *error = why;
                    return false;
                }
                continue;
            }
            const QString name = key + QLatin1Char('.') + it.key();
            QJsonValue normal;
            if (!checkValue(name, it.value(), &normal, &why))
                return fail(memberLine, why);
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
    if (!source.isEmpty()) {
        QList<QPair<QString, QByteArray>> members;
        for (auto it = source.begin(); it != source.end(); ++it)
            members.append({it.key(), jsonText(it.value())});
        top.append({kSourceKey, block(members, 1)});
    }
    QString group;
    QList<QPair<QString, QByteArray>> members;
    const auto endGroup = [&] {
        if (!members.isEmpty())
            top.append({group, block(members, 1)});
        members.clear();
    };
    for (const Writable& w : kWritable) {
        if (group != QLatin1String(w.group))
            endGroup();
        group = QLatin1String(w.group);
        for (const Field& f : w.schema().fields) {
            const QString name = QLatin1String(f.name);
            if (values.contains(name))
                members.append({withoutGroup(name), jsonText(values.value(name))});
        }
    }
    endGroup();
    QList<QPair<QString, QByteArray>> fonts;
    if (fontTable) {
        QByteArrayList rows;
        for (const FontEntry& entry : *fontTable) {
            std::vector<std::pair<QString, QJsonValue>> fields;
            for (int i = 0; i < int(entry.schema().fields.size()); ++i)
                fields.emplace_back(withoutGroup(QLatin1String(entry.field(i).name)), entry.json(i));
            rows << inlineObject(fields);
        }
        fonts.append({kTableKey, arrayBlock(rows, 2)});
    }
    if (fontFiles) {
        QByteArrayList rows;
        for (const FontFile& file : *fontFiles) {
            std::vector<std::pair<QString, QJsonValue>> fields
                = {{QStringLiteral("name"), file.name}, {QStringLiteral("size"), double(file.size)}};
            if (!file.md5.isEmpty())
                fields.emplace_back(QStringLiteral("md5"), QString::fromLatin1(file.md5.toHex()));
            rows << inlineObject(fields);
        }
        fonts.append({kFilesKey, arrayBlock(rows, 2)});
    }
    if (!fonts.isEmpty())
        top.append({kFontsKey, block(fonts, 1)});
    return block(top, 0) + '\n';
}

SettingsFile SettingsFile::fromState(
    const PrinterState& state, const QString& time, const std::optional<QString>& wifiPassword)
{
    SettingsFile file;
    file.source.insert(QStringLiteral("project"), state.project());
    file.source.insert(QStringLiteral("model"), state.model());
    file.source.insert(QStringLiteral("sn"), state.serialNumber());
    if (state.device) {
        for (int i = DeviceInfo::HwVersion; i <= DeviceInfo::TtsVersion; ++i)
            file.source.insert(withoutGroup(QLatin1String(state.device->field(i).name)), state.device->json(i));
    }
    file.source.insert(QStringLiteral("time"), time);

    // Only what the model has: another model's defaults would be applied
    // as settings (an address of 0.0.0.0 from a printer without Wi-Fi).
    const Features has = features(state.project(), state.model());
    keep(state.print, &file,
        has.compact ? std::vector<int>(std::begin(kCompactLacks), std::end(kCompactLacks)) : std::vector<int> {});
    keep(state.serial, &file);
    keep(state.audio, &file);
    if (has.mobile)
        keep(held<ApnSettings>(state), &file);
    if (has.ethernet)
        keep(held<EthernetAddress>(state), &file);
    if (has.wifi) {
        keep(held<WifiAddress>(state), &file);
        QJsonValue normal;
        QString error;
        if (state.network && checkValue(kSsid, state.network->json(NetworkInfo::WifiSsid), &normal, &error))
            file.values.insert(kSsid, normal);
        if (wifiPassword && checkValue(kPassword, *wifiPassword, &normal, &error))
            file.values.insert(kPassword, normal);
    }
    // The table is written whole: one row that no file could hold leaves it out.
    if (state.fontTable) {
        const auto fits = [](const FontEntry& entry) {
            for (int i = 0; i < int(entry.schema().fields.size()); ++i) {
                FontEntry probe;
                QString error;
                if (!setStrict(&probe, i, entry.json(i), &error))
                    return false;
            }
            return true;
        };
        if (std::all_of(state.fontTable->begin(), state.fontTable->end(), fits))
            file.fontTable = state.fontTable;
    }
    if (state.fontFiles) {
        file.fontFiles.emplace();
        for (const InstalledFont& installed : *state.fontFiles)
            file.fontFiles->push_back({installed.text(InstalledFont::Name), installed.number(InstalledFont::Size), {}});
    }
    return file;
}

bool FleetVars::parse(const QByteArray& csv, FleetVars* vars, QString* error)
{
    struct Row
    {
        int line;
        QStringList cells;
    };
    const auto fail = [&](int line, int column, const QString& why) {
        if (error)
            *error = column > 0 ? QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(why)
                                : QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    };

    // Cells as in RFC 4180: a quoted cell may hold commas, doubled quotes
    // and line breaks. A spreadsheet's byte order mark goes.
    QString text = QString::fromUtf8(csv);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    std::vector<Row> rows;
    Row row {1, {}};
    QString cell;
    int line = 1;
    bool inQuotes = false, closed = false;
    for (int i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text.at(i) : QChar(QLatin1Char('\n'));
        if (inQuotes && i == text.size())
            return fail(row.line, int(row.cells.size()) + 1, QStringLiteral("a quote is not closed"));
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                cell += text.at(++i);
            else if (c == QLatin1Char('"'))
                inQuotes = false, closed = true;
            else
                cell += c;
            line += c == QLatin1Char('\n') ? 1 : 0;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('\n')) {
            row.cells << cell;
            cell.clear();
            closed = false;
            if (c == QLatin1Char('\n')) {
                if (row.cells != QStringList {QString()})
                    rows.push_back(row);
                row = {++line, {}};
            }
        } else if (c == QLatin1Char('\r')) {
            continue;
        } else if (closed || (c == QLatin1Char('"') && !cell.isEmpty())) {
            return fail(line, int(row.cells.size()) + 1, QStringLiteral("a quote inside a cell"));
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
        } else {
            cell += c;
        }
    }

    if (rows.empty() || rows.front().cells.value(0).trimmed() != QLatin1String("sn"))
        return fail(1, 1, QStringLiteral("a header row \"sn,<name>,...\" expected"));
    QStringList header;
    for (const QString& name : rows.front().cells)
        header << name.trimmed();
    std::vector<const Field*> fields(size_t(header.size()), nullptr);
    for (int column = 1; column < header.size(); ++column) {
        const QString name = header.at(column);
        const Writable* w = findWritable(name);
        if (!w)
            return fail(1, column + 1, notWritable(name));
        if (header.indexOf(name) != column)
            return fail(1, column + 1, QStringLiteral("%1: repeated").arg(name));
        fields[size_t(column)] = w->schema().find(name);
    }

    FleetVars parsed;
    QMap<QString, int> serialLines;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Row& values = rows[r];
        if (values.cells.size() != header.size())
            return fail(values.line, 0,
                QStringLiteral("%1 cells, the header has %2").arg(values.cells.size()).arg(header.size()));
        const QString sn = values.cells.front().trimmed();
        if (sn.isEmpty())
            return fail(values.line, 1, QStringLiteral("sn: empty"));
        if (serialLines.contains(sn))
            return fail(
                values.line, 1, QStringLiteral("sn: %1 repeated (line %2)").arg(quoted(sn)).arg(serialLines[sn]));
        serialLines.insert(sn, values.line);
        QMap<QString, QJsonValue>& own = parsed.bySerial[sn];
        for (int column = 1; column < header.size(); ++column) {
            // An empty cell leaves the file's value.
            const QString cellText = values.cells.at(column);
            if (cellText.isEmpty())
                continue;
            const Field& f = *fields[size_t(column)];
            const QString name = QLatin1String(f.name);
            QJsonValue value = cellText;
            if (f.kind == Kind::Bit || f.kind == Kind::Switch16) {
                const QString word = cellText.trimmed().toLower();
                value = word == QLatin1String("true") || word == QLatin1String("1") ? QJsonValue(true)
                    : word == QLatin1String("false") || word == QLatin1String("0")  ? QJsonValue(false)
                                                                                    : value;
            } else if (f.isNumber()) {
                bool ok = false;
                const qint64 number = cellText.trimmed().toLongLong(&ok);
                if (ok)
                    value = double(number);
            } else if (f.kind == Kind::Ipv4) {
                value = cellText.trimmed();
            }
            QJsonValue normal;
            QString why;
            if (!checkValue(name, value, &normal, &why))
                return fail(values.line, column + 1, why);
            own.insert(name, normal);
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
    const auto skipGroup = [&](const char* group, bool present, const QString& why) {
        const QString prefix = QLatin1String(group) + QLatin1Char('.');
        bool held = false;
        for (auto it = wanted.begin(); it != wanted.end();) {
            const bool inGroup = !present && it.key().startsWith(prefix);
            held = held || inGroup;
            it = inGroup ? wanted.erase(it) : std::next(it);
        }
        if (held)
            plan.notes << QStringLiteral("%1: %2").arg(QLatin1String(group), why);
    };
    skipGroup("mobile", has.mobile, QStringLiteral("the printer has no 4G"));
    skipGroup("ethernet", has.ethernet, QStringLiteral("the printer has no Ethernet"));
    skipGroup("wifi", has.wifi, QStringLiteral("the printer has no Wi-Fi"));
    for (int i : kCompactLacks) {
        const QString name = QLatin1String(PrintSettings::kSchema().fields[size_t(i)].name);
        if (has.compact && wanted.remove(name))
            plan.notes << QStringLiteral("%1: the printer has no such setting").arg(name);
    }

    planRecord<PrintSettings>(wanted, state, &plan);
    planRecord<SerialSettings>(wanted, state, &plan);
    planRecord<AudioSettings>(wanted, state, &plan);
    planRecord<ApnSettings>(wanted, state, &plan);
    // The records that may move the printer off its link go last: the Wi-Fi
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
