// tovra-printer-ctl: sets up fleets of printers from the command line. See --help.

#include "app/debuglog.h"
#include "tools/printerctl/ctloptions.h"
#include "tools/printerctl/printerctl.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovra-printer-ctl"));

    CtlOptions options;
    QString message;
    switch (parseCommandLine(QCoreApplication::arguments(), &options, &message)) {
    case ParseResult::Run:
        break;
    case ParseResult::Help:
        std::fputs(message.toUtf8().constData(), stdout);
        return PrinterCtl::kExitOk;
    case ParseResult::Error:
        std::fprintf(stderr, "tovra-printer-ctl: %s\nTry --help.\n", message.toUtf8().constData());
        return PrinterCtl::kExitFailed;
    }
    // No log file: the debug log shows only when asked for, on standard error.
    if (options.verbose)
        logOpenStream(stderr);
    // Its log.txt is this run's debug log.
    if (options.command == QLatin1String("diagnostics"))
        logCapture();

    PrinterCtl ctl(options);
    QObject::connect(&ctl, &PrinterCtl::finished, &app, [](int exitCode) { QCoreApplication::exit(exitCode); });
    ctl.start();
    const int exitCode = app.exec();
    logClose();
    return exitCode;
}
