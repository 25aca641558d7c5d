#pragma once

#include "settings/settingsfile.h"

#include <QByteArray>
#include <QFlags>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class HostCmd;
class RecordHistory;
class Transceiver;

// One printer driven step by step without a window: open the link, read the
// settings, write records and read them back, manage fonts, print a page.
// Each session owns its own protocol object and link, so that many printers
// are served side by side on one thread; the window's session rides on the
// process-wide link instead. Every step ends by calling its callback once,
// with an empty error on success; a step asked for while another runs fails
// at once.
class PrinterSession final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultTimeoutMs = 5000;

    // Where a printer is: "ADDRESS" or "ADDRESS:PORT" (TCP, port 17900 by
    // default), "usb" (the first USB printer found) or "usb:PATH".
    struct Target
    {
        enum Kind { Tcp, Usb } kind = Tcp;
        QHostAddress address;
        quint16 port = 17900;
        QString usbPath;

        static std::optional<Target> parse(const QString& text, QString* error);
        QString toString() const;
    };

    enum Part {
        // Device and network information (read types 1 and 2).
        Information = 0x1,
        // The writable records: print, mobile, serial, audio (types 3 to 6).
        Records = 0x2,
        FontTable = 0x4,
        FontFiles = 0x8,
        Everything = 0xF,
    };
    Q_DECLARE_FLAGS(Parts, Part)

    using Done = std::function<void(const QString& error)>;
    using StateDone = std::function<void(const QString& error, const settings::PrinterState& state)>;

    // A session with a link of its own.
    explicit PrinterSession(QObject* parent = nullptr);
    // A session over a link that is already up (the window's).
    PrinterSession(HostCmd& cmd, Transceiver& link, QObject* parent = nullptr);
    ~PrinterSession() override;

    // How long a step waits for the printer before it fails.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

    // Connects and runs the handshake; the identity is then in `state()`.
    void open(const Target& target, Done done);
    void close();

    // Reads the parts asked for into `state()`. A batch of read requests is
    // closed by a second device information request, whose answer comes after
    // every other answer the printer gives, so that a part it does not answer
    // stays empty instead of stalling the read.
    void read(Parts parts, StateDone done);
    // Writes the plan's records (paced like the window's Save), its font
    // table and font files (`fontData`: name -> file bytes), then reads the
    // touched parts back. The caller compares with `settings::mismatches`.
    void apply(const settings::Plan& plan, const QMap<QString, QByteArray>& fontData, StateDone done);

    // The font files `plan` installs, read from `folder` and checked against
    // the sizes and digests the settings file gives; an error names the file.
    static QString loadFonts(const settings::Plan& plan, const QString& folder, QMap<QString, QByteArray>* data);

    void installFont(const QString& name, const QByteArray& data, Done done);
    void removeFont(const QString& name, Done done);
    void restartMobile(Done done);
    // Raw ESC/POS: over USB on the link, over TCP as a job to port 9100.
    void printRaw(const QByteArray& page, Done done);

    const settings::PrinterState& state() const { return state_; }
    const Target& target() const { return target_; }
    // The records this session's protocol object exchanged; null once it is gone.
    const RecordHistory* history() const;

Q_SIGNALS:
    // The link went down by itself.
    void disconnected();

private:
    class Step;

    void wire();
    // The running step, or null (with `done` called) when another runs or
    // the link is not up.
    Step* begin(StateDone done, bool needsLink = true);
    // Ends `step` once: its callback comes from the event loop, so that it
    // may start the next step or delete the session.
    void finish(Step* step, const QString& error);
    void post(StateDone done, const QString& error);
    // Reads `parts` into the state and closes the batch with the sentinel;
    // then `then` runs.
    void readBatch(Step* step, Parts parts, std::function<void()> then);
    void onResponse(const QByteArray& response);
    void installNext(Step* step, std::vector<std::pair<QString, QByteArray>> files, std::function<void()> then);
    void onConnected();
    void onLinkDown();
    void onTcpStateChanged(int state);
    void takeIdentity();
    void closeLink();
    bool linkUp() const;
    QString unreachable(const QString& why) const;

    QPointer<HostCmd> cmd_;
    QPointer<Transceiver> link_;
    Target target_;
    settings::PrinterState state_;
    int timeoutMs_ = kDefaultTimeoutMs;
    // A session with a link of its own opens and closes it; the window's does not.
    bool ownsLink_ = false;
    bool up_ = false;
    bool dropped_ = false;
    // Set while this session closes its link, which then reports no drop.
    bool closing_ = false;
    QPointer<Step> step_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PrinterSession::Parts)
