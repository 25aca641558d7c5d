// tovra-printer-sim: a printer on the host command port, for end-to-end tests
// and for trying the setup utility without hardware. See --help.

#include "tools/printersim/simdiscovery.h"
#include "tools/printersim/simescpos.h"
#include "tools/printersim/simoptions.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simpty.h"
#include "tools/printersim/simrawprint.h"
#include "tools/printersim/simserver.h"
#include "tools/printersim/simstatefile.h"
#include "tools/printersim/stopsignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovra-printer-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVRA_VERSION));

    SimOptions options;
    QString message;
    switch (parseOptions(QCoreApplication::arguments(), options, message)) {
    case OptionsResult::Run:
        break;
    case OptionsResult::Help:
    case OptionsResult::Version:
        std::fputs(message.toLocal8Bit().constData(), stdout);
        if (!message.endsWith(QLatin1Char('\n')))
            std::fputs("\n", stdout);
        return 0;
    case OptionsResult::Error:
        printLine(stderr, QStringLiteral("tovra-printer-sim: %1\nTry --help.").arg(message));
        return kExitUsage;
    }

    if (!options.renderPath.isEmpty()) {
        QFile job(options.renderPath);
        if (!job.open(QIODevice::ReadOnly)) {
            printLine(stderr, QStringLiteral("tovra-printer-sim: cannot read %1").arg(options.renderPath));
            return kExitFailure;
        }
        std::fputs(renderEscPos(job.readAll()).toUtf8().constData(), stdout);
        return 0;
    }

    bool isIpv4 = false;
    const quint32 ownAddress = options.listenAddress.toIPv4Address(&isIpv4);
    SimState state = SimModel::defaultState(options.identity, isIpv4 ? ownAddress : 0);
    if (!options.statePath.isEmpty()) {
        switch (loadStateFile(options.statePath, state, message)) {
        case StateLoad::Loaded:
            break;
        case StateLoad::Missing:
            printLine(stderr,
                QStringLiteral("tovra-printer-sim: %1 does not exist yet; starting from the defaults "
                               "of model %2")
                    .arg(options.statePath, QString::fromLatin1(options.identity.model)));
            break;
        case StateLoad::Partial:
        case StateLoad::Corrupt:
            printLine(stderr, QStringLiteral("tovra-printer-sim: warning: %1").arg(message));
            break;
        }
    }

    SimPrinter printer(SimModel(options.identity, state), options.statePath);
    printer.setWnetRestartMs(options.wnetRestartMs);
    printer.setFaults(options.faults);
    if (!options.logPath.isEmpty() && !printer.openLog(options.logPath, message)) {
        printLine(stderr, QStringLiteral("tovra-printer-sim: cannot open log %1: %2").arg(options.logPath, message));
        return kExitFailure;
    }
    if (options.faults.any())
        printer.log(QString(), options.faults.describe());
    if (!printer.fonts().open(options.fontDir, message)) {
        printLine(stderr, QStringLiteral("tovra-printer-sim: %1").arg(message));
        return kExitFailure;
    }
    // A fresh or repaired state file right away, so it can be looked at.
    printer.saveState();

    StopSignals stopSignals;
    if (!stopSignals.isActive())
        printLine(stderr, QStringLiteral("tovra-printer-sim: warning: cannot catch SIGINT and SIGTERM"));

    SimServer server(&printer, options.keys, options.keepaliveMs);
    if (!server.listen(options.listenAddress, options.port)) {
        printLine(stderr,
            QStringLiteral("tovra-printer-sim: cannot listen on %1:%2: %3")
                .arg(options.listenAddress.toString())
                .arg(options.port)
                .arg(server.errorString()));
        return kExitFailure;
    }
    SimDiscovery discovery(&printer);
    if (options.discovery && !discovery.start(options.listenAddress, message)) {
        printLine(stderr, QStringLiteral("tovra-printer-sim: cannot answer discovery: %1").arg(message));
        return kExitFailure;
    }
    SimJobCapture capture(&printer);
    SimRawPrintServer rawServer(&capture);
    if (!options.captureDir.isEmpty()) {
        if (!capture.open(options.captureDir, message)) {
            printLine(stderr, QStringLiteral("tovra-printer-sim: %1").arg(message));
            return kExitFailure;
        }
        if (!rawServer.listen(options.listenAddress, options.rawPort)) {
            printLine(stderr,
                QStringLiteral("tovra-printer-sim: cannot listen for raw print jobs on %1:%2: %3")
                    .arg(options.listenAddress.toString())
                    .arg(options.rawPort)
                    .arg(rawServer.errorString()));
            return kExitFailure;
        }
    }
    // Before the listening line, so the link exists once scripts have read it.
    SimPty usbPty(&printer, options.keys);
    if (capture.isOpen())
        usbPty.setCapture(&capture);
    if (!options.usbPtyLink.isEmpty()) {
        if (!usbPty.open(options.usbPtyLink, message)) {
            printLine(stderr, QStringLiteral("tovra-printer-sim: cannot serve USB: %1").arg(message));
            return kExitFailure;
        }
        if (!usbPty.unplugOnSignal(SIGUSR1))
            printLine(stderr, QStringLiteral("tovra-printer-sim: warning: cannot catch SIGUSR1"));
        if (options.usbUnplugAfterMs >= 0)
            QTimer::singleShot(options.usbUnplugAfterMs, &usbPty, &SimPty::unplug);
    }
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&](int signalNumber) {
        printer.log(QString(), QStringLiteral("stopping on signal %1").arg(signalNumber));
        server.close();
        QCoreApplication::quit();
    });

    const SimIdentity& id = options.identity;
    const QString listening
        = QStringLiteral("tovra-printer-sim listening on %1:%2 (project %3, model %4, sn %5)")
              .arg(server.address().toString())
              .arg(server.port())
              .arg(QString::fromLatin1(id.project), QString::fromLatin1(id.model), QString::fromLatin1(id.sn));
    printer.log(QString(), listening);
    printLine(stdout, listening);
    // After the listening line, which scripts read first.
    if (options.discovery)
        printLine(stdout,
            QStringLiteral("tovra-printer-sim answering discovery on UDP %1 (%2)")
                .arg(SimDiscovery::kPort)
                .arg(discovery.interfaceName()));

    if (capture.isOpen())
        printLine(stdout,
            QStringLiteral("tovra-printer-sim capturing raw print jobs from TCP %1 into %2")
                .arg(rawServer.port())
                .arg(options.captureDir));
    if (usbPty.isOpen())
        printLine(stdout,
            QStringLiteral("tovra-printer-sim serving USB on %1 (link %2)").arg(usbPty.slavePath(), usbPty.linkPath()));

    const int status = app.exec();
    // A failed save has been reported; the stop itself was still clean.
    printer.saveState();
    return status;
}
