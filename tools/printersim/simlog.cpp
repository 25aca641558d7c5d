#include "tools/printersim/simlog.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "tools/printersim/simfonttable.h"

#include <QDateTime>

#include <cstdio>

namespace {

// One event, one line: texts from the wire must not break it.
QString singleLine(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    }
    return text;
}

} // namespace

bool SimLog::open(const QString& path, QString& error)
{
    bool opened = false;
    if (path == QLatin1String("-")) {
        opened = file_.open(stderr, QIODevice::WriteOnly);
    } else {
        file_.setFileName(path);
        opened = file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!opened)
        error = file_.errorString();
    return opened;
}

void SimLog::write(const QString& tag, const QString& text)
{
    if (!file_.isOpen())
        return;
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ')
        + (tag.isEmpty() ? QString() : tag + QLatin1Char(' ')) + text + QLatin1Char('\n');
    file_.write(line.toUtf8());
    // Somebody is usually watching the file while the host talks to us.
    file_.flush();
}

QString SimLog::recordName(quint16 id, Direction direction)
{
    using namespace layout;
    if (id >= readtype::kDeviceInfo && id <= readtype::kAudio) {
        if (direction == Direction::Received)
            return QStringLiteral("read request %1").arg(id);
        static const char* const replies[] = {"device information", "network information", "print settings",
            "mobile network", "serial settings", "audio settings"};
        return QLatin1String(replies[id - 1]);
    }
    switch (id) {
    case recordId(code::kEthernetAddress):
        return QStringLiteral("Ethernet address");
    case recordId(code::kWifiAddress):
        return QStringLiteral("Wi-Fi address");
    case recordId(code::kAudio):
        return QStringLiteral("audio settings");
    case recordId(code::kWifiCredentials):
        return QStringLiteral("Wi-Fi credentials");
    case recordId(code::kPrintSettings):
        return QStringLiteral("print settings");
    case recordId(code::kWnetApn):
        return QStringLiteral("APN");
    case recordId(code::kWnetRestart):
        return QStringLiteral("4G restart");
    case recordId(code::kSerial):
        return QStringLiteral("serial settings");
    case recordId(code::kFontTableRead):
        // The printer answers a read with entries under the same identifier.
        return direction == Direction::Received ? QStringLiteral("font table read")
                                                : QStringLiteral("font table entry");
    case recordId(code::kFontTableBegin):
        return QStringLiteral("font table begin");
    case recordId(code::kFontTableEntry):
        return QStringLiteral("font table entry");
    case recordId(code::kFontTableEnd):
        return QStringLiteral("font table end");
    case recordId(code::kFontTableReset):
        return QStringLiteral("font table reset");
    case recordId(code::kListDirectory):
        return QStringLiteral("list directory");
    case recordId(code::kUploadRequest):
        return QStringLiteral("upload request");
    case recordId(code::kUploadComplete):
        return QStringLiteral("upload complete");
    case recordId(code::kDeleteFile):
        return QStringLiteral("delete file");
    default:
        return QString();
    }
}

QString SimLog::describe(const QByteArray& record, Direction direction)
{
    using namespace layout;
    const RecordReader reader(record);
    const quint16 id = reader.u16(kIdOffset);
    const QString name = recordName(id, direction);
    QString text = QStringLiteral("0x%1 %2, %3 bytes: ")
                       .arg(id, 4, 16, QLatin1Char('0'))
                       .arg(name.isEmpty() ? QStringLiteral("unknown record") : name)
                       .arg(record.size());
    if (id == recordId(code::kWifiCredentials)) {
        // Whatever its length, nothing from the password field on is shown.
        const QByteArray shown = record.left(wificred::kPassword);
        text += QStringLiteral("ssid \"%1\", password masked; ")
                    .arg(singleLine(reader.utf8(wificred::kSsid, wificred::kFieldWidth)));
        text += QString::fromLatin1(shown.toHex(' '));
        if (record.size() > shown.size())
            text += QStringLiteral(" [%1 bytes masked]").arg(record.size() - shown.size());
        return text;
    }
    const bool fontEntry = direction == Direction::Received ? id == recordId(code::kFontTableEntry)
                                                            : id == recordId(code::kFontTableRead);
    SimFontEntry entry;
    if (fontEntry && simfonttable::parse(record, entry)) {
        text += singleLine(QStringLiteral("%1 %2 %3%4; ")
                               .arg(entry.script, entry.language, entry.fontFile,
                                   entry.enabled ? QString() : QStringLiteral(" (disabled)")));
    }
    return text + QString::fromLatin1(record.toHex(' '));
}
