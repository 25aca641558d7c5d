#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The printer's 4G module after a restart command: it reports "Enabling",
// then "Connecting", then "Connected", spread over the restart time.
class SimWnet final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultRestartMs = 6000;

    explicit SimWnet(QObject* parent = nullptr);

    // From the restart command to "Connected".
    void setRestartMs(int ms) { restartMs_ = ms; }
    int restartMs() const { return restartMs_; }
    // Starts over from "Enabling", also when a restart is already under way.
    void restart();

Q_SIGNALS:
    void statusChanged(quint16 status);

private:
    void step();

    QTimer timer_;
    QElapsedTimer started_;
    int restartMs_ = kDefaultRestartMs;
    int next_ = 0;
};
