#include "ui/dialogreconnect.h"

#include "app/debuglog.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

int retryDelayMs = DialogReconnect::kRetryDelayMs;

} // namespace

void DialogReconnect::setRetryDelay(int milliseconds)
{
    retryDelayMs = milliseconds;
}

DialogReconnect::DialogReconnect(const QHostAddress& address, QWidget* parent)
    : QDialog(parent)
    , label_(new QLabel(this))
    , cancelButton_(new QPushButton(tr("&Cancel"), this))
    , address_(address)
    , retryTimer_(new QTimer(this))
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    label_->setText(tr("Reconnecting to %1...").arg(address_.toString()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    buttons->addStretch();
    buttons->addWidget(cancelButton_, 0, Qt::AlignRight | Qt::AlignVCenter);

    // A refused connection fails at once: without a pause the retries would
    // spin the CPU and flood the printer.
    retryTimer_->setSingleShot(true);
    retryTimer_->setInterval(retryDelayMs);
    connect(retryTimer_, &QTimer::timeout, this, &DialogReconnect::attempt);

    connect(cancelButton_, &QPushButton::clicked, this, &DialogReconnect::doCancel);
    // Queued: each retry starts from the dialog's event loop, not from inside
    // the socket's own signal.
    connect(transceiver->tcpPrinter(), &TcpPrinter::stateChanged, this, &DialogReconnect::onStateChanged,
        Qt::QueuedConnection);

    transceiver->close();
    attempt();
}

QSize DialogReconnect::sizeHint() const
{
    return QSize(300, 5);
}

void DialogReconnect::doCancel()
{
    finished_ = true;
    retryTimer_->stop();
    transceiver->close();
    close();
}

void DialogReconnect::onStateChanged(QAbstractSocket::SocketState state)
{
    if (finished_)
        return;
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        transceiver->close();
        retryTimer_->start();
        break;
    case QAbstractSocket::ConnectedState:
        finished_ = true;
        retryTimer_->stop();
        close();
        break;
    default:
        break;
    }
}

void DialogReconnect::done(int result)
{
    // However the dialog ends (Escape too), no attempt follows.
    finished_ = true;
    retryTimer_->stop();
    QDialog::done(result);
}

void DialogReconnect::attempt()
{
    if (finished_)
        return;
    if (!transceiver->openTcp(address_)) {
        LOG("Reconnect to %s not started", qPrintable(address_.toString()));
        retryTimer_->start();
    }
}
