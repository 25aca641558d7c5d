#pragma once

// What the fault tests watch while a fault plays: that memory stays bounded.

#include "testsupport.h"

#include <unistd.h>

inline qint64 residentBytes()
{
    const QList<QByteArray> fields = readFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

class LoopWatch final
{
public:
    qint64 growth() const { return residentBytes() - rssBefore_; }

private:
    qint64 rssBefore_ = residentBytes();
};
