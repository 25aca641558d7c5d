#pragma once

// Small pieces shared by the benchmark programs: medians, the kernel's
// memory counters, waiting and writing, and the moment a window's first
// frame is done.

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sys/socket.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A line of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when missing.
inline long statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).simplified().split(' ').value(0).toLong();
    }
    return -1;
}

// Runs the event loop until `done`, waking at least every 50 ms to look at
// the clock; false on timeout.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QTimer tick;
    tick.start(50);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Writes all of `data` to a blocking socket; false on an error.
inline bool sendAll(int fd, const void* data, size_t length)
{
    const char* next = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::send(fd, next, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        next += n;
        length -= size_t(n);
    }
    return true;
}

// Calls `done` once, when the first frame of a top-level widget has been
// painted and flushed: at the first Paint event the repaint of the whole
// window is under way, and a zero timer fires only after it has returned to
// the event loop. `accept` picks the windows that count.
class FirstFrame final : public QObject
{
public:
    FirstFrame(std::function<bool(const QWidget* window)> accept, std::function<void()> done, QObject* parent = nullptr)
        : QObject(parent)
        , accept_(std::move(accept))
        , done_(std::move(done))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    // When the first Paint event came, before any painting.
    Clock::time_point paintEventAt() const { return paintEventAt_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType()
            && accept_(static_cast<QWidget*>(watched)->window())) {
            seen_ = true;
            paintEventAt_ = Clock::now();
            QCoreApplication::instance()->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { done_(); });
        }
        return false;
    }

private:
    std::function<bool(const QWidget*)> accept_;
    std::function<void()> done_;
    Clock::time_point paintEventAt_;
    bool seen_ = false;
};

// What the start-up runner reads: the line that stops its clock, then the
// peak memory.
inline void reportPainted()
{
    std::printf("painted\n");
    std::fflush(stdout);
}

inline void reportPeak()
{
    std::printf("vmhwm_kb=%ld\n", statusKb("VmHWM"));
    std::fflush(stdout);
}

} // namespace bench
