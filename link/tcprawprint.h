#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QTcpSocket;
class QTimerEvent;

// One raw print job: connects to the printer's raw print port, writes the
// data in one go and closes the connection shortly after. Created without a
// parent, it runs by itself and deletes itself (deleteLater) once its socket
// is gone, whether the job printed or the connection failed.
class TcpRawPrint final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 9100;
    static constexpr int kCloseDelayMs = 500;

    TcpRawPrint(const QHostAddress& host, const QByteArray& data, QObject* parent = nullptr);

protected:
    void timerEvent(QTimerEvent* event) override;

private Q_SLOTS:
    void onSocketStateChanged(QAbstractSocket::SocketState state);
    void onSocketError(QAbstractSocket::SocketError error);

private:
    QHostAddress host_;
    QByteArray data_;
    QTcpSocket* socket_;
};
