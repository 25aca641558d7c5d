#pragma once

#include "tools/printersim/simsession.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class QSocketNotifier;
class SimJobCapture;
class SimPrinter;

// The printer on the USB side: one host command session on the master of a
// raw pseudo-terminal pair, whose slave stands in for the usblp device node
// through a symbolic link. Unplugging closes both ends, so the host's reads
// see the hang-up that a pulled cable gives.
class SimPty final : public QObject
{
    Q_OBJECT

public:
    SimPty(SimPrinter* printer, const SimKeys& keys, QObject* parent = nullptr);
    ~SimPty() override;

    // Opens the pair, makes `linkPath` a symbolic link to the slave (an old
    // link there is replaced) and starts the session; false with `error`.
    bool open(const QString& linkPath, QString& error);
    bool isOpen() const { return slaveFd_ >= 0; }
    QString slavePath() const { return slavePath_; }
    QString linkPath() const { return linkPath_; }

    // Closes both ends and removes the link; the session ends.
    void unplug();
    // `signalNumber` (SIGUSR1 for the executable) unplugs; false when the
    // handler cannot be installed. One object per process.
    bool unplugOnSignal(int signalNumber);
    // Before open(): print data on the stream is captured as jobs instead
    // of being dropped (the rule in simrawprint.h).
    void setCapture(SimJobCapture* capture) { capture_ = capture; }

Q_SIGNALS:
    void unplugged();

private:
    void release();

    SimPrinter* printer_;
    SimKeys keys_;
    // Owned by the session, which goes when it closes.
    QPointer<QIODevice> master_;
    int slaveFd_ = -1;
    QString slavePath_;
    QString linkPath_;
    QSocketNotifier* signalNotifier_ = nullptr;
    int signalNumber_ = 0;
    SimJobCapture* capture_ = nullptr;
};
