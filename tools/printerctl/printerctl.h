#pragma once

#include "link/discovery.h"
#include "tools/printerctl/ctloptions.h"
#include "tools/printerctl/fleetrun.h"

#include <QObject>

#include <functional>
#include <optional>

// The commands of tovra-printer-ctl: input checked completely before any
// printer is touched, then the printers served side by side, then one report
// in the order they were given.
class PrinterCtl final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;
    static constexpr int kExitDiffers = 2;

    explicit PrinterCtl(const CtlOptions& options, QObject* parent = nullptr);

    void start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    // Reads and checks what the command needs; false after reporting it.
    bool prepare();
    bool prepareSettingsFile(const QString& path);
    bool prepareSet();
    bool addPrinters(const QStringList& texts);
    // After discovery: what depends on how many printers there are.
    bool checkFleet();
    void discover(std::function<void(const QList<Discovery::Reply>&)> then);
    void runFleet();
    // What each printer goes through, by command.
    FleetRun::Work work();
    void applyWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void readWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void printTestWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void fontsWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void diagnosticsWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void restartMobileWork(PrinterSession& session, Outcome& outcome, std::function<void()> done);
    void showInfo(Outcome& outcome);
    void showValues(Outcome& outcome);
    void writeBackup(Outcome& outcome);
    QByteArray testPage(const settings::PrinterState& state) const;
    // The plan's missing font files from the fonts folder; an error when one
    // is not there as the file describes it.
    void reportDiscovery(const QList<Discovery::Reply>& replies);
    void report(const std::vector<Outcome>& outcomes);
    void refuse(const QString& message);

    CtlOptions options_;
    std::vector<FleetRun::Printer> printers_;
    settings::SettingsFile file_;
    std::optional<settings::FleetVars> vars_;
    std::optional<QString> wifiPassword_;
    PrinterSession::Parts readParts_ = PrinterSession::Information | PrinterSession::Records;
    QStringList names_;
    QByteArray fontData_;
};
