#include "link/tcprawprint.h"

#include "app/debuglog.h"

#include <QTcpSocket>
#include <QTimerEvent>

TcpRawPrint::TcpRawPrint(const QHostAddress& host, const QByteArray& data, QObject* parent)
    : QObject(parent)
    , host_(host)
    , data_(data)
    , socket_(new QTcpSocket(this))
{
    connect(socket_, &QTcpSocket::stateChanged, this, &TcpRawPrint::onSocketStateChanged);
    connect(socket_, &QTcpSocket::errorOccurred, this, &TcpRawPrint::onSocketError);
    socket_->connectToHost(host_, kPort, QIODevice::ReadWrite);
}

void TcpRawPrint::onSocketStateChanged(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::ConnectedState: {
        LOG("TCP socket connected.");
        const qint64 written = socket_->write(data_);
        if (written != data_.size())
            LOG("TcpRawPrint: wrote %lld of %d bytes.", written, int(data_.size()));
        startTimer(kCloseDelayMs, Qt::CoarseTimer);
        break;
    }
    case QAbstractSocket::UnconnectedState:
        LOG("TCP socket disconnected.");
        socket_->deleteLater();
        // Nobody else holds the job: it goes with its socket.
        deleteLater();
        break;
    default:
        break;
    }
}

void TcpRawPrint::onSocketError(QAbstractSocket::SocketError error)
{
    LOG("TcpRawPrint: socket error %d (%s).", int(error), qPrintable(socket_->errorString()));
    socket_->abort();
}

void TcpRawPrint::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    if (socket_->state() == QAbstractSocket::ConnectedState)
        socket_->disconnectFromHost();
    else
        socket_->abort();
}
