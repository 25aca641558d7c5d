// Any bytes into every record reader of the settings model, any JSON into
// every value, and any text into the settings file and fleet variables
// parsers; the first byte picks the reader (see `pick`). Properties checked,
// beyond no crash, leak or undefined behaviour: a record read is built back
// to the same bytes; a refused JSON map changes nothing; an accepted one, and
// an accepted settings file, survives its own JSON form.

#include "settings/settings.h"
#include "settings/settingsfile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

using namespace settings;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <class T> void readReply(QByteArray bytes)
{
    // Forced to this type's identifier, so that every input reaches every reader.
    if (T::replyId() != 0 && bytes.size() >= 2) {
        bytes[0] = char(T::replyId() & 0xFF);
        bytes[1] = char(T::replyId() >> 8);
    }
    const std::optional<T> value = T::fromReply(bytes);
    if (!value)
        return;
    const Schema& schema = T::kSchema();
    check(value->bytes().size() == schema.size);
    check(value->bytes().mid(2) == bytes.mid(schema.replyOffset, schema.size - 2));
    const QJsonObject fields = value->toJson();
    check(fields.size() == int(schema.fields.size()));
    if (!schema.readOnly()) {
        const std::optional<T> again = T::fromCommand(value->bytes());
        check(again && *again == *value);
    }
}

template <class T> void readJson(const QJsonObject& map)
{
    T value;
    const T before = value;
    QString error;
    if (!value.fromJson(map, &error)) {
        check(value == before && !error.isEmpty());
        return;
    }
    T copy;
    check(copy.fromJson(value.toJson(), &error) && copy.differences(value).isEmpty());
}

template <class... T> void pick(int index, const QByteArray& bytes)
{
    // The first input byte picks one type, so that each run reads one record.
    int i = 0;
    ((i++ == index ? readReply<T>(bytes) : void()), ...);
    if (index == i && bytes.startsWith('{')) {
        // Only what may be JSON is parsed as such: the parser is not under test.
        const QJsonObject map = QJsonDocument::fromJson(bytes).object();
        if (!map.isEmpty())
            (readJson<T>(map), ...);
    }
}

void readSettingsFile(const QByteArray& text)
{
    SettingsFile file;
    QString error;
    if (!SettingsFile::parse(text, &file, &error)) {
        check(error.startsWith(QLatin1String("line ")));
        return;
    }
    SettingsFile again;
    check(SettingsFile::parse(file.toJson(), &again, &error));
    check(again.values == file.values && again.fontTable == file.fontTable && again.source == file.source);
    check(again.fontFiles.has_value() == file.fontFiles.has_value());
    for (size_t i = 0; file.fontFiles && i < file.fontFiles->size(); ++i) {
        const FontFile& a = file.fontFiles->at(i);
        const FontFile& b = again.fontFiles->at(i);
        check(a.name == b.name && a.size == b.size && a.md5 == b.md5);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const int selector = data[0] % 17;
    pick<DeviceInfo, NetworkInfo, PrintSettings, WnetStatus, ApnSettings, SerialSettings, AudioSettings,
        EthernetAddress, WifiAddress, WifiCredentials, FontEntry, InstalledFont>(selector, bytes);
    if (selector == 13) {
        // The discovery reply and the handshake answer: nothing read past a field.
        if (const auto identity = DeviceIdentity::fromBytes(bytes))
            check(identity->bytes().left(bytes.size()) == bytes.left(identity->bytes().size())
                && identity->text(DeviceIdentity::Sn).size() <= 16);
    } else if (selector == 14 && bytes.size() <= 1024) {
        // Forty ranges of the longest form take 800 bytes.
        QByteArray slots;
        if (parseRanges(QString::fromUtf8(bytes), &slots))
            check(parseRanges(rangesText(slots), &slots));
    } else if (selector == 15) {
        readSettingsFile(bytes);
    } else if (selector == 16) {
        FleetVars vars;
        QString error;
        check(FleetVars::parse(bytes, &vars, &error) || error.startsWith(QLatin1String("line ")));
    }
    return 0;
}
