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
    void log(const QString& tag, const QString& text) { log_.write(tag, text); }

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
    SimModel model_;
    QString statePath_;
    SimLog log_;
    SimWnet wnet_;
    SimFonts fonts_;
    int connections_ = 0;
    SimFaults faults_;
    QRandomGenerator random_;
};
