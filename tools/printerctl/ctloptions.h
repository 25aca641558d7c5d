#pragma once

#include <QString>
#include <QStringList>

// The command line as given: the global options, the command, its arguments
// and its options. Plain English throughout: the tool loads no translation.
struct CtlOptions
{
    enum class Output { Table, Json, Csv };

    Output output = Output::Table;
    int jobs = 16;
    int timeoutMs = 5000;
    bool verbose = false;

    QString command;
    // The command's own arguments, in order.
    QStringList arguments;

    // Printers found by discovery join those given.
    bool discover = false;
    double seconds = 3.0;
    bool check = false;
    bool diff = false;
    QString vars;
    QString fontsDir;
    QString outputPath;
    QString wifiPasswordFile;
};

enum class ParseResult { Run, Help, Error };

// Fills `options`, or `message` with the help text or what is wrong.
ParseResult parseCommandLine(const QStringList& arguments, CtlOptions* options, QString* message);
