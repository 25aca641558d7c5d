#include "tools/printersim/simserver.h"

#include "tools/printersim/simprinter.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

SimServer::SimServer(SimPrinter* printer, const SimKeys& keys, int keepaliveMs, QObject* parent)
    : QObject(parent)
    , printer_(printer)
    , keys_(keys)
    , server_(new QTcpServer(this))
    , keepalive_(new QTimer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &SimServer::onNewConnection);
    connect(keepalive_, &QTimer::timeout, this, &SimServer::onKeepAlive);
    keepalive_->setInterval(keepaliveMs);
    if (keepaliveMs > 0)
        keepalive_->start();
}

bool SimServer::listen(const QHostAddress& address, quint16 port)
{
    return server_->listen(address, port);
}

QString SimServer::errorString() const
{
    return server_->errorString();
}

QHostAddress SimServer::address() const
{
    return server_->serverAddress();
}

quint16 SimServer::port() const
{
    return server_->serverPort();
}

void SimServer::close()
{
    server_->close();
    keepalive_->stop();
    // Each abort removes its session from the list.
    const QList<SimSession*> sessions = sessions_;
    for (SimSession* session : sessions)
        session->abort();
}

void SimServer::onNewConnection()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        auto* session = new SimSession(socket, printer_, keys_, this);
        sessions_.append(session);
        connect(session, &SimSession::closed, this, [this, session] { sessions_.removeOne(session); });
    }
}

void SimServer::onKeepAlive()
{
    for (SimSession* session : qAsConst(sessions_))
        session->sendKeepAlive();
}
