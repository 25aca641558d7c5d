#pragma once

// Runs the printer simulator executable for end-to-end tests, on a loopback
// address of its own so that tests can use the printer's fixed ports.

#include <QCoreApplication>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <sys/prctl.h>
#endif

// A simulator outlives a test that crashed unless it is told to follow it.
class ChildProcess final : public QProcess
{
protected:
    void setupChildProcess() override
    {
#if defined(Q_OS_LINUX)
        prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    }
};

// SIGTERM and wait; the exit code, -1 when it did not exit cleanly.
inline int stopProcess(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

class SimProcess final
{
public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
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
        process_.setProgram(QStringLiteral(TOVRA_SIM_EXECUTABLE));
        process_.setArguments(QStringList {"--listen", address().toString()} + extraArguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        static const QRegularExpression listening(QStringLiteral("listening on ([^ ]+):(\\d+)"));
        QByteArray output;
        while (!output.contains('\n')) {
            if (!process_.waitForReadyRead(15000))
                return false;
            output += process_.readAllStandardOutput();
        }
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (!match.hasMatch())
            return false;
        port_ = quint16(match.captured(2).toUInt());
        return true;
    }

    int stop() { return stopProcess(process_); }

    QHostAddress address() const { return address_; }
    quint16 port() const { return port_; }
    QProcess& process() { return process_; }

private:
    ChildProcess process_;
    QHostAddress address_ = testAddress();
    quint16 port_ = 0;
};
