#include "tools/printersim/simprinter.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "settings/settings.h"
#include "tools/printersim/simstatefile.h"

#include <QDebug>

#include <utility>

namespace {

QString hexId(quint16 id)
{
    return QStringLiteral("0x%1").arg(id, 4, 16, QLatin1Char('0'));
}

// What the printer holds now, in the command form of a record it applies.
template <typename T> QByteArray heldAsCommand(const SimModel& model)
{
    const std::optional<T> value = T::fromReply(model.reply(T::replyId()));
    return value ? value->bytes() : QByteArray();
}

// The credentials are never read back; they are built from the state.
QByteArray heldCredentials(const SimModel& model)
{
    using namespace layout;
    return RecordWriter(wificred::kSize)
        .u16(kIdOffset, recordId(code::kWifiCredentials))
        .text(wificred::kSsid, wificred::kFieldWidth, model.state().wifi.ssid.toUtf8())
        .text(wificred::kPassword, wificred::kFieldWidth, model.state().wifi.password.toLatin1())
        .data();
}

// The settings records the model applies, for the ignore fault.
struct Writable
{
    const settings::Schema& (*schema)();
    QByteArray (*held)(const SimModel& model);
};

const Writable kWritables[] = {
    {&settings::PrintSettings::kSchema, &heldAsCommand<settings::PrintSettings>},
    {&settings::ApnSettings::kSchema, &heldAsCommand<settings::ApnSettings>},
    {&settings::SerialSettings::kSchema, &heldAsCommand<settings::SerialSettings>},
    {&settings::AudioSettings::kSchema, &heldAsCommand<settings::AudioSettings>},
    {&settings::EthernetAddress::kSchema, &heldAsCommand<settings::EthernetAddress>},
    {&settings::WifiAddress::kSchema, &heldAsCommand<settings::WifiAddress>},
    {&settings::WifiCredentials::kSchema, &heldCredentials},
};

// Bytes of a field in its record; bit fields take their byte.
int fieldSize(const settings::Field& field)
{
    using settings::Kind;
    switch (field.kind) {
    case Kind::U8:
    case Kind::Complement8:
    case Kind::Bit:
        return 1;
    case Kind::U16:
    case Kind::I16:
    case Kind::Switch16:
        return 2;
    case Kind::U32:
    case Kind::I32:
    case Kind::Ipv4:
        return 4;
    case Kind::Latin1:
    case Kind::Utf8:
    case Kind::Local8Bit:
    case Kind::Ranges:
        return field.width;
    }
    return 0;
}

} // namespace

SimPrinter::SimPrinter(SimModel model, QString statePath, QObject* parent)
    : QObject(parent)
    , model_(std::move(model))
    , statePath_(std::move(statePath))
    , wnet_(this)
{
    connect(&wnet_, &SimWnet::statusChanged, this, [this](quint16 status) {
        model_.setMobileStatus(status);
        log(QString(), QStringLiteral("4G module status %1").arg(status));
        Q_EMIT wnetStatusChanged(status);
    });
}

bool SimPrinter::openLog(const QString& path, QString& error)
{
    return log_->open(path, error);
}

void SimPrinter::shareLog(std::shared_ptr<SimLog> log, const QString& prefix)
{
    log_ = std::move(log);
    logPrefix_ = prefix;
}

void SimPrinter::log(const QString& tag, const QString& text)
{
    if (logPrefix_.isEmpty())
        log_->write(tag, text);
    else
        log_->write(tag.isEmpty() ? logPrefix_ : logPrefix_ + QLatin1Char(' ') + tag, text);
}

bool SimPrinter::canIgnore(const QString& name)
{
    for (const Writable& writable : kWritables) {
        if (writable.schema().find(name))
            return true;
    }
    return false;
}

QByteArray SimPrinter::keepIgnoredField(const QByteArray& record, const QString& tag)
{
    const QString& name = faults_.ignoreField;
    const quint16 id = RecordReader(record).u16(layout::kIdOffset);
    for (const Writable& writable : kWritables) {
        const settings::Schema& schema = writable.schema();
        const settings::Field* field = schema.find(name);
        if (!field || schema.commandId != id || record.size() != schema.size)
            continue;
        const RecordReader held(writable.held(model_));
        const RecordReader sent(record);
        const int size = fieldSize(*field);
        if (!held.has(field->offset, size))
            return record;
        RecordWriter kept(record);
        if (field->kind == settings::Kind::Bit) {
            const quint8 mask = quint8(field->width);
            kept.u8(field->offset, quint8((sent.u8(field->offset) & ~mask) | (held.u8(field->offset) & mask)));
        } else {
            kept.bytes(field->offset, held.bytes(field->offset, size));
        }
        if (kept.data() != record)
            log(tag, QStringLiteral("fault: ignored %1").arg(name));
        return kept.data();
    }
    return record;
}

QByteArray SimPrinter::handleRecord(const QByteArray& record, const QString& tag)
{
    using Direction = SimLog::Direction;
    if (record.size() < 2) {
        log(tag, QStringLiteral("dropped a %1-byte record: too short for an identifier").arg(record.size()));
        return QByteArray();
    }
    const quint16 id = RecordReader(record).u16(layout::kIdOffset);
    const QString name = SimLog::recordName(id, Direction::Received);

    const QByteArray reply = model_.reply(id);
    if (!reply.isEmpty())
        return reply;

    if (id == layout::recordId(layout::code::kWnetRestart)) {
        if (!SimModel::hasMobile(model_.identity())) {
            log(tag, QStringLiteral("ignored %1 %2: this model has no 4G module").arg(hexId(id), name));
            return QByteArray();
        }
        log(tag, QStringLiteral("restarting the 4G module: connected in %1 ms").arg(wnet_.restartMs()));
        wnet_.restart();
        return QByteArray();
    }

    switch (model_.apply(faults_.ignoreField.isEmpty() ? record : keepIgnoredField(record, tag))) {
    case ApplyResult::Applied:
        log(tag, QStringLiteral("applied %1 %2").arg(hexId(id), name));
        saveState();
        Q_EMIT settingsApplied(id);
        break;
    case ApplyResult::WrongLength:
        log(tag,
            QStringLiteral("refused %1 %2: %3 bytes, expected %4")
                .arg(hexId(id), name)
                .arg(record.size())
                .arg(SimModel::settingsLength(id)));
        break;
    case ApplyResult::NotSettings:
        // The session acts on font and file commands before they get here;
        // what is left of them is malformed.
        log(tag,
            name.isEmpty() ? QStringLiteral("ignored unknown record %1").arg(hexId(id))
                           : QStringLiteral("ignored %1 %2").arg(hexId(id), name));
        break;
    }
    return QByteArray();
}

void SimPrinter::setFontTable(const SimFontTable& table, const QString& tag)
{
    model_.setFontTable(table);
    log(tag, QStringLiteral("applied a font table of %1 entries").arg(table.size()));
    saveState();
    Q_EMIT settingsApplied(layout::recordId(layout::code::kFontTableEnd));
}

void SimPrinter::resetFontTable(const QString& tag)
{
    model_.setFontTable(simfonttable::defaults());
    log(tag, QStringLiteral("restored the default font table"));
    saveState();
    Q_EMIT settingsApplied(layout::recordId(layout::code::kFontTableReset));
}

bool SimPrinter::saveState()
{
    if (statePath_.isEmpty())
        return true;
    QString error;
    if (saveStateFile(statePath_, model_.state(), error))
        return true;
    const QString message = QStringLiteral("cannot save state to %1: %2").arg(statePath_, error);
    log(QString(), message);
    qWarning().noquote() << "tovra-printer-sim:" << message;
    return false;
}
