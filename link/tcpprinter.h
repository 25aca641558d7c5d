#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>

class HostCmd;
class QTcpSocket;

// Host command packets over TCP port 17900, with a watchdog that drops a
// connection after 15 silent heartbeat ticks.
class TcpPrinter final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 17900;
    static constexpr int kIdleTicksLimit = 15;
    static constexpr int kDefaultTickMs = 1000;
    static constexpr qint64 kReadChunk = 8192;

    // Feeds what it receives to the process-wide HostCmd, or to `cmd`.
    explicit TcpPrinter(QObject* parent = nullptr);
    explicit TcpPrinter(HostCmd& cmd, QObject* parent = nullptr);
    ~TcpPrinter() override;

    bool connectToHost(const QHostAddress& address, quint16 port);
    void close();
    bool write(const void* data, quint32 length, int timeoutMs);

    QHostAddress host() const { return host_; }
    QAbstractSocket::SocketState state() const;
    // The socket's text for its last error.
    QString errorString() const;
    // Tests shorten the heartbeat tick; takes effect with the next timer.
    void setHeartbeatInterval(int milliseconds) { tickMs_ = milliseconds; }

Q_SIGNALS:
    void connected();
    void disconnected();
    void bytesWritten(qint64 bytes);
    void stateChanged(QAbstractSocket::SocketState state);

private Q_SLOTS:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onStateChanged(QAbstractSocket::SocketState state);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    HostCmd& cmd_;
    QHostAddress host_;
    QTcpSocket* socket_;
    qint32 idleTicks_ = 0;
    qint32 heartbeatTimer_ = 0;
    int tickMs_ = kDefaultTickMs;
};
