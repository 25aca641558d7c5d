#pragma once

// What the fault tests watch while a fault plays: that the event loop keeps
// turning and that memory stays bounded.

#include "testsupport.h"

#include <QObject>
#include <QTest>
#include <QTimer>

#include <unistd.h>

inline qint64 residentBytes()
{
    const QList<QByteArray> fields = readFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

class LoopWatch final
{
public:
    LoopWatch()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { ++ticks_; });
        timer_.start();
    }
    // The loop turns now: another tick of a 10 ms timer comes.
    bool turned() const
    {
        const int seen = ticks_;
        return QTest::qWaitFor([this, seen] { return ticks_ > seen; }, 1000);
    }
    qint64 growth() const { return residentBytes() - rssBefore_; }

private:
    QTimer timer_;
    int ticks_ = 0;
    qint64 rssBefore_ = residentBytes();
};
