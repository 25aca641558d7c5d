#pragma once

#include "tools/printersim/simfaults.h"
#include "tools/printersim/simmodel.h"
#include "tools/printersim/simsession.h"
#include "tools/printersim/simwnet.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Everything the command line decides.
struct SimOptions
{
    static constexpr quint16 kDefaultPort = 17900;
    static constexpr int kDefaultKeepaliveMs = 5000;
    // Hosts drop a link after 15 silent seconds; stay well inside that.
    static constexpr int kMaxKeepaliveMs = 10000;
    static constexpr int kMaxFleet = 250;

    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = kDefaultPort; // 0: any free port
    SimIdentity identity;
    SimKeys keys;
    int keepaliveMs = kDefaultKeepaliveMs; // 0: none
    QString statePath; // empty: state in memory only
    QString logPath; // empty: no log; "-": stderr
    // Answer UDP discovery; on by default unless listening on loopback.
    bool discovery = false;
    // The USB side on a pseudo-terminal: a symbolic link to its device; empty: none.
    QString usbPtyLink;
    int usbUnplugAfterMs = -1; // -1: only SIGUSR1 unplugs
    // Raw print jobs (TCP port rawPort, and print data on the USB side) go
    // to files here; empty: no raw print port.
    QString captureDir;
    quint16 rawPort = 9100; // 0: any free port
    // Render this captured job to standard output, or as an image to
    // renderOutput, and exit.
    QString renderPath;
    QString renderOutput;
    int wnetRestartMs = SimWnet::kDefaultRestartMs;
    // The font folder; empty: a seeded temporary folder.
    QString fontDir;
    SimFaults faults;
    // Printers on consecutive loopback addresses from listenAddress, each
    // with its own serial number, state, captures and fonts; 0: one printer.
    int fleet = 0;

    int printerCount() const { return fleet > 0 ? fleet : 1; }
    // Of printer `index` (from 0).
    QHostAddress printerAddress(int index) const;
    // A fleet's printer has the serial number followed by "-001", "-002",
    // ..., the serial number cut so that the whole fits 16 characters.
    SimIdentity printerIdentity(int index) const;
    // `path` for one printer; in a fleet, "printer-001" + `suffix` inside
    // the folder `path`. Empty stays empty.
    QString printerPath(const QString& path, int index, const QString& suffix = QString()) const;
};

enum class OptionsResult {
    Run,
    Help, // `message` holds the help text
    Version, // `message` holds the version line
    Error, // `message` says what is wrong
};

// `arguments` includes the program name, as QCoreApplication::arguments().
OptionsResult parseOptions(const QStringList& arguments, SimOptions& options, QString& message);
