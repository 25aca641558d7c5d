#pragma once

#include <QAbstractSocket>
#include <QDialog>
#include <QHostAddress>

class QLabel;
class QPushButton;
class QTimer;

// How long to wait before reopening a link that dropped: no wait after a
// link that had stayed up, longer each time a link drops soon after it came
// up, so that a printer that closes every connection at once is not flooded.
class ReconnectBackoff final
{
public:
    static constexpr int kBaseMs = 1000;
    static constexpr int kCapMs = 30000;
    static constexpr int kStableMs = 60000;

    // The first wait, the longest wait, and how long a link must have been up
    // to start again without a wait; tests shorten them. Read at each drop.
    static void setTimes(int baseMs, int capMs, int stableMs);

    // The wait before the first attempt after a link that was up `upMs`.
    int delayAfterDrop(qint64 upMs);

private:
    int next_ = 0;
};

// Shown while a dropped TCP link is reopened: retries until the link is up
// again (then closes by itself) or the user cancels.
class DialogReconnect final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRetryDelayMs = 1000;

    // The first attempt starts at once, or after `firstDelayMs`.
    DialogReconnect(const QHostAddress& address, QWidget* parent = nullptr, int firstDelayMs = 0);

    QSize sizeHint() const override;

    // Pause between a failed attempt and the next; tests shorten it. Read
    // when a dialog is made.
    static void setRetryDelay(int milliseconds);

public Q_SLOTS:
    void doCancel();
    void onStateChanged(QAbstractSocket::SocketState state);
    void done(int result) override;

private:
    void attempt();
    void waitBeforeAttempt(int milliseconds);
    void showCountdown();

    QLabel* label_;
    QLabel* countdownLabel_;
    QPushButton* cancelButton_;
    QHostAddress address_;
    QTimer* retryTimer_;
    QTimer* countdownTimer_;
    int retryDelayMs_;
    // Set once the dialog is done: queued state changes and a pending
    // retry start no further attempt.
    bool finished_ = false;
};
