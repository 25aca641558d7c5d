#include "app/debuglog.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_LINUX)
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

constexpr size_t kLineSize = 1024;

QFile logFile;
// A std::mutex, which thread checkers see, unlike Qt's.
std::mutex logMutex;
char lineBuffer[kLineSize];
// Checked without the lock so that calls before logOpen or after logClose
// never wait on the mutex.
std::atomic<bool> logIsOpen {false};
std::atomic<bool> capturing {false};
QByteArray captured;

unsigned currentThreadTag()
{
#if defined(Q_OS_WIN)
    return static_cast<unsigned>(GetCurrentThreadId());
#elif defined(Q_OS_LINUX)
    return static_cast<unsigned>(syscall(SYS_gettid));
#else
    return static_cast<unsigned>(reinterpret_cast<quintptr>(QThread::currentThreadId()));
#endif
}

const char* baseName(const char* path)
{
    const char* name = path ? path : "";
    for (const char* p = name; *p; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name;
}

// snprintf returns the length it wanted; clamp it to what it wrote.
size_t written(int result, size_t room)
{
    if (result < 0 || room == 0)
        return 0;
    return std::min(static_cast<size_t>(result), room - 1);
}

} // namespace

bool logOpen()
{
    const std::lock_guard<std::mutex> lock(logMutex);
    if (logFile.isOpen())
        return true;
    logFile.setFileName(QStringLiteral("log.txt"));
    const bool ok = logFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
    logIsOpen = ok;
    return ok;
}

bool logOpenStream(FILE* stream)
{
    const std::lock_guard<std::mutex> lock(logMutex);
    if (logFile.isOpen())
        return true;
    const bool ok = logFile.open(stream, QIODevice::WriteOnly);
    logIsOpen = ok;
    return ok;
}

void logCapture()
{
    capturing = true;
}

QByteArray logCaptured()
{
    const std::lock_guard<std::mutex> lock(logMutex);
    return captured;
}

void logWrite(const char* sourceFile, int line, const char* format, ...)
{
    if (!logIsOpen && !capturing)
        return;
    const std::lock_guard<std::mutex> lock(logMutex);
    if (!logFile.isOpen() && !capturing)
        return;

    // The suffix is formatted first (and bounded to half the line) so that an
    // over-long message is cut and the line still ends in its source location
    // and CR LF.
    char suffix[kLineSize];
    const size_t suffixLen = written(
        std::snprintf(suffix, sizeof suffix / 2, " (%s,%d)\r\n", baseName(sourceFile), line), sizeof suffix / 2);

    size_t len = written(std::snprintf(lineBuffer, kLineSize, "[%8x] ", currentThreadTag()), kLineSize);

    const size_t messageRoom = kLineSize - 1 - len - suffixLen;
    va_list args;
    va_start(args, format);
    const int messageResult = std::vsnprintf(lineBuffer + len, messageRoom + 1, format, args);
    va_end(args);
    // A %c of zero would end the line early in a C string; keep what precedes it.
    len += strnlen(lineBuffer + len, written(messageResult, messageRoom + 1));

    std::memcpy(lineBuffer + len, suffix, suffixLen);
    len += suffixLen;
    lineBuffer[len] = '\0';
    lineBuffer[kLineSize - 1] = '\0';

    if (capturing)
        captured.append(lineBuffer, int(len));
    if (!logFile.isOpen())
        return;
    logFile.write(lineBuffer, static_cast<qint64>(len));
    logFile.flush();
}

void logClose()
{
    const std::lock_guard<std::mutex> lock(logMutex);
    logIsOpen = false;
    if (logFile.isOpen()) {
        logFile.flush();
        logFile.close();
    }
}
