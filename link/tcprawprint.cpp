#include "link/tcprawprint.h"

#include "app/debuglog.h"

#include <QTcpSocket>
#include <QTimerEvent>

#include <utility>

namespace {

int& closeDelayMs()
{
    static int ms = TcpRawPrint::kCloseDelayMs;
    return ms;
}

} // namespace

TcpRawPrint::TcpRawPrint(const QHostAddress& host, const QByteArray& data, QObject* parent)
    : TcpRawPrint(
        host, [data] { return data; }, parent)
{
}

TcpRawPrint::TcpRawPrint(const QHostAddress& host, Source source, QObject* parent)
    : QObject(parent)
    , host_(host)
    , source_(std::move(source))
    , socket_(new QTcpSocket(this))
{
    connect(socket_, &QTcpSocket::stateChanged, this, &TcpRawPrint::onSocketStateChanged);
    connect(socket_, &QTcpSocket::errorOccurred, this, &TcpRawPrint::onSocketError);
    socket_->connectToHost(host_, kPort, QIODevice::ReadWrite);
}

void TcpRawPrint::setCloseDelayMs(int ms)
{
    closeDelayMs() = ms;
}

void TcpRawPrint::onSocketStateChanged(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::ConnectedState: {
        LOG("TCP socket connected.");
        const QByteArray data = source_();
        const qint64 written = socket_->write(data);
        if (written != data.size())
            LOG("TcpRawPrint: wrote %lld of %d bytes.", written, int(data.size()));
        startTimer(closeDelayMs(), Qt::CoarseTimer);
        break;
    }
    case QAbstractSocket::UnconnectedState:
        LOG("TCP socket disconnected.");
        socket_->deleteLater();
        // Nobody else holds the job: it goes with its socket.
        deleteLater();
        Q_EMIT finished();
        break;
    default:
        break;
    }
}

void TcpRawPrint::onSocketError(QAbstractSocket::SocketError error)
{
    LOG("TcpRawPrint: socket error %d (%s).", int(error), qPrintable(socket_->errorString()));
    Q_EMIT failed(socket_->errorString());
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
