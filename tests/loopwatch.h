#pragma once

// What the fault tests watch while a fault plays: that the event loop keeps
// turning and that memory stays bounded.

#include "testsupport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <unistd.h>

inline qint64 residentBytes()
{
    const QList<QByteArray> fields = readFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Counts the turns of the event loop (a 10 ms timer) and the memory while a
// fault plays. A blocked GUI thread shows as a count far behind the clock.
class LoopWatch final
{
public:
    LoopWatch()
        : rssBefore_(residentBytes())
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { ++ticks_; });
        timer_.start();
        clock_.start();
    }
    // At least a few turns for every whole second that went by, and the loop
    // turning now (a fault over in a few milliseconds leaves no time for a tick).
    bool turned() const
    {
        const qint64 expected = std::max<qint64>(1, clock_.elapsed() / 1000 * 5);
        (void)QTest::qWaitFor([this] { return ticks_ >= 1; }, 1000);
        if (ticks_ < expected)
            qWarning("%d ticks in %lld ms", ticks_, clock_.elapsed());
        return ticks_ >= expected;
    }
    qint64 growth() const { return residentBytes() - rssBefore_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    int ticks_ = 0;
    qint64 rssBefore_;
};
