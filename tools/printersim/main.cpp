// tovra-printer-sim: a printer on the host command port, for end-to-end tests
// and for trying the setup utility without hardware. See --help.

#include "render/escposrenderer.h"
#include "tools/printersim/simdiscovery.h"
#include "tools/printersim/simoptions.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simpty.h"
#include "tools/printersim/simrawprint.h"
#include "tools/printersim/simserver.h"
#include "tools/printersim/simstatefile.h"
#include "tools/printersim/stopsignals.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

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
    // Fonts for drawing print jobs, never a window: no display, whatever
    // the environment names.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
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
        if (options.renderOutput.isEmpty()) {
            std::fputs(escpos::renderText(job.readAll()).toUtf8().constData(), stdout);
            return 0;
        }
        const escpos::Image image = escpos::renderImage(job.readAll(), printOptions(options.identity));
        for (const QString& unknown : image.unknown)
            printLine(stderr, QStringLiteral("tovra-printer-sim: skipped unknown command %1").arg(unknown));
        QImageWriter writer(options.renderOutput, "png");
        if (!writer.write(image.image)) {
            printLine(stderr,
                QStringLiteral("tovra-printer-sim: cannot write %1: %2")
                    .arg(options.renderOutput, writer.errorString()));
            return kExitFailure;
        }
        return 0;
    }

    // Created in order and destroyed in reverse: servers before their printer.
    struct Member
    {
        std::unique_ptr<SimPrinter> printer;
        std::unique_ptr<SimServer> server;
        std::unique_ptr<SimJobCapture> capture;
        std::unique_ptr<SimRawPrintServer> rawServer;
    };
    std::vector<Member> fleet(size_t(options.printerCount()));
    std::shared_ptr<SimLog> log;
    if (!options.logPath.isEmpty()) {
        log = std::make_shared<SimLog>();
        if (!log->open(options.logPath, message)) {
            printLine(
                stderr, QStringLiteral("tovra-printer-sim: cannot open log %1: %2").arg(options.logPath, message));
            return kExitFailure;
        }
    }
    if (options.fleet > 0 && !options.statePath.isEmpty() && !QDir().mkpath(options.statePath)) {
        printLine(stderr, QStringLiteral("tovra-printer-sim: cannot create %1").arg(options.statePath));
        return kExitFailure;
    }
    int missingStates = 0;
    for (int index = 0; index < options.printerCount(); ++index) {
        Member& member = fleet[size_t(index)];
        const QHostAddress address = options.printerAddress(index);
        const SimIdentity identity = options.printerIdentity(index);
        const QString statePath = options.printerPath(options.statePath, index, QStringLiteral(".json"));
        bool isIpv4 = false;
        const quint32 ownAddress = address.toIPv4Address(&isIpv4);
        SimState state = SimModel::defaultState(identity, isIpv4 ? ownAddress : 0);
        if (!statePath.isEmpty()) {
            switch (loadStateFile(statePath, state, message)) {
            case StateLoad::Loaded:
                break;
            case StateLoad::Missing:
                ++missingStates;
                break;
            case StateLoad::Partial:
            case StateLoad::Corrupt:
                printLine(stderr, QStringLiteral("tovra-printer-sim: warning: %1").arg(message));
                break;
            }
        }

        member.printer = std::make_unique<SimPrinter>(SimModel(identity, state), statePath);
        SimPrinter& printer = *member.printer;
        printer.setWnetRestartMs(options.wnetRestartMs);
        printer.setFaults(options.faults);
        if (log)
            printer.shareLog(log, options.fleet > 0 ? address.toString() : QString());
        if (options.faults.any())
            printer.log(QString(), options.faults.describe());
        if (!printer.fonts().open(options.printerPath(options.fontDir, index), message)) {
            printLine(stderr, QStringLiteral("tovra-printer-sim: %1").arg(message));
            return kExitFailure;
        }
        // A fresh or repaired state file right away, so it can be looked at.
        printer.saveState();

        member.server = std::make_unique<SimServer>(&printer, options.keys, options.keepaliveMs);
        if (!member.server->listen(address, options.port)) {
            printLine(stderr,
                QStringLiteral("tovra-printer-sim: cannot listen on %1:%2: %3")
                    .arg(address.toString())
                    .arg(options.port)
                    .arg(member.server->errorString()));
            return kExitFailure;
        }
        member.capture = std::make_unique<SimJobCapture>(&printer);
        member.rawServer = std::make_unique<SimRawPrintServer>(member.capture.get());
        if (!options.captureDir.isEmpty()) {
            const QString captureDir = options.printerPath(options.captureDir, index);
            if (!member.capture->open(captureDir, message)) {
                printLine(stderr, QStringLiteral("tovra-printer-sim: %1").arg(message));
                return kExitFailure;
            }
            if (!member.rawServer->listen(address, options.rawPort)) {
                printLine(stderr,
                    QStringLiteral("tovra-printer-sim: cannot listen for raw print jobs on %1:%2: %3")
                        .arg(address.toString())
                        .arg(options.rawPort)
                        .arg(member.rawServer->errorString()));
                return kExitFailure;
            }
        }
    }
    if (missingStates > 0)
        printLine(stderr,
            QStringLiteral("tovra-printer-sim: %1 does not exist yet; starting from the defaults of model %2")
                .arg(options.fleet > 0 ? QStringLiteral("%1 (%2 printers)").arg(options.statePath).arg(missingStates)
                                       : options.statePath,
                    QString::fromLatin1(options.identity.model)));

    StopSignals stopSignals;
    if (!stopSignals.isActive())
        printLine(stderr, QStringLiteral("tovra-printer-sim: warning: cannot catch SIGINT and SIGTERM"));

    // Discovery and the USB side belong to a single printer, never to a fleet.
    SimPrinter& printer = *fleet.front().printer;
    SimDiscovery discovery(&printer);
    if (options.discovery && !discovery.start(options.listenAddress, message)) {
        printLine(stderr, QStringLiteral("tovra-printer-sim: cannot answer discovery: %1").arg(message));
        return kExitFailure;
    }
    // Before the listening line, so the link exists once scripts have read it.
    SimPty usbPty(&printer, options.keys);
    if (fleet.front().capture->isOpen())
        usbPty.setCapture(fleet.front().capture.get());
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
        for (Member& member : fleet) {
            member.printer->log(QString(), QStringLiteral("stopping on signal %1").arg(signalNumber));
            member.server->close();
        }
        QCoreApplication::quit();
    });

    for (const Member& member : fleet) {
        const SimIdentity& id = member.printer->model().identity();
        const QString listening
            = QStringLiteral("tovra-printer-sim listening on %1:%2 (project %3, model %4, sn %5)")
                  .arg(member.server->address().toString())
                  .arg(member.server->port())
                  .arg(QString::fromLatin1(id.project), QString::fromLatin1(id.model), QString::fromLatin1(id.sn));
        member.printer->log(QString(), listening);
        printLine(stdout, listening);
    }
    // After the listening line, which scripts read first.
    if (options.discovery)
        printLine(stdout,
            QStringLiteral("tovra-printer-sim answering discovery on UDP %1 (%2)")
                .arg(SimDiscovery::kPort)
                .arg(discovery.interfaceName()));

    if (!options.captureDir.isEmpty())
        printLine(stdout,
            QStringLiteral("tovra-printer-sim capturing raw print jobs from TCP %1 into %2")
                .arg(fleet.front().rawServer->port())
                .arg(options.captureDir));
    if (usbPty.isOpen())
        printLine(stdout,
            QStringLiteral("tovra-printer-sim serving USB on %1 (link %2)").arg(usbPty.slavePath(), usbPty.linkPath()));

    const int status = app.exec();
    // A failed save has been reported; the stop itself was still clean.
    for (const Member& member : fleet)
        member.printer->saveState();
    return status;
}
