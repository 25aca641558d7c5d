#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <functional>

class QTcpSocket;
class QTimerEvent;

// One raw print job: connects to the printer's raw print port, writes the
// data in one go and closes the connection shortly after. It runs by itself
// and deletes itself (deleteLater) once its socket is gone, whether the job
// printed or the connection failed; a creator that cares hears `failed` and
// `finished`.
class TcpRawPrint final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 9100;
    static constexpr int kCloseDelayMs = 500;
    // Made once connected, so that a page prints what it shows then.
    using Source = std::function<QByteArray()>;

    TcpRawPrint(const QHostAddress& host, const QByteArray& data, QObject* parent = nullptr);
    TcpRawPrint(const QHostAddress& host, Source source, QObject* parent = nullptr);

    // Tests close at once rather than after the printer's delay.
    static void setCloseDelayMs(int ms);

Q_SIGNALS:
    // A socket error, with the socket's own text; `finished` comes too.
    void failed(const QString& errorString);
    // The connection is gone; the job deletes itself next.
    void finished();

protected:
    void timerEvent(QTimerEvent* event) override;

private Q_SLOTS:
    void onSocketStateChanged(QAbstractSocket::SocketState state);
    void onSocketError(QAbstractSocket::SocketError error);

private:
    QHostAddress host_;
    Source source_;
    QTcpSocket* socket_;
};
