#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the event loop, through a
// socket pair written by the signal handler (the only safe thing it can do).
// One object per process; the handlers are restored when it goes.
class StopSignals final : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    // False when the socket pair or the handlers could not be set up.
    bool isActive() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void stopRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* notifier_ = nullptr;
};
