#include "ui/dialogreconnect.h"

#include "app/debuglog.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"
#include "pages/formrows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

int retryDelayMs = DialogReconnect::kRetryDelayMs;
int backoffBaseMs = ReconnectBackoff::kBaseMs;
int backoffCapMs = ReconnectBackoff::kCapMs;
int backoffStableMs = ReconnectBackoff::kStableMs;

} // namespace

void ReconnectBackoff::setTimes(int baseMs, int capMs, int stableMs)
{
    backoffBaseMs = baseMs;
    backoffCapMs = capMs;
    backoffStableMs = stableMs;
}

int ReconnectBackoff::delayAfterDrop(qint64 upMs)
{
    if (upMs >= backoffStableMs)
        next_ = 0;
    const int delay = std::min(next_, backoffCapMs);
    next_ = next_ == 0 ? backoffBaseMs : int(std::min<qint64>(qint64(next_) * 2, backoffCapMs));
    return delay;
}

void DialogReconnect::setRetryDelay(int milliseconds)
{
    retryDelayMs = milliseconds;
}

DialogReconnect::DialogReconnect(const QHostAddress& address, QWidget* parent, int firstDelayMs)
    : QDialog(parent)
    , label_(new QLabel(this))
    , countdownLabel_(new QLabel(this))
    , cancelButton_(new QPushButton(tr("&Cancel"), this))
    , address_(address)
    , retryTimer_(new QTimer(this))
    , countdownTimer_(new QTimer(this))
    , retryDelayMs_(retryDelayMs)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    label_->setText(tr("Reconnecting to %1...").arg(address_.toString()));
    // Keeps its line while empty, so the box does not jump with every attempt.
    countdownLabel_->setMinimumHeight(countdownLabel_->fontMetrics().height());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(countdownLabel_);
    layout->addLayout(formrows::buttonRow({cancelButton_}));

    // A refused connection fails at once: without a pause the retries would
    // spin the CPU and flood the printer.
    retryTimer_->setSingleShot(true);
    connect(retryTimer_, &QTimer::timeout, this, &DialogReconnect::attempt);
    countdownTimer_->setInterval(1000);
    connect(countdownTimer_, &QTimer::timeout, this, &DialogReconnect::showCountdown);

    connect(cancelButton_, &QPushButton::clicked, this, &DialogReconnect::doCancel);
    // Queued: each retry starts from the dialog's event loop, not from inside
    // the socket's own signal.
    connect(transceiver->tcpPrinter(), &TcpPrinter::stateChanged, this, &DialogReconnect::onStateChanged,
        Qt::QueuedConnection);

    transceiver->close();
    if (firstDelayMs > 0)
        waitBeforeAttempt(firstDelayMs);
    else
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
    countdownTimer_->stop();
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
        waitBeforeAttempt(retryDelayMs_);
        break;
    case QAbstractSocket::ConnectedState:
        finished_ = true;
        retryTimer_->stop();
        countdownTimer_->stop();
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
    countdownTimer_->stop();
    QDialog::done(result);
}

void DialogReconnect::attempt()
{
    if (finished_)
        return;
    countdownTimer_->stop();
    countdownLabel_->clear();
    if (!transceiver->openTcp(address_)) {
        LOG("Reconnect to %s not started", qPrintable(address_.toString()));
        waitBeforeAttempt(retryDelayMs_);
    }
}

void DialogReconnect::waitBeforeAttempt(int milliseconds)
{
    retryTimer_->start(milliseconds);
    countdownTimer_->start();
    showCountdown();
}

void DialogReconnect::showCountdown()
{
    if (!retryTimer_->isActive())
        return;
    const int seconds = std::max(1, (retryTimer_->remainingTime() + 500) / 1000);
    countdownLabel_->setText(tr("Next attempt in %1 s").arg(seconds));
}
