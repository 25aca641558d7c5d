#include "link/tcpprinter.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"

#include <QTcpSocket>
#include <QTimerEvent>

TcpPrinter::TcpPrinter(QObject* parent)
    : TcpPrinter(hostCmd, parent)
{
}

TcpPrinter::TcpPrinter(HostCmd& cmd, QObject* parent)
    : QObject(parent)
    , cmd_(cmd)
    , socket_(new QTcpSocket(this))
{
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    connect(socket_, &QTcpSocket::connected, this, &TcpPrinter::connected);
    connect(socket_, &QTcpSocket::disconnected, this, &TcpPrinter::disconnected);
    connect(socket_, &QTcpSocket::bytesWritten, this, &TcpPrinter::bytesWritten);
    connect(socket_, &QTcpSocket::readyRead, this, &TcpPrinter::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &TcpPrinter::onError);
    connect(socket_, &QTcpSocket::stateChanged, this, &TcpPrinter::onStateChanged);
}

TcpPrinter::~TcpPrinter()
{
    // Our slots must not run on a half-destroyed object.
    socket_->disconnect(this);
    if (socket_->state() == QAbstractSocket::ConnectedState)
        socket_->disconnectFromHost();
    else if (socket_->state() != QAbstractSocket::UnconnectedState)
        socket_->abort();
}

QAbstractSocket::SocketState TcpPrinter::state() const
{
    return socket_->state();
}

QString TcpPrinter::errorString() const
{
    return socket_->errorString();
}

bool TcpPrinter::connectToHost(const QHostAddress& address, quint16 port)
{
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        return false;
    host_ = address;
    socket_->connectToHost(address, port, QIODevice::ReadWrite);
    return true;
}

void TcpPrinter::close()
{
    switch (socket_->state()) {
    case QAbstractSocket::UnconnectedState:
        break;
    case QAbstractSocket::ConnectedState:
        socket_->disconnectFromHost();
        // Bytes a printer does not read would keep the link closing for
        // ever, and no new link could open.
        if (socket_->state() != QAbstractSocket::UnconnectedState)
            socket_->abort();
        break;
    default:
        socket_->abort();
        break;
    }
}

bool TcpPrinter::write(const void* data, quint32 length, int timeoutMs)
{
    // Never waited for: a printer that stops reading must not freeze the
    // window; the idle watchdog and the user's Cancel deal with it.
    Q_UNUSED(timeoutMs);
    if (socket_->state() != QAbstractSocket::ConnectedState)
        return false;
    if (socket_->write(static_cast<const char*>(data), qint64(length)) == -1)
        return false;
    idleTicks_ = 0;
    // Out now, as far as the kernel takes it, not when the event loop next turns.
    // A link the printer has reset is found out here: the flush aborts the socket.
    socket_->flush();
    return socket_->state() == QAbstractSocket::ConnectedState;
}

void TcpPrinter::onReadyRead()
{
    char buffer[kReadChunk];
    // Drain everything: bytes left in the socket would otherwise wait for the
    // printer's next packet to be noticed.
    do {
        const qint64 n = socket_->read(buffer, kReadChunk);
        if (n < 0)
            return;
        idleTicks_ = 0;
        cmd_.receiveAll(reinterpret_cast<const quint8*>(buffer), quint32(n));
    } while (socket_->bytesAvailable() > 0);
}

void TcpPrinter::onError(QAbstractSocket::SocketError error)
{
    LOG("error=%d", int(error));
    socket_->abort();
}

void TcpPrinter::onStateChanged(QAbstractSocket::SocketState state)
{
    if (state == QAbstractSocket::ConnectedState) {
        // Requests are small records sent back to back: waiting for the
        // printer's delayed acknowledgement would hold the second for 40 ms.
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        idleTicks_ = 0;
        if (heartbeatTimer_ == 0)
            heartbeatTimer_ = startTimer(tickMs_, Qt::CoarseTimer);
    }
    Q_EMIT stateChanged(state);
}

void TcpPrinter::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != heartbeatTimer_) {
        killTimer(event->timerId());
        return;
    }
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        killTimer(heartbeatTimer_);
        heartbeatTimer_ = 0;
        return;
    }
    if (++idleTicks_ >= kIdleTicksLimit) {
        LOG("Heartbeat lost");
        socket_->abort();
    }
}
