#include "pages/networktestprint.h"

#include "app/debuglog.h"
#include "pages/widgetlan.h"
#include "ui/messagebox.h"

#include <QHostAddress>
#include <QPushButton>
#include <QTcpSocket>
#include <QTimerEvent>
#include <QWidget>

#include <utility>

NetworkTestPrint::NetworkTestPrint(
    QWidget* page, QPushButton* button, const char* logName, std::function<QByteArray()> build)
    : QObject(page)
    , page_(page)
    , button_(button)
    , logName_(logName)
    , build_(std::move(build))
{
}

void NetworkTestPrint::print(const QString& staticAddress, const QString& dhcpAddress)
{
    if (socket_)
        return;
    QString target = staticAddress;
    if (!netpage::isUsableTarget(target))
        target = dhcpAddress;
    if (!netpage::isUsableTarget(target)) {
        MessageBox::warning(page_, tr("Error"), tr("No valid IP address."));
        return;
    }

    button_->setEnabled(false);
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::stateChanged, this, &NetworkTestPrint::onTcpSocketStateChanged);
    connect(socket_, &QTcpSocket::errorOccurred, this, &NetworkTestPrint::onTcpSocketError);
    LOG("TCP socket created.");
    socket_->connectToHost(QHostAddress(target), netpage::kRawPrintPort, QIODevice::ReadWrite);
}

void NetworkTestPrint::onTcpSocketStateChanged(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        LOG("TCP socket disconnected.");
        if (QTcpSocket* socket = std::exchange(socket_, nullptr))
            socket->deleteLater();
        // The printer may close the connection before the timer does.
        if (closeTimer_ != 0) {
            killTimer(closeTimer_);
            closeTimer_ = 0;
        }
        button_->setEnabled(true);
        break;
    case QAbstractSocket::ConnectedState:
        if (!socket_)
            break;
        LOG("TCP socket connected.");
        // The fields as they are now, not as they were at the click.
        testPage_ = build_();
        if (socket_->write(testPage_) != testPage_.size())
            LOG("%s test page: write failed: %s", logName_, qPrintable(socket_->errorString()));
        closeTimer_ = startTimer(netpage::kCloseDelayMs);
        break;
    default:
        break;
    }
}

void NetworkTestPrint::onTcpSocketError(QAbstractSocket::SocketError socketError)
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    const QString text = socket ? socket->errorString() : QString();
    LOG("%s test page: socket error %d (%s).", logName_, int(socketError), qPrintable(text));
    MessageBox::warning(page_, tr("Error"), text);
}

void NetworkTestPrint::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != closeTimer_) {
        QObject::timerEvent(event);
        return;
    }
    killTimer(closeTimer_);
    closeTimer_ = 0;
    if (!socket_)
        return;
    // Both reach the unconnected state, which ends the print.
    if (socket_->state() == QAbstractSocket::ConnectedState)
        socket_->disconnectFromHost();
    else
        socket_->abort();
}
