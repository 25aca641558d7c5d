#pragma once

#include "settings/settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A printer's settings as a file that can be kept, applied to many printers
// and compared with them: what one printer holds (`PrinterState`), the file
// (`SettingsFile`), the per-printer values of a fleet (`FleetVars`) and what
// applying a file to one printer would do (`Plan`). No I/O here: the command
// line and the window read and write the files and talk to the printers.
namespace settings {

// Everything read from one printer. A part that was not read (or that the
// printer did not answer) is empty.
struct PrinterState
{
    std::optional<DeviceIdentity> identity;
    std::optional<DeviceInfo> device;
    std::optional<NetworkInfo> network;
    std::optional<PrintSettings> print;
    std::optional<WnetStatus> wnet;
    std::optional<SerialSettings> serial;
    std::optional<AudioSettings> audio;
    std::optional<std::vector<FontEntry>> fontTable;
    std::optional<std::vector<InstalledFont>> fontFiles;

    QString project() const;
    QString model() const;
    QString serialNumber() const;
};

// An installed font file as a file names it; the printer lists name and size
// only, so the digest is known only for files the user supplies.
struct FontFile
{
    QString name;
    qint64 size = 0;
    // 16 raw bytes; empty when unknown.
    QByteArray md5;
};

// The settings file: a JSON object with "format" and "version", a "source"
// object for information only, and one object per group ("print", "serial",
// "audio", "mobile", "ethernet", "wifi") keyed by the field names without the
// group (print.density is "print": {"density": 3}), and "fonts" with "table"
// (an array of entries keyed like the font.* fields) and "files" (name, size,
// md5 in hex). A group or field left out is not touched by an apply.
struct SettingsFile
{
    static constexpr char kFormat[] = "tovra-printer-settings";
    static constexpr int kVersion = 1;

    QJsonObject source;
    // Dotted name -> value, for the fields the file holds, every one checked
    // against its field's range or choices.
    QMap<QString, QJsonValue> values;
    std::optional<std::vector<FontEntry>> fontTable;
    std::optional<std::vector<FontFile>> fontFiles;
    // Line (1-based) of each dotted name in the text read, for messages.
    QMap<QString, int> lines;

    bool hasPassword() const { return values.contains(QStringLiteral("wifi.password")); }
    bool setsStaticAddress() const;

    // The whole file or nothing: false with `error` naming the place
    // ("line 7: print.density: ...", "line 3: unknown group \"printer\"",
    // "line 1: format version 2 is not supported, 1 is", "line 12: ... (JSON)").
    static bool parse(const QByteArray& text, SettingsFile* file, QString* error);
    // Indented JSON, groups in a fixed order, fields in table order.
    QByteArray toJson() const;

    // Every writable setting of `state`'s parts, with the source filled from
    // its identity and versions and `time`. The password only when given
    // (the printer never reports it).
    static SettingsFile fromState(const PrinterState& state, const QString& time,
        const std::optional<QString>& wifiPassword = std::nullopt);
};

// Per-printer values from a CSV file: a header row "sn,<dotted name>,...",
// then one row per printer; quoted cells as in RFC 4180.
struct FleetVars
{
    // Serial number -> dotted name -> value (converted to the field's JSON type).
    QMap<QString, QMap<QString, QJsonValue>> bySerial;

    // False with `error` naming the line and column for an unknown name, a
    // value that does not fit its field, a repeated serial number or a row of
    // the wrong length.
    static bool parse(const QByteArray& csv, FleetVars* vars, QString* error);
};

// One field that differs: its dotted name and the values as JSON.
struct Change
{
    QString name;
    QJsonValue before;
    QJsonValue after;
};

// What applying a file to one printer does.
struct Plan
{
    std::vector<Change> changes;
    // Command records to write, in order: the address records last, as they
    // may move the printer.
    std::vector<QByteArray> records;
    // The whole font table to write, when it differs.
    std::optional<std::vector<FontEntry>> fontTable;
    // Font files the printer lacks (or holds with another size).
    std::vector<FontFile> fontsToInstall;
    // Groups skipped and why ("wifi: the printer has no Wi-Fi").
    QStringList notes;
    // Set when this printer must not be touched (a needed value is missing).
    QString error;

    bool differs() const { return !changes.empty(); }
};

// The plan for one printer: `file`'s values over `vars` (this printer's row,
// which wins), compared with `state`. Groups the printer's model lacks are
// skipped with a note.
Plan makePlan(const SettingsFile& file, const PrinterState& state, const QMap<QString, QJsonValue>& vars = {});

// The names of the plan's changes that `after` (read back) does not show.
QStringList mismatches(const Plan& plan, const PrinterState& after);

} // namespace settings
