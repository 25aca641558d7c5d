#pragma once

#include "link/printersession.h"
#include "settings/settingsfile.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

// What one command did to one printer.
struct Outcome
{
    // As the user named it.
    QString printer;
    // The identity, and whatever was read.
    settings::PrinterState state;
    // "ok" unless the command says more ("changed", "unchanged", ...);
    // "error" whenever `error` is set.
    QString status = QStringLiteral("ok");
    QString error;
    std::vector<settings::Change> changes;
    QStringList notes;
    // The command's own output: extra JSON members, and lines for the table.
    QJsonObject json;
    QStringList lines;

    void fail(const QString& why)
    {
        status = QStringLiteral("error");
        error = why;
    }
};

// Runs one command on many printers at once, on this thread: up to `jobs`
// sessions side by side, each opened, handed to the work and closed. The
// outcomes stay in the order the printers were given.
class FleetRun final : public QObject
{
    Q_OBJECT

public:
    struct Printer
    {
        QString name;
        PrinterSession::Target target;
    };
    // Called with the session open; must call `done` exactly once.
    using Work = std::function<void(PrinterSession& session, Outcome& outcome, std::function<void()> done)>;

    FleetRun(std::vector<Printer> printers, int jobs, int timeoutMs, Work work, QObject* parent = nullptr);

    void start();
    const std::vector<Outcome>& outcomes() const { return outcomes_; }

Q_SIGNALS:
    void finished();

private:
    void startNext();
    void finish(size_t index, PrinterSession* session);

    std::vector<Printer> printers_;
    std::vector<Outcome> outcomes_;
    int jobs_;
    int timeoutMs_;
    Work work_;
    size_t next_ = 0;
    size_t running_ = 0;
    size_t done_ = 0;
    bool finished_ = false;
};
