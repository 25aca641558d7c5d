#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>

#include <functional>

class QPushButton;
class QTcpSocket;
class QTimerEvent;
class QWidget;

// The test print of the Ethernet and Wi-Fi pages: its own connection to the
// printer's port 9100, the page written once connected and the connection
// closed shortly after; the page's button stays disabled meanwhile.
class NetworkTestPrint final : public QObject
{
    Q_OBJECT

public:
    // `build` makes the page from the fields as they are when the socket connects.
    NetworkTestPrint(QWidget* page, QPushButton* button, const char* logName, std::function<QByteArray()> build);

    // Prints to the static address if usable, else to the DHCP one.
    void print(const QString& staticAddress, const QString& dhcpAddress);

private Q_SLOTS:
    void onTcpSocketStateChanged(QAbstractSocket::SocketState state);
    void onTcpSocketError(QAbstractSocket::SocketError socketError);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QWidget* page_;
    QPushButton* button_;
    const char* logName_;
    std::function<QByteArray()> build_;
    QTcpSocket* socket_ = nullptr;
    QByteArray testPage_;
    int closeTimer_ = 0;
};
