#include "tools/printersim/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] written by the handler, [1] read on the event loop.
int signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    // Nothing to do on failure inside a signal handler; the byte is a hint only.
    const ssize_t written = ::write(signalPipe[0], &byte, 1);
    (void)written;
}

bool installHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(signalNumber, &action, nullptr) == 0;
}

} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
    if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    // A handler must never block, even if nobody reads for a while.
    ::fcntl(signalPipe[0], F_SETFL, ::fcntl(signalPipe[0], F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::onReadable);
    if (!installHandler(SIGINT, onStopSignal) || !installHandler(SIGTERM, onStopSignal)) {
        delete notifier_;
        notifier_ = nullptr;
    }
}

StopSignals::~StopSignals()
{
    if (!notifier_)
        return;
    installHandler(SIGINT, SIG_DFL);
    installHandler(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void StopSignals::onReadable()
{
    char byte = 0;
    if (::read(signalPipe[1], &byte, 1) == 1)
        Q_EMIT stopRequested(int(quint8(byte)));
}
