#include "tools/printersim/simprinter.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "tools/printersim/simstatefile.h"

#include <QDebug>

#include <utility>

namespace {

QString hexId(quint16 id)
{
    return QStringLiteral("0x%1").arg(id, 4, 16, QLatin1Char('0'));
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
    return log_.open(path, error);
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

    switch (model_.apply(record)) {
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
