#include "tools/printerctl/ctloptions.h"

#include <QCommandLineParser>

#include <cmath>
#include <vector>

namespace {

struct CommandInfo
{
    const char* name;
    const char* synopsis;
    const char* about;
    QStringList options;
    int minArguments;
    // -1: any number.
    int maxArguments;
    // Printers may come from discovery instead of the arguments.
    bool fleet;
};

const std::vector<CommandInfo>& commands()
{
    static const std::vector<CommandInfo> table = {
        {"discover", "discover [--seconds S]",
            "Finds the printers on the local network and prints their address, project, model and serial "
            "number.",
            {"seconds"}, 0, 0, false},
        {"info", "info PRINTER...", "Prints each printer's identity and versions.", {"discover", "seconds"}, 1, -1,
            true},
        {"get", "get PRINTER [NAME...]", "Prints the settings named (every one when none is) as read from the printer.",
            {}, 1, -1, false},
        {"set", "set PRINTER NAME=VALUE...",
            "Checks the values as a settings file would be checked, then writes them to the printer and reads them "
            "back.",
            {}, 2, -1, false},
        {"backup", "backup PRINTER... -o FILE|DIR [--wifi-password-file FILE|-]",
            "Writes each printer's settings to a settings file: with one printer -o names the file, with several a "
            "folder that gets one <SN>.json per printer.",
            {"o", "wifi-password-file", "discover", "seconds"}, 1, -1, true},
        {"apply", "apply FILE PRINTER... [--check] [--diff] [--vars CSV] [--fonts-dir DIR]",
            "Writes what the settings file holds to each printer where it differs, then reads it back.",
            {"check", "diff", "vars", "fonts-dir", "discover", "seconds"}, 2, -1, true},
        {"drift", "drift FILE PRINTER... [--vars CSV]",
            "Lists, for each printer, the fields that differ from the settings file.", {"vars", "discover", "seconds"},
            2, -1, true},
        {"print-test", "print-test PRINTER print|black-mark|ethernet|wifi",
            "Prints one of the test pages of the setup utility.", {}, 2, 2, false},
        {"fonts", "fonts PRINTER list | install FILE | remove NAME",
            "Lists, installs or removes font files on the printer.", {}, 2, 3, false},
        {"restart-mobile", "restart-mobile PRINTER", "Restarts the printer's mobile network module.", {}, 1, 1, false},
        {"diagnostics", "diagnostics PRINTER -o FILE",
            "Writes a support archive (zip): this run's debug log in place of the window's log.txt, a note in place "
            "of its configuration file (the tool has none and uses the protocol's default key), the printer's "
            "settings (no password), identity and network information, the records exchanged and the versions.",
            {"o-file"}, 1, 1, false},
    };
    return table;
}

const CommandInfo* findCommand(const QString& name)
{
    for (const CommandInfo& info : commands()) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

QList<QCommandLineOption> globalOptions()
{
    return {
        {"json", "Output as JSON."},
        {"csv", "Output as CSV (discover only)."},
        {"jobs", "At most N printers at a time (default 16).", "N"},
        {"timeout", "How long each step waits for a printer, in ms (default 5000).", "MS"},
        {"verbose", "The debug log on standard error."},
        {{"h", "help"}, "This help; after a command, the command's."},
    };
}

QCommandLineOption commandOption(const QString& name)
{
    if (name == "seconds")
        return {"seconds", "How long discovery listens for replies (default 3).", "S"};
    if (name == "discover")
        return {"discover", "Every printer that discovery finds, besides those given."};
    if (name == "o")
        return {"o", "The file (one printer) or folder (several) to write.", "FILE|DIR"};
    if (name == "o-file")
        return {"o", "The zip file to write.", "FILE"};
    if (name == "wifi-password-file")
        return {
            "wifi-password-file", "The Wi-Fi password to keep in the file, from FILE or - (standard input).", "FILE|-"};
    if (name == "check")
        return {"check", "Report what would change; write nothing."};
    if (name == "diff")
        return {"diff", "Show each field's value before and after."};
    if (name == "vars")
        return {"vars", "Per-printer values: a CSV file with a header sn,<name>,...", "CSV"};
    if (name == "fonts-dir")
        return {"fonts-dir", "Where the font files to install are (default: the settings file's folder).", "DIR"};
    return {name, name};
}

QString optionsText(const QList<QCommandLineOption>& options)
{
    QString text;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? "-" : "--") + name;
        QString left = names.join(", ");
        if (!option.valueName().isEmpty())
            left += ' ' + option.valueName();
        text += QStringLiteral("  %1  %2\n").arg(left, -28).arg(option.description());
    }
    return text;
}

QString programHelp()
{
    QString text = QStringLiteral(
        "Usage: tovra-printer-ctl [--json | --csv] [--jobs N] [--timeout MS] [--verbose] COMMAND ...\n\n"
        "Sets up fleets of TOVRA printers: backs up, applies and compares settings files.\n\nCommands:\n");
    for (const CommandInfo& info : commands())
        text += QStringLiteral("  %1\n").arg(QLatin1String(info.synopsis));
    text += QStringLiteral("\nPRINTER: ADDRESS[:PORT] | usb | usb:PATH | --discover (every printer discovery finds)\n"
                           "\nOptions:\n");
    text += optionsText(globalOptions());
    text += QStringLiteral("\nExit status: 0 done; 1 a printer failed or the input was bad; 2 --check or drift "
                           "found differences.\n'tovra-printer-ctl COMMAND --help' describes a command.\n");
    return text;
}

QString commandHelp(const CommandInfo& info, const QList<QCommandLineOption>& own)
{
    QString text = QStringLiteral("Usage: tovra-printer-ctl [global options] %1\n\n%2\n")
                       .arg(QLatin1String(info.synopsis), QLatin1String(info.about));
    if (info.fleet || info.maxArguments != 0)
        text += QStringLiteral("\nPRINTER: ADDRESS[:PORT] | usb | usb:PATH%1\n")
                    .arg(info.fleet ? QStringLiteral(" | --discover") : QString());
    if (!own.isEmpty())
        text += QStringLiteral("\nOptions:\n") + optionsText(own);
    text += QStringLiteral("\nGlobal options:\n") + optionsText(globalOptions());
    return text;
}

bool positiveNumber(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value > 0;
}

} // namespace

ParseResult parseCommandLine(const QStringList& arguments, CtlOptions* options, QString* message)
{
    // The command is the first word that is no option nor an option's value.
    int commandIndex = -1;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == "--jobs" || word == "--timeout") {
            ++i;
            continue;
        }
        if (!word.startsWith('-')) {
            commandIndex = i;
            break;
        }
    }
    QStringList rest = arguments;
    const CommandInfo* info = nullptr;
    if (commandIndex > 0) {
        info = findCommand(arguments.at(commandIndex));
        if (!info) {
            *message = QStringLiteral("unknown command \"%1\"").arg(arguments.at(commandIndex));
            return ParseResult::Error;
        }
        rest.removeAt(commandIndex);
    }

    QCommandLineParser parser;
    QList<QCommandLineOption> own;
    if (info) {
        for (const QString& name : info->options)
            own << commandOption(name);
    }
    parser.addOptions(globalOptions());
    parser.addOptions(own);
    if (!parser.parse(rest)) {
        *message = parser.errorText();
        return ParseResult::Error;
    }
    if (parser.isSet("help")) {
        *message = info ? commandHelp(*info, own) : programHelp();
        return ParseResult::Help;
    }
    if (!info) {
        *message = QStringLiteral("no command given");
        return ParseResult::Error;
    }

    options->command = QLatin1String(info->name);
    options->arguments = parser.positionalArguments();
    if (parser.isSet("json") && parser.isSet("csv")) {
        *message = QStringLiteral("--json and --csv exclude each other");
        return ParseResult::Error;
    }
    if (parser.isSet("csv") && options->command != "discover") {
        *message = QStringLiteral("--csv is for discover only");
        return ParseResult::Error;
    }
    options->output = parser.isSet("json") ? CtlOptions::Output::Json
        : parser.isSet("csv")              ? CtlOptions::Output::Csv
                                           : CtlOptions::Output::Table;
    if (parser.isSet("jobs") && !positiveNumber(parser.value("jobs"), &options->jobs)) {
        *message = QStringLiteral("--jobs needs a number above 0");
        return ParseResult::Error;
    }
    if (parser.isSet("timeout") && !positiveNumber(parser.value("timeout"), &options->timeoutMs)) {
        *message = QStringLiteral("--timeout needs a number of milliseconds above 0");
        return ParseResult::Error;
    }
    options->verbose = parser.isSet("verbose");
    const auto has = [&](const char* name) { return info->options.contains(QLatin1String(name)); };
    if (has("seconds") && parser.isSet("seconds")) {
        bool ok = false;
        options->seconds = parser.value("seconds").toDouble(&ok);
        if (!ok || !(options->seconds > 0) || !std::isfinite(options->seconds) || options->seconds > 3600) {
            *message = QStringLiteral("--seconds needs a number of seconds above 0");
            return ParseResult::Error;
        }
    }
    options->discover = has("discover") && parser.isSet("discover");
    options->check = has("check") && parser.isSet("check");
    options->diff = has("diff") && parser.isSet("diff");
    if (has("vars"))
        options->vars = parser.value("vars");
    if (has("fonts-dir"))
        options->fontsDir = parser.value("fonts-dir");
    if (has("o") || has("o-file"))
        options->outputPath = parser.value("o");
    if (has("wifi-password-file"))
        options->wifiPasswordFile = parser.value("wifi-password-file");

    // Fleet commands may take all their printers from discovery.
    const int given = options->arguments.size() + (options->discover ? 1 : 0);
    if (given < info->minArguments || (info->maxArguments >= 0 && options->arguments.size() > info->maxArguments)) {
        *message = QStringLiteral("usage: tovra-printer-ctl %1").arg(QLatin1String(info->synopsis));
        return ParseResult::Error;
    }
    if ((options->command == "backup" || options->command == "diagnostics") && options->outputPath.isEmpty()) {
        *message = QStringLiteral("%1 needs -o %2")
                       .arg(options->command, options->command == "backup" ? "FILE|DIR" : "FILE");
        return ParseResult::Error;
    }
    return ParseResult::Run;
}
