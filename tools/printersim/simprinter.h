#pragma once

#include "tools/printersim/simfaults.h"
#include "tools/printersim/simfonts.h"
#include "tools/printersim/simlog.h"
#include "tools/printersim/simmodel.h"
#include "tools/printersim/simwnet.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

#include <memory>

// The simulated printer itself, shared by all connections: its model (state,
// replies, settings), the state file and the traffic log. Sessions hand it
// the records they decrypt; what it does with them lives here.
class SimPrinter final : public QObject
{
    Q_OBJECT

public:
    // `statePath` empty: the state lives in memory only.
    SimPrinter(SimModel model, QString statePath, QObject* parent = nullptr);

    bool openLog(const QString& path, QString& error);
    // A fleet's printers write one log; `prefix` (the printer's address)
    // starts each of this printer's lines.
    void shareLog(std::shared_ptr<SimLog> log, const QString& prefix);
    void log(const QString& tag, const QString& text);

    const SimModel& model() const { return model_; }
    SimFonts& fonts() { return fonts_; }
    // From the 4G restart command to "Connected".
    void setWnetRestartMs(int ms) { wnet_.setRestartMs(ms); }
    QString nextConnectionTag() { return QStringLiteral("#%1").arg(++connections_); }
    // What to get wrong on purpose; the random source follows the seed.
    void setFaults(const SimFaults& faults)
    {
        faults_ = faults;
        random_.seed(faults.seed);
    }
    const SimFaults& faults() const { return faults_; }
    // Whether the ignore fault can keep this setting: a writable field of a
    // record the printer applies.
    static bool canIgnore(const QString& name);
    QRandomGenerator& faultRandom() { return random_; }

    // Acts on one record from the host; returns the reply record, empty when
    // the record gets none.
    QByteArray handleRecord(const QByteArray& record, const QString& tag);
    // A whole font table the host applied, or the default one back; both
    // are logged and saved.
    void setFontTable(const SimFontTable& table, const QString& tag);
    void resetFontTable(const QString& tag);
    // Writes the state file when there is one; false (and logged) on failure.
    bool saveState();

Q_SIGNALS:
    void settingsApplied(quint16 id);
    // The 4G module's status changed; the next type-4 reply carries it.
    void wnetStatusChanged(quint16 status);

private:
    // `record` with the ignored field's bytes as the printer holds them.
    QByteArray keepIgnoredField(const QByteArray& record, const QString& tag);

    SimModel model_;
    QString statePath_;
    std::shared_ptr<SimLog> log_ = std::make_shared<SimLog>();
    QString logPrefix_;
    SimWnet wnet_;
    SimFonts fonts_;
    int connections_ = 0;
    SimFaults faults_;
    QRandomGenerator random_;
};
