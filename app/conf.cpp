#include "app/conf.h"

#include "app/debuglog.h"
#include "link/packet.h"

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

    vidPidList.clear();
    const QString list = settings.value(QStringLiteral("VID_PID_List"), QString()).toString();
    static const QRegularExpression piece(QStringLiteral("^([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})$"));
    for (const QString& text : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = piece.match(text);
        if (!match.hasMatch())
            continue;
        bool vendorOk = false;
        bool productOk = false;
        const quint16 vendor = match.captured(1).toUShort(&vendorOk, 16);
        const quint16 product = match.captured(2).toUShort(&productOk, 16);
        if (!vendorOk || !productOk)
            continue;
        vidPidList.append(vidPid(vendor, product));
        LOG("VID/PID %04x:%04x loaded.", vendor, product);
    }
    if (vidPidList.isEmpty())
        vidPidList = kDefaultVidPids;
    settings.endGroup();

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
    QStringList pieces;
    for (quint32 entry : vidPidList)
        pieces.append(QString::asprintf("%04x:%04x", entry >> 16, entry & 0xFFFFu));
    settings.setValue(QStringLiteral("VID_PID_List"), pieces.join(QLatin1Char(';')));
    settings.endGroup();
}
