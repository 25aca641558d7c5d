#include "link/tcprawprint.h"

#include "app/debuglog.h"

#include <QTcpSocket>
#include <QTimerEvent>

TcpRawPrint::TcpRawPrint(const QHostAddress& host, const QByteArray& data, QObject* parent)
    : QObject(parent)
    , host(host)
    , data(data)
    , socket(new QTcpSocket(this))
{
    connect(socket, &QTcpSocket::stateChanged, this, &TcpRawPrint::onSocketStateChanged);
    connect(socket, &QTcpSocket::errorOccurred, this, &TcpRawPrint::onSocketError);
    socket->connectToHost(host, kPort, QIODevice::ReadWrite);
}

void TcpRawPrint::onSocketStateChanged(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::ConnectedState: {
        LOG("TCP socket connected.");
        const qint64 written = socket->write(data);
        if (written != data.size())
            LOG("TcpRawPrint: wrote %lld of %d bytes.", written, int(data.size()));
        startTimer(kCloseDelayMs, Qt::CoarseTimer);
        break;
    }
    case QAbstractSocket::UnconnectedState:
        LOG("TCP socket disconnected.");
        socket->deleteLater();
        // Nobody else holds the job: it goes with its socket.
        deleteLater();
        break;
    default:
        break;
    }
}

void TcpRawPrint::onSocketError(QAbstractSocket::SocketError error)
{
    LOG("TcpRawPrint: socket error %d (%s).", int(error), qPrintable(socket->errorString()));
    socket->abort();
}

void TcpRawPrint::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->disconnectFromHost();
    else
        socket->abort();
}
