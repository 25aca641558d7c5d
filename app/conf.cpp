#include "app/conf.h"

#include "app/debuglog.h"
#include "link/packet.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>

Conf conf;

namespace {

const char kGroup[] = "Conf";
const QList<quint32> kDefaultVidPids = {0x5A7C0002u, 0x5A7C00D2u};

QByteArray protocolValue(QSettings& settings, const char* key, const char* fallbackHex)
{
    const QByteArray fallback = QByteArray::fromHex(fallbackHex);
    if (!settings.contains(QLatin1String(key)))
        return fallback;
    const QString text = settings.value(QLatin1String(key)).toString();
    static const QRegularExpression hex32(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    if (!hex32.match(text).hasMatch()) {
        LOG("Protocol/%s ignored: not 32 hexadecimal digits.", key);
        return fallback;
    }
    return QByteArray::fromHex(text.toLatin1());
}

// A value as its line holds it, quotes removed: QSettings would end an
// unquoted value at ";" (a comment) and turn one with "," into a list.
QString rawValue(const QString& fileName, const char* group, const char* key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QString section = QLatin1Char('[') + QLatin1String(group) + QLatin1Char(']');
    const QLatin1String name(key);
    bool inGroup = false;
    QString value;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == section;
            continue;
        }
        if (!inGroup || !line.startsWith(name))
            continue;
        const QStringRef rest = line.midRef(name.size()).trimmed();
        // The last line of a key wins, as with QSettings.
        if (rest.startsWith(QLatin1Char('=')))
            value = rest.mid(1).trimmed().toString().remove(QLatin1Char('"'));
    }
    return value;
}

} // namespace

Conf::Conf(QObject* parent)
    : QObject(parent)
    , defaultKey(QByteArray::fromHex(packet::kDefaultKeyHex))
    , iv(QByteArray::fromHex(packet::kIvHex))
{
}

void Conf::load()
{
    QSettings settings(fileName, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    FileVersion = settings.value(QStringLiteral("FileVersion"), 0).toInt();
    Language = settings.value(QStringLiteral("Language"), 0).toInt();
    FontSettingsEnabled = settings.value(QStringLiteral("FontSettingsEnabled"), -1).toInt();

    settings.endGroup();

    vidPidList.clear();
    vidPidText_ = rawValue(fileName, kGroup, "VID_PID_List");
    vidPidIncomplete_ = false;
    static const QRegularExpression separators(QStringLiteral("[;,]"));
    static const QRegularExpression piece(QStringLiteral("^([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})$"));
    for (const QString& text : vidPidText_.split(separators, Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = piece.match(text);
        if (!match.hasMatch()) {
            LOG("VID/PID \"%s\" not read.", qUtf8Printable(text));
            vidPidIncomplete_ = true;
            continue;
        }
        const quint16 vendor = match.capturedRef(1).toUShort(nullptr, 16);
        const quint16 product = match.capturedRef(2).toUShort(nullptr, 16);
        vidPidList.append(vidPid(vendor, product));
        LOG("VID/PID %04x:%04x loaded.", vendor, product);
    }
    if (vidPidList.isEmpty())
        vidPidList = kDefaultVidPids;

    settings.beginGroup(QStringLiteral("Protocol"));
    defaultKey = protocolValue(settings, "DefaultKey", packet::kDefaultKeyHex);
    iv = protocolValue(settings, "IV", packet::kIvHex);
    settings.endGroup();
}

void Conf::save() const
{
    QSettings settings(fileName, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("FileVersion"), 1);
    settings.setValue(QStringLiteral("Language"), Language);
    if (FontSettingsEnabled >= 0)
        settings.setValue(QStringLiteral("FontSettingsEnabled"), FontSettingsEnabled != 0 ? 1 : 0);
    // A list with a piece that could not be read is written back as it was
    // found, so that no pair the user wrote is lost by the rewrite.
    QStringList pieces;
    for (quint32 entry : vidPidList)
        pieces.append(QString::asprintf("%04x:%04x", entry >> 16, entry & 0xFFFFu));
    settings.setValue(QStringLiteral("VID_PID_List"), vidPidIncomplete_ ? vidPidText_ : pieces.join(QLatin1Char(';')));
    settings.endGroup();
}
