#include "tools/printerctl/fleetrun.h"

#include <QTimer>

FleetRun::FleetRun(std::vector<Printer> printers, int jobs, int timeoutMs, Work work, QObject* parent)
    : QObject(parent)
    , printers_(std::move(printers))
    , outcomes_(printers_.size())
    , jobs_(qMax(jobs, 1))
    , timeoutMs_(timeoutMs)
    , work_(std::move(work))
{
    for (size_t i = 0; i < printers_.size(); ++i)
        outcomes_[i].printer = printers_[i].name;
}

void FleetRun::start()
{
    if (printers_.empty()) {
        QTimer::singleShot(0, this, &FleetRun::finished);
        return;
    }
    startNext();
}

void FleetRun::startNext()
{
    while (running_ < size_t(jobs_) && next_ < printers_.size()) {
        const size_t index = next_++;
        ++running_;
        auto* session = new PrinterSession(this);
        session->setTimeoutMs(timeoutMs_);
        // A step may end within the call that starts it: every callback here
        // may come before `open` returns.
        session->open(printers_[index].target, [this, index, session](const QString& error) {
            Outcome& outcome = outcomes_[index];
            outcome.state = session->state();
            if (!error.isEmpty()) {
                outcome.fail(error);
                finish(index, session);
                return;
            }
            work_(*session, outcome, [this, index, session] { finish(index, session); });
        });
    }
}

void FleetRun::finish(size_t index, PrinterSession* session)
{
    Outcome& outcome = outcomes_[index];
    // What the work read; the identity at least.
    const settings::PrinterState& state = session->state();
    if (state.identity)
        outcome.state.identity = state.identity;
    session->close();
    session->deleteLater();
    --running_;
    ++done_;
    // From the event loop, never from within a session's callback.
    QTimer::singleShot(0, this, [this] {
        if (done_ < printers_.size()) {
            startNext();
            return;
        }
        if (finished_)
            return;
        finished_ = true;
        Q_EMIT finished();
    });
}
