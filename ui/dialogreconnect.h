#pragma once

#include <QAbstractSocket>
#include <QDialog>
#include <QHostAddress>

class QLabel;
class QPushButton;
class QTimer;

// Shown while a dropped TCP link is reopened: retries until the link is up
// again (then closes by itself) or the user cancels.
class DialogReconnect final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRetryDelayMs = 1000;

    DialogReconnect(const QHostAddress& address, QWidget* parent = nullptr);

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

    QLabel* label_;
    QPushButton* cancelButton_;
    QHostAddress address_;
    QTimer* retryTimer_;
    // Set once the dialog is done: queued state changes and a pending
    // retry start no further attempt.
    bool finished_ = false;
};
