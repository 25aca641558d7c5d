#pragma once

#include "settings/settingsfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The support archive: one zip with everything support asks for, written the
// same way by the window and the command line. No widgets here.
namespace diagnostics {

// The versions the About dialog shows and the archive keeps.
struct Versions
{
    QString program;
    QString qt;
    QString openSsl;
    QString system;

    static Versions current();
    // "Program: ...", one line each.
    QByteArray toText() const;
};

struct Report
{
    QByteArray log;
    // The configuration file's name and contents as on disk (its key and IV
    // are masked when written), or a note in place of it.
    QString configurationName;
    QByteArray configuration;
    // The connected printer; empty when none is.
    std::optional<settings::PrinterState> printer;
    // RecordHistory::toCsv().
    QByteArray records;
};

// Entry names in the archive.
inline constexpr char kLog[] = "log.txt";
inline constexpr char kSettings[] = "printer-settings.json";
inline constexpr char kPrinter[] = "printer-information.json";
inline constexpr char kRecords[] = "records.csv";
inline constexpr char kVersions[] = "versions.txt";

// The INI text with the values of DefaultKey and IV replaced by asterisks.
QByteArray maskConfiguration(const QByteArray& ini);
// False with `error` set when the file cannot be written.
bool writeArchive(const QString& path, const Report& report, QString* error);

} // namespace diagnostics
