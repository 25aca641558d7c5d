#include "tools/printersim/simwnet.h"

#include "settings/recordlayouts.h"

#include <QtGlobal>

#include <iterator>

namespace {

// Each status with the share of the restart time at which it is reached.
struct Step
{
    quint16 status;
    int percent;
};
constexpr Step kSteps[] = {
    {layout::wnet::Enabling, 0},
    {layout::wnet::Connecting, 50},
    {layout::wnet::Connected, 100},
};

} // namespace

SimWnet::SimWnet(QObject* parent)
    : QObject(parent)
    , timer_(this)
{
    timer_.setSingleShot(true);
    // Precise: tests place "Connected" between two of the host's polls.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SimWnet::step);
}

void SimWnet::restart()
{
    timer_.stop();
    started_.start();
    next_ = 0;
    step();
}

void SimWnet::step()
{
    Q_EMIT statusChanged(kSteps[next_].status);
    if (++next_ >= int(std::size(kSteps)))
        return;
    // From the restart, so that the delays of the steps do not add up.
    const qint64 due = qint64(restartMs_) * kSteps[next_].percent / 100;
    timer_.start(int(qMax<qint64>(0, due - started_.elapsed())));
}
