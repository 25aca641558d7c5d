#pragma once

#include "tools/printersim/simsession.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTimer;
class SimPrinter;

// Accepts host connections on the command port and keeps one session per
// connection; sends the keep-alive packets to all of them.
class SimServer final : public QObject
{
    Q_OBJECT

public:
    // `keepaliveMs` 0: no keep-alive packets at all.
    SimServer(SimPrinter* printer, const SimKeys& keys, int keepaliveMs, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const;
    QHostAddress address() const;
    quint16 port() const;

    int sessionCount() const { return int(sessions_.size()); }
    // Stops listening and drops every connection.
    void close();

private:
    void onNewConnection();
    void onKeepAlive();

    SimPrinter* printer_;
    SimKeys keys_;
    QTcpServer* server_;
    QTimer* keepalive_;
    QList<SimSession*> sessions_;
};
