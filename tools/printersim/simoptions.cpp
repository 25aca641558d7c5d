#include "tools/printersim/simoptions.h"

#include "tools/printersim/simprinter.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

bool parseKey(const QString& text, packet::Key& key)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    if (!hex.match(text).hasMatch())
        return false;
    key = packet::keyFromBytes(QByteArray::fromHex(text.toLatin1()));
    return true;
}

// Printable ASCII of 1..16 characters: it travels in 16-byte wire fields.
bool parseIdentityField(const QString& text, QByteArray& field)
{
    if (text.isEmpty() || text.size() > 16)
        return false;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    field = text.toLatin1();
    return true;
}

bool parseNumber(const QString& text, qint64 min, qint64 max, qint64& value)
{
    bool ok = false;
    value = text.toLongLong(&ok, 10);
    return ok && value >= min && value <= max;
}

// The last address a fleet may use: 127.255.255.255 is the broadcast address.
constexpr quint32 kLastLoopback = 0x7FFFFFFE;

} // namespace

QHostAddress SimOptions::printerAddress(int index) const
{
    return fleet > 0 ? QHostAddress(listenAddress.toIPv4Address() + quint32(index)) : listenAddress;
}

SimIdentity SimOptions::printerIdentity(int index) const
{
    SimIdentity id = identity;
    if (fleet > 0) {
        const QByteArray suffix = '-' + QByteArray::number(index + 1).rightJustified(3, '0');
        id.sn = id.sn.left(16 - suffix.size()) + suffix;
    }
    return id;
}

QString SimOptions::printerPath(const QString& path, int index, const QString& suffix) const
{
    if (fleet == 0 || path.isEmpty())
        return path;
    return QDir(path).filePath(QStringLiteral("printer-%1%2").arg(index + 1, 3, 10, QLatin1Char('0')).arg(suffix));
}

OptionsResult parseOptions(const QStringList& arguments, SimOptions& options, QString& message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Printer simulator: plays the printer side of the host command protocol on TCP, "
                       "for end-to-end tests and for trying the setup utility without a printer."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
        QStringLiteral("Address to listen on (default 127.0.0.1; with --fleet, the first printer's, "
                       "default 127.0.0.2)."),
        QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("TCP port of the command channel (default 17900; 0 picks a free "
                       "port, printed on the listening line)."),
        QStringLiteral("n"));
    const QCommandLineOption project(QStringLiteral("project"),
        QStringLiteral("Project name the printer reports (default LQ520)."), QStringLiteral("name"));
    const QCommandLineOption model(QStringLiteral("model"),
        QStringLiteral("Model name the printer reports (default LQ520); it also chooses "
                       "the default features: LQ520 Ethernet, LQ540 Wi-Fi, LQ560 Wi-Fi "
                       "and 4G."),
        QStringLiteral("name"));
    const QCommandLineOption sn(QStringLiteral("sn"),
        QStringLiteral("Serial number, up to 16 characters (default: the model name "
                       "followed by 2405000137)."),
        QStringLiteral("serial"));
    const QCommandLineOption key(
        QStringLiteral("key"), QStringLiteral("Default (handshake) key, 32 hex digits."), QStringLiteral("hex"));
    const QCommandLineOption iv(
        QStringLiteral("iv"), QStringLiteral("Initialisation vector, 32 hex digits."), QStringLiteral("hex"));
    const QCommandLineOption keepalive(QStringLiteral("keepalive-ms"),
        QStringLiteral("Interval of the keep-alive packets, at most 10000 "
                       "(default 5000; 0 sends none)."),
        QStringLiteral("n"));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("JSON file that keeps the printer's settings across runs "
                       "(default: in memory only); with --fleet, a folder of printer-001.json, ..."),
        QStringLiteral("file"));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Log every record and connection event to this file ('-' for "
                       "standard error)."),
        QStringLiteral("file"));
    const QCommandLineOption discovery(QStringLiteral("discovery"),
        QStringLiteral("Answer network discovery on UDP 17899, on the interface of the listen address "
                       "(default when that address is not a loopback address)."));
    const QCommandLineOption noDiscovery(
        QStringLiteral("no-discovery"), QStringLiteral("Do not answer network discovery."));
    const QCommandLineOption usbPty(QStringLiteral("usb-pty"),
        QStringLiteral("Also be a USB printer: serve the host command protocol on a pseudo-terminal and make "
                       "this a symbolic link to its device. SIGUSR1 unplugs it."),
        QStringLiteral("link"));
    const QCommandLineOption usbUnplugAfter(QStringLiteral("usb-unplug-after"),
        QStringLiteral("Unplug the USB pseudo-terminal this many milliseconds after the start."), QStringLiteral("ms"));
    parser.addOptions({listen, port, project, model, sn, key, iv, keepalive, state, log, discovery, noDiscovery});
    const QCommandLineOption wnetRestart(QStringLiteral("wnet-restart-ms"),
        QStringLiteral("Time from the 4G restart command to \"Connected\", through \"Enabling\" and "
                       "\"Connecting\" (default 6000)."),
        QStringLiteral("n"));
    const QCommandLineOption captureDir(QStringLiteral("capture-dir"),
        QStringLiteral("Accept raw print jobs on TCP port 9100 of the listen address, and print data on the USB "
                       "side, and keep each job in this directory as job-NNNN.bin with its renderings job-NNNN.txt "
                       "and job-NNNN.png."),
        QStringLiteral("dir"));
    const QCommandLineOption rawPort(QStringLiteral("raw-port"),
        QStringLiteral("TCP port for raw print jobs with --capture-dir (default 9100; 0 picks a free port)."),
        QStringLiteral("n"));
    const QCommandLineOption render(QStringLiteral("render"),
        QStringLiteral("Print a captured job as text with its ESC/POS commands marked, or with -o draw it as a "
                       "PNG image of the paper --project prints on (58 mm for LQ230, else 80 mm), and exit."),
        QStringLiteral("file"));
    const QCommandLineOption output(QStringList {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("With --render: the PNG image to write."), QStringLiteral("file"));
    parser.addOptions({usbPty, usbUnplugAfter, wnetRestart});
    parser.addOptions({captureDir, rawPort, render, output});
    const QCommandLineOption fontDir(QStringLiteral("font-dir"),
        QStringLiteral("Keep the printer's font folder here (default: a temporary folder with fonts.conf and "
                       "two small fonts)."),
        QStringLiteral("dir"));
    parser.addOption(fontDir);
    const QCommandLineOption fleet(QStringLiteral("fleet"),
        QStringLiteral("Serve n printers (1..250) on consecutive loopback addresses from the listen address, "
                       "all on the same ports, serial numbers ending in -001, -002, ...; --state, --capture-dir "
                       "and --font-dir then name folders with one entry per printer (printer-001...), and each "
                       "log line starts with its printer's address."),
        QStringLiteral("n"));
    parser.addOption(fleet);
    const QCommandLineOption faultSplit(QStringLiteral("fault-split"),
        QStringLiteral("Fault: send every packet in random pieces, each written and flushed on its own."));
    const QCommandLineOption faultGarbage(QStringLiteral("fault-garbage"),
        QStringLiteral("Fault: send a few random bytes before packets, or a piece of a header after them."));
    const QCommandLineOption faultSeed(QStringLiteral("fault-seed"),
        QStringLiteral("Seed of the random pieces and garbage (default: a random one, logged)."), QStringLiteral("n"));
    const QCommandLineOption faultDropAfter(QStringLiteral("fault-drop-after"),
        QStringLiteral("Fault: close each connection after it got n reply records."), QStringLiteral("n"));
    const QCommandLineOption faultDropMid(QStringLiteral("fault-drop-mid"),
        QStringLiteral("Fault: write half of the packet of the n-th reply record of each connection, then abort it."),
        QStringLiteral("n"));
    const QCommandLineOption faultHandshake(QStringLiteral("fault-handshake"),
        QStringLiteral("Fault: 'never' answer the handshake, or answer it 'twice'."), QStringLiteral("never|twice"));
    const QCommandLineOption faultStallUpload(QStringLiteral("fault-stall-upload"),
        QStringLiteral("Fault: stop reading a connection once an upload brought this many bytes; the connection "
                       "stays open."),
        QStringLiteral("bytes"));
    const QCommandLineOption faultDiscoveryFlood(QStringLiteral("fault-discovery-flood"),
        QStringLiteral("Fault: answer each discovery request with n more replies, each with another serial number, "
                       "as fast as they go."),
        QStringLiteral("n"));
    const QCommandLineOption faultPtyCloseAfter(QStringLiteral("fault-pty-close-after"),
        QStringLiteral("Fault: close the USB pseudo-terminal once this many bytes were read from the host."),
        QStringLiteral("bytes"));
    const QCommandLineOption faultIgnore(QStringLiteral("fault-ignore"),
        QStringLiteral("Fault: take writes of this setting (a dotted name such as print.density) but keep its "
                       "value, so that the host's read-back finds it unchanged."),
        QStringLiteral("name"));
    parser.addOptions({faultSplit, faultGarbage, faultSeed, faultDropAfter, faultDropMid, faultHandshake,
        faultStallUpload, faultDiscoveryFlood, faultPtyCloseAfter, faultIgnore});

    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return OptionsResult::Error;
    }
    if (parser.isSet(help)) {
        message = parser.helpText();
        return OptionsResult::Help;
    }
    if (parser.isSet(version)) {
        message = QStringLiteral("tovra-printer-sim %1").arg(QCoreApplication::applicationVersion());
        return OptionsResult::Version;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return OptionsResult::Error;
    }

    qint64 number = 0;
    QHostAddress address = parser.isSet(fleet) ? QHostAddress(QStringLiteral("127.0.0.2")) : options.listenAddress;
    if (parser.isSet(listen)) {
        const QString text = parser.value(listen);
        if (!address.setAddress(text)) {
            message = QStringLiteral("--listen: '%1' is not an IP address.").arg(text);
            return OptionsResult::Error;
        }
    }
    if (parser.isSet(fleet)) {
        if (!parseNumber(parser.value(fleet), 1, SimOptions::kMaxFleet, number)) {
            message = QStringLiteral("--fleet: '%1' is not a number of printers (1..%2).")
                          .arg(parser.value(fleet))
                          .arg(SimOptions::kMaxFleet);
            return OptionsResult::Error;
        }
        // Never anybody else's network: a fleet lives on loopback only.
        if (address.protocol() != QAbstractSocket::IPv4Protocol || !address.isLoopback()) {
            message = QStringLiteral("--fleet: %1 is not an IPv4 loopback address.").arg(address.toString());
            return OptionsResult::Error;
        }
        if (address.toIPv4Address() + quint32(number - 1) > kLastLoopback) {
            message = QStringLiteral("--fleet: %1 printers from %2 run past 127.255.255.254.")
                          .arg(number)
                          .arg(address.toString());
            return OptionsResult::Error;
        }
        if (parser.isSet(usbPty) || parser.isSet(discovery)) {
            message = QStringLiteral("--fleet: --usb-pty and --discovery serve one printer only.");
            return OptionsResult::Error;
        }
        options.fleet = int(number);
    }
    options.listenAddress = address;
    if (parser.isSet(port)) {
        if (!parseNumber(parser.value(port), 0, 65535, number)) {
            message = QStringLiteral("--port: '%1' is not a port number (0..65535).").arg(parser.value(port));
            return OptionsResult::Error;
        }
        options.port = quint16(number);
    }
    if (parser.isSet(keepalive)) {
        if (!parseNumber(parser.value(keepalive), 0, SimOptions::kMaxKeepaliveMs, number)) {
            message = QStringLiteral("--keepalive-ms: '%1' is not a number of milliseconds (0..%2).")
                          .arg(parser.value(keepalive))
                          .arg(SimOptions::kMaxKeepaliveMs);
            return OptionsResult::Error;
        }
        options.keepaliveMs = int(number);
    }

    const struct
    {
        const QCommandLineOption& option;
        QByteArray& field;
    } identityFields[]
        = {{project, options.identity.project}, {model, options.identity.model}, {sn, options.identity.sn}};
    for (const auto& entry : identityFields) {
        if (parser.isSet(entry.option) && !parseIdentityField(parser.value(entry.option), entry.field)) {
            message = QStringLiteral("--%1: '%2' must be 1 to 16 printable ASCII characters.")
                          .arg(entry.option.names().constFirst(), parser.value(entry.option));
            return OptionsResult::Error;
        }
    }
    if (!parser.isSet(sn))
        options.identity.sn = options.identity.model.left(6) + "2405000137";

    const struct
    {
        const QCommandLineOption& option;
        packet::Key& field;
    } keyFields[] = {{key, options.keys.defaultKey}, {iv, options.keys.iv}};
    for (const auto& entry : keyFields) {
        if (parser.isSet(entry.option) && !parseKey(parser.value(entry.option), entry.field)) {
            message = QStringLiteral("--%1: '%2' is not 32 hex digits.")
                          .arg(entry.option.names().constFirst(), parser.value(entry.option));
            return OptionsResult::Error;
        }
    }

    if (parser.isSet(discovery) && parser.isSet(noDiscovery)) {
        message = QStringLiteral("--discovery and --no-discovery exclude each other.");
        return OptionsResult::Error;
    }
    options.discovery = parser.isSet(discovery) || (!parser.isSet(noDiscovery) && !options.listenAddress.isLoopback());

    options.usbPtyLink = parser.value(usbPty);
    if (parser.isSet(usbUnplugAfter)) {
        if (options.usbPtyLink.isEmpty()) {
            message = QStringLiteral("--usb-unplug-after needs --usb-pty.");
            return OptionsResult::Error;
        }
        if (!parseNumber(parser.value(usbUnplugAfter), 0, 24 * 3600 * 1000, number)) {
            message = QStringLiteral("--usb-unplug-after: '%1' is not a number of milliseconds.")
                          .arg(parser.value(usbUnplugAfter));
            return OptionsResult::Error;
        }
        options.usbUnplugAfterMs = int(number);
    }

    if (parser.isSet(wnetRestart)) {
        if (!parseNumber(parser.value(wnetRestart), 0, 600000, number)) {
            message = QStringLiteral("--wnet-restart-ms: '%1' is not a number of milliseconds (0..600000).")
                          .arg(parser.value(wnetRestart));
            return OptionsResult::Error;
        }
        options.wnetRestartMs = int(number);
    }

    options.captureDir = parser.value(captureDir);
    if (parser.isSet(rawPort)) {
        if (!parseNumber(parser.value(rawPort), 0, 65535, number)) {
            message = QStringLiteral("--raw-port: '%1' is not a port number (0..65535).").arg(parser.value(rawPort));
            return OptionsResult::Error;
        }
        options.rawPort = quint16(number);
    }
    options.renderPath = parser.value(render);
    options.renderOutput = parser.value(output);
    if (!options.renderOutput.isEmpty() && options.renderPath.isEmpty()) {
        message = QStringLiteral("-o: only with --render.");
        return OptionsResult::Error;
    }
    options.fontDir = parser.value(fontDir);

    SimFaults& faults = options.faults;
    faults.split = parser.isSet(faultSplit);
    faults.garbage = parser.isSet(faultGarbage);
    faults.seed = QRandomGenerator::system()->generate();
    const struct
    {
        const QCommandLineOption& option;
        qint64 min;
        qint64 max;
    } numbers[] = {
        {faultSeed, 0, 0xFFFFFFFFLL},
        {faultDropAfter, 1, 1000000},
        {faultDropMid, 1, 1000000},
        {faultStallUpload, 0, 0xFFFFFFFFLL},
        {faultDiscoveryFlood, 1, 100000},
        {faultPtyCloseAfter, 0, 0xFFFFFFFFLL},
    };
    for (const auto& entry : numbers) {
        if (!parser.isSet(entry.option))
            continue;
        if (!parseNumber(parser.value(entry.option), entry.min, entry.max, number)) {
            message = QStringLiteral("--%1: '%2' is not a number (%3..%4).")
                          .arg(entry.option.names().constFirst(), parser.value(entry.option))
                          .arg(entry.min)
                          .arg(entry.max);
            return OptionsResult::Error;
        }
        if (&entry.option == &faultSeed)
            faults.seed = quint32(number);
        else if (&entry.option == &faultDropAfter)
            faults.dropAfter = int(number);
        else if (&entry.option == &faultDropMid)
            faults.dropMid = int(number);
        else if (&entry.option == &faultStallUpload)
            faults.stallUpload = number;
        else if (&entry.option == &faultDiscoveryFlood)
            faults.discoveryFlood = int(number);
        else
            faults.ptyCloseAfter = number;
    }
    if (parser.isSet(faultHandshake)) {
        const QString how = parser.value(faultHandshake);
        if (how == QLatin1String("never")) {
            faults.handshake = SimFaults::Handshake::Never;
        } else if (how == QLatin1String("twice")) {
            faults.handshake = SimFaults::Handshake::Twice;
        } else {
            message = QStringLiteral("--fault-handshake: '%1' is neither 'never' nor 'twice'.").arg(how);
            return OptionsResult::Error;
        }
    }
    if (parser.isSet(faultIgnore)) {
        faults.ignoreField = parser.value(faultIgnore);
        if (!SimPrinter::canIgnore(faults.ignoreField)) {
            message
                = QStringLiteral("--fault-ignore: '%1' is not a setting the printer takes.").arg(faults.ignoreField);
            return OptionsResult::Error;
        }
    }
    if (faults.ptyCloseAfter >= 0 && options.usbPtyLink.isEmpty()) {
        message = QStringLiteral("--fault-pty-close-after needs --usb-pty.");
        return OptionsResult::Error;
    }

    options.statePath = parser.value(state);
    options.logPath = parser.value(log);
    return OptionsResult::Run;
}
