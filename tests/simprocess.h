#pragma once

// Runs the printer simulator executable for end-to-end tests, on a loopback
// address of its own so that tests can use the printer's fixed ports.

#include <QCoreApplication>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

// A simulator outlives a test that crashed unless it is told to follow it.
class ChildProcess final : public QProcess
{
protected:
    void setupChildProcess() override { prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

// SIGTERM and wait; the exit code, -1 when it did not exit cleanly.
inline int stopProcess(QProcess& process)
{
    process.terminate();
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

class SimProcess final
{
public:
    ~SimProcess() { stop(); }

    // 127.77.x.y from the process id: each test process has its own printer.
    static QHostAddress testAddress()
    {
        const qint64 pid = QCoreApplication::applicationPid();
        return QHostAddress(QStringLiteral("127.77.%1.%2").arg((pid / 250) % 250 + 1).arg(pid % 250 + 2));
    }

    // Starts the simulator and waits for its listening line; false on failure.
    bool start(const QStringList& extraArguments = {})
    {
        stop();
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList command = launcher_ + QStringList {TOVRA_SIM_EXECUTABLE, "--listen", address_.toString()};
        process_.start(command.first(), command.mid(1) + extraArguments);
        QByteArray output;
        while (!output.contains('\n') && process_.waitForReadyRead(15000))
            output += process_.readAllStandardOutput();
        static const QRegularExpression listening(QStringLiteral("listening on [^ ]+:(\\d+)"));
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        port_ = quint16(match.captured(1).toUInt());
        return match.hasMatch();
    }

    int stop() { return stopProcess(process_); }

    QHostAddress address() const { return address_; }
    // Before start(): a fleet's base address, or a network namespace's.
    void setAddress(const QHostAddress& address) { address_ = address; }
    // Before start(): what runs the simulator, as `ip netns exec NAME`.
    void setLauncher(const QStringList& launcher) { launcher_ = launcher; }
    quint16 port() const { return port_; }
    QProcess& process() { return process_; }

private:
    ChildProcess process_;
    QHostAddress address_ = testAddress();
    QStringList launcher_;
    quint16 port_ = 0;
};
