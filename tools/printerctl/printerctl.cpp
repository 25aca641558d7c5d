#include "tools/printerctl/printerctl.h"

#include "app/debuglog.h"
#include "app/diagnostics.h"
#include "link/recordhistory.h"
#include "link/testpage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using settings::Change;
using settings::Plan;
using settings::SettingsFile;

const QString kPassword = QStringLiteral("wifi.password");
const QString kMask = QStringLiteral("********");
constexpr int kDiscoveryPassMs = 500;

void out(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void err(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

// "-" is standard input.
QByteArray readAll(const QString& path, QString* error)
{
    QFile file(path);
    const bool opened = path == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return {};
    }
    return file.readAll();
}

// The password never shows.
QJsonValue shown(const QString& name, const QJsonValue& value)
{
    return name == kPassword && !value.isNull() && !value.isUndefined() ? QJsonValue(kMask) : value;
}

QString valueText(const QString& name, const QJsonValue& jsonValue)
{
    const QJsonValue value = shown(name, jsonValue);
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(qint64(value.toDouble()));
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default:
        return QStringLiteral("-");
    }
}

// Every field a printer's records name, by dotted name.
std::vector<const settings::Schema*> schemas()
{
    using namespace settings;
    return {&DeviceInfo::kSchema(), &NetworkInfo::kSchema(), &PrintSettings::kSchema(), &WnetStatus::kSchema(),
        &SerialSettings::kSchema(), &AudioSettings::kSchema(), &EthernetAddress::kSchema(), &WifiAddress::kSchema(),
        &WifiCredentials::kSchema()};
}

const settings::Field* findField(const QString& name)
{
    for (const settings::Schema* schema : schemas()) {
        if (const settings::Field* field = schema->find(name))
            return field;
    }
    return nullptr;
}

// A value typed on the command line as its field takes it in a file;
// anything else goes as text, for the file's check to name.
QJsonValue typedValue(const settings::Field* field, const QString& value)
{
    if (field && (field->kind == settings::Kind::Bit || field->kind == settings::Kind::Switch16)) {
        const QString word = value.toLower();
        if (QStringList {"true", "yes", "on", "1"}.contains(word))
            return true;
        if (QStringList {"false", "no", "off", "0"}.contains(word))
            return false;
    }
    if (field && field->isNumber()) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (ok)
            return double(number);
    }
    return value;
}

// Everything read, by dotted name: the records' own fields, and the settings
// file's names for what lives inside other records (ethernet.static_ip, ...).
QMap<QString, QJsonValue> readValues(const settings::PrinterState& state)
{
    QMap<QString, QJsonValue> values;
    const auto add = [&](const auto& record) {
        if (!record)
            return;
        const QJsonObject fields = record->toJson();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            values.insert(it.key(), it.value());
    };
    add(state.device);
    add(state.network);
    add(state.print);
    add(state.wnet);
    add(state.serial);
    add(state.audio);
    const SettingsFile file = SettingsFile::fromState(state, QString());
    for (auto it = file.values.begin(); it != file.values.end(); ++it)
        values.insert(it.key(), it.value());
    return values;
}

// The combo text the print settings page shows for a value (English).
QString choiceText(int index, qint64 value)
{
    const settings::Field& field = settings::PrintSettings::kSchema().fields[size_t(index)];
    const settings::Choice* shown = nullptr;
    for (const settings::Choice& choice : field.choices) {
        if (choice.value == value)
            shown = &choice;
    }
    // The page falls back to its first item.
    if (!shown && !field.choices.empty())
        shown = &field.choices.front();
    if (!shown)
        return QString();
    return shown->text ? QString::fromUtf8(shown->text) : QString::number(shown->value);
}

bool writeFile(const QString& path, const QByteArray& data, bool secret, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || (secret && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        || file.write(data) != data.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QJsonArray changesJson(const std::vector<Change>& changes)
{
    QJsonArray array;
    for (const Change& change : changes)
        array.append(QJsonObject {{"name", change.name}, {"before", shown(change.name, change.before)},
            {"after", shown(change.name, change.after)}});
    return array;
}

bool writes(const Plan& plan)
{
    return plan.differs() || !plan.records.empty() || plan.fontTable || !plan.fontsToInstall.empty();
}

QString csvCell(const QString& value)
{
    if (!value.contains(QRegularExpression(QStringLiteral("[\",\r\n]"))))
        return value;
    return '"' + QString(value).replace('"', QStringLiteral("\"\"")) + '"';
}

// Columns padded to their widest cell, the last one not.
QString table(const QList<QStringList>& rows)
{
    QVector<int> widths;
    for (const QStringList& row : rows) {
        widths.resize(qMax(widths.size(), row.size()));
        for (int i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths[i], row[i].size());
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        text += line.trimmed() + '\n';
    }
    return text;
}

} // namespace

PrinterCtl::PrinterCtl(const CtlOptions& options, QObject* parent)
    : QObject(parent)
    , options_(options)
{
}

void PrinterCtl::refuse(const QString& message)
{
    err(message);
    if (options_.output == CtlOptions::Output::Json)
        out(QString::fromUtf8(QJsonDocument(QJsonObject {{"command", options_.command}, {"error", message}})
                                  .toJson(QJsonDocument::Compact)
            + '\n'));
    QTimer::singleShot(0, this, [this] { Q_EMIT finished(kExitFailed); });
}

void PrinterCtl::start()
{
    if (!prepare())
        return;
    if (options_.command == "discover") {
        discover([this](const QList<Discovery::Reply>& replies) { reportDiscovery(replies); });
        return;
    }
    if (!options_.discover) {
        if (checkFleet())
            runFleet();
        return;
    }
    discover([this](const QList<Discovery::Reply>& replies) {
        for (const Discovery::Reply& reply : replies) {
            QString error;
            const auto target = PrinterSession::Target::parse(reply.address, &error);
            if (target)
                printers_.push_back({reply.address, *target});
        }
        if (checkFleet())
            runFleet();
    });
}

bool PrinterCtl::prepare()
{
    const QString& command = options_.command;
    QStringList printers = options_.arguments;
    if (command == "discover")
        return true;
    if (command == "apply" || command == "drift") {
        if (!prepareSettingsFile(printers.takeFirst()))
            return false;
    } else if (command == "get") {
        names_ = printers.mid(1);
        printers = printers.mid(0, 1);
        for (const QString& name : qAsConst(names_)) {
            if (!findField(name) || name == kPassword) {
                refuse(name == kPassword ? QStringLiteral("wifi.password: the printer never reports it")
                                         : QStringLiteral("unknown name \"%1\"").arg(name));
                return false;
            }
        }
    } else if (command == "set") {
        if (!prepareSet())
            return false;
        printers = printers.mid(0, 1);
    } else if (command == "backup") {
        readParts_ = PrinterSession::Everything;
        if (!options_.wifiPasswordFile.isEmpty()) {
            QString error;
            const QByteArray data = readAll(options_.wifiPasswordFile, &error);
            const QString password = QString::fromUtf8(data).section('\n', 0, 0).remove('\r');
            if (!error.isEmpty() || password.isEmpty()) {
                refuse(
                    error.isEmpty() ? QStringLiteral("no Wi-Fi password in %1").arg(options_.wifiPasswordFile) : error);
                return false;
            }
            wifiPassword_ = password;
        }
    } else if (command == "print-test") {
        names_ = printers.mid(1);
        printers = printers.mid(0, 1);
        if (!QStringList {"print", "black-mark", "ethernet", "wifi"}.contains(names_.first())) {
            refuse(
                QStringLiteral("print-test: no page \"%1\" (print, black-mark, ethernet or wifi)").arg(names_.first()));
            return false;
        }
    } else if (command == "fonts") {
        names_ = printers.mid(1);
        printers = printers.mid(0, 1);
        const QString& action = names_.first();
        const bool ok = (action == "list" && names_.size() == 1)
            || ((action == "install" || action == "remove") && names_.size() == 2);
        if (!ok) {
            refuse(QStringLiteral("usage: tovra-printer-ctl fonts PRINTER list | install FILE | remove NAME"));
            return false;
        }
        if (action == "install") {
            QString error;
            fontData_ = readAll(names_[1], &error);
            if (!error.isEmpty()) {
                refuse(error);
                return false;
            }
        }
    }
    return addPrinters(printers);
}

bool PrinterCtl::prepareSettingsFile(const QString& path)
{
    QString error;
    const QByteArray text = readAll(path, &error);
    if (!error.isEmpty() || !SettingsFile::parse(text, &file_, &error)) {
        refuse(QStringLiteral("bad file: %1").arg(error));
        return false;
    }
    if (file_.fontTable || file_.fontFiles)
        readParts_ = PrinterSession::Everything;
    if (options_.fontsDir.isEmpty())
        options_.fontsDir = QFileInfo(path).absolutePath();
    if (!options_.vars.isEmpty()) {
        settings::FleetVars vars;
        const QByteArray csv = readAll(options_.vars, &error);
        if (!error.isEmpty()) {
            refuse(QStringLiteral("bad file: %1").arg(error));
            return false;
        }
        // Its lines are told apart from the settings file's by its name.
        if (!settings::FleetVars::parse(csv, &vars, &error)) {
            refuse(QStringLiteral("bad file: %1: %2").arg(options_.vars, error));
            return false;
        }
        vars_ = vars;
    }
    return true;
}

// The values become a one-printer file, checked as any file is.
bool PrinterCtl::prepareSet()
{
    QJsonObject groups {{"format", QLatin1String(SettingsFile::kFormat)}, {"version", SettingsFile::kVersion}};
    for (const QString& assignment : options_.arguments.mid(1)) {
        const int equals = assignment.indexOf('=');
        const QString name = assignment.left(equals);
        const int dot = name.indexOf('.');
        if (equals < 0 || dot <= 0) {
            refuse(QStringLiteral("bad value: \"%1\" is no NAME=VALUE").arg(assignment));
            return false;
        }
        QJsonObject group = groups.value(name.left(dot)).toObject();
        group.insert(name.mid(dot + 1), typedValue(findField(name), assignment.mid(equals + 1)));
        groups.insert(name.left(dot), group);
    }
    QString error;
    if (!SettingsFile::parse(QJsonDocument(groups).toJson(), &file_, &error)) {
        // The lines are those of a file the user never saw.
        refuse(QStringLiteral("bad value: %1").arg(error.remove(QRegularExpression(QStringLiteral("^line \\d+: ")))));
        return false;
    }
    return true;
}

bool PrinterCtl::addPrinters(const QStringList& texts)
{
    for (const QString& text : texts) {
        QString error;
        const auto target = PrinterSession::Target::parse(text, &error);
        if (!target) {
            refuse(QStringLiteral("bad printer \"%1\": %2").arg(text, error));
            return false;
        }
        printers_.push_back({text, *target});
    }
    return true;
}

bool PrinterCtl::checkFleet()
{
    if (options_.command == "apply" && file_.setsStaticAddress() && printers_.size() > 1 && !vars_) {
        refuse(QStringLiteral("refused: the file sets a static address and would give it to %1 printers; give each "
                              "its own with --vars")
                   .arg(printers_.size()));
        return false;
    }
    if (options_.command == "backup" && printers_.size() > 1 && !QDir().mkpath(options_.outputPath)) {
        refuse(QStringLiteral("cannot make the folder %1").arg(options_.outputPath));
        return false;
    }
    return true;
}

void PrinterCtl::discover(std::function<void(const QList<Discovery::Reply>&)> then)
{
    auto* discovery = new Discovery(this);
    auto found = std::make_shared<QList<Discovery::Reply>>();
    connect(discovery, &Discovery::repliesReceived, this, [found](const QList<Discovery::Reply>& replies) {
        for (const Discovery::Reply& reply : replies) {
            const bool known = std::any_of(found->cbegin(), found->cend(),
                [&](const Discovery::Reply& seen) { return seen.sn == reply.sn && seen.address == reply.address; });
            if (!known)
                found->append(reply);
        }
    });
    auto* passes = new QTimer(discovery);
    connect(passes, &QTimer::timeout, discovery, &Discovery::sendPass);
    passes->start(kDiscoveryPassMs);
    discovery->sendPass();
    QTimer::singleShot(int(options_.seconds * 1000), this, [discovery, found, then] {
        discovery->deleteLater();
        std::sort(found->begin(), found->end(), [](const Discovery::Reply& a, const Discovery::Reply& b) {
            const quint32 left = QHostAddress(a.address).toIPv4Address(),
                          right = QHostAddress(b.address).toIPv4Address();
            return left != right ? left < right : a.sn < b.sn;
        });
        then(*found);
    });
}

void PrinterCtl::reportDiscovery(const QList<Discovery::Reply>& replies)
{
    if (options_.output == CtlOptions::Output::Json) {
        QJsonArray printers;
        for (const Discovery::Reply& reply : replies)
            printers.append(QJsonObject {
                {"address", reply.address}, {"project", reply.project}, {"model", reply.model}, {"sn", reply.sn}});
        out(QString::fromUtf8(QJsonDocument(QJsonObject {{"command", "discover"}, {"printers", printers}})
                                  .toJson(QJsonDocument::Indented)));
    } else if (options_.output == CtlOptions::Output::Csv) {
        QString text = QStringLiteral("address,project,model,sn\n");
        for (const Discovery::Reply& reply : replies)
            text
                += QStringList {csvCell(reply.address), csvCell(reply.project), csvCell(reply.model), csvCell(reply.sn)}
                       .join(',')
                + '\n';
        out(text);
    } else {
        QList<QStringList> rows {{"ADDRESS", "PROJECT", "MODEL", "SN"}};
        for (const Discovery::Reply& reply : replies)
            rows << QStringList {reply.address, reply.project, reply.model, reply.sn};
        out(table(rows));
    }
    Q_EMIT finished(kExitOk);
}

void PrinterCtl::runFleet()
{
    auto* run = new FleetRun(printers_, options_.jobs, options_.timeoutMs, work(), this);
    connect(run, &FleetRun::finished, this, [this, run] { report(run->outcomes()); });
    run->start();
}

FleetRun::Work PrinterCtl::work()
{
    using Done = std::function<void()>;
    using Step = void (PrinterCtl::*)(PrinterSession&, Outcome&, Done);
    const QString& command = options_.command;
    const Step step = command == "apply" || command == "drift" || command == "set" ? &PrinterCtl::applyWork
        : command == "print-test"                                                  ? &PrinterCtl::printTestWork
        : command == "fonts"                                                       ? &PrinterCtl::fontsWork
        : command == "restart-mobile"                                              ? &PrinterCtl::restartMobileWork
        : command == "diagnostics"                                                 ? &PrinterCtl::diagnosticsWork
                                                                                   : &PrinterCtl::readWork;
    return
        [this, step](PrinterSession& session, Outcome& outcome, Done done) { (this->*step)(session, outcome, done); };
}

// info, get and backup: one read, then what it gave.
void PrinterCtl::readWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    const PrinterSession::Parts parts = options_.command == "info" ? PrinterSession::Information : readParts_;
    session.read(parts, [this, &outcome, done](const QString& error, const settings::PrinterState& state) {
        outcome.state = state;
        if (!error.isEmpty())
            outcome.fail(error);
        else if (options_.command == "info")
            showInfo(outcome);
        else if (options_.command == "get")
            showValues(outcome);
        else
            writeBackup(outcome);
        done();
    });
}

void PrinterCtl::showInfo(Outcome& outcome)
{
    const settings::PrinterState& state = outcome.state;
    const QJsonObject device = state.device ? state.device->toJson() : QJsonObject();
    outcome.json.insert("device", device);
    outcome.lines << QStringLiteral("  project: %1").arg(state.project());
    for (auto it = device.begin(); it != device.end(); ++it)
        outcome.lines << QStringLiteral("  %1: %2").arg(it.key(), valueText(it.key(), it.value()));
}

void PrinterCtl::showValues(Outcome& outcome)
{
    const QMap<QString, QJsonValue> values = readValues(outcome.state);
    QJsonObject shownValues;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (!names_.isEmpty() && !names_.contains(it.key()))
            continue;
        shownValues.insert(it.key(), shown(it.key(), it.value()));
        outcome.lines << QStringLiteral("  %1: %2").arg(it.key(), valueText(it.key(), it.value()));
    }
    outcome.json.insert("values", shownValues);
}

void PrinterCtl::writeBackup(Outcome& outcome)
{
    const settings::PrinterState& state = outcome.state;
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const SettingsFile file = SettingsFile::fromState(state, time, wifiPassword_);
    QString path = options_.outputPath;
    if (printers_.size() > 1) {
        QString sn = state.serialNumber().isEmpty() ? outcome.printer : state.serialNumber();
        // A serial number is no path.
        static const QRegularExpression notInName(QStringLiteral("[^A-Za-z0-9._-]"));
        sn.replace(notInName, QStringLiteral("_"));
        path = QDir(options_.outputPath).filePath(sn + ".json");
    }
    QString error;
    if (writeFile(path, file.toJson(), file.hasPassword(), &error))
        outcome.json.insert("file", path);
    else
        outcome.fail(error);
}

void PrinterCtl::printTestWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    session.read(PrinterSession::Information | PrinterSession::Records,
        [this, &session, &outcome, done](const QString& error, const settings::PrinterState& state) {
            outcome.state = state;
            if (!error.isEmpty()) {
                outcome.fail(error);
                done();
                return;
            }
            session.printRaw(testPage(state), [&outcome, done](const QString& printError) {
                if (!printError.isEmpty())
                    outcome.fail(printError);
                done();
            });
        });
}

// The page as the window builds it, in English.
QByteArray PrinterCtl::testPage(const settings::PrinterState& state) const
{
    using Print = settings::PrintSettings;
    const QString& page = names_.first();
    if (page == "print") {
        const Print print = state.print.value_or(Print());
        return TestPage::printTestPage(choiceText(Print::Utf8, print.number(Print::Utf8)),
            choiceText(Print::Cjk, print.number(Print::Cjk)),
            choiceText(Print::CodePage, print.number(Print::CodePage)), state.project(), state.model());
    }
    if (page == "black-mark")
        return TestPage::blackMarkTestPage();
    const bool wifi = page == "wifi";
    const auto texts = TestPage::networkTexts(state.network.value_or(settings::NetworkInfo()), wifi);
    return TestPage::networkTestPage(wifi, texts, state.project(), state.model(), true);
}

void PrinterCtl::fontsWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    const auto finish = [&outcome, done](const QString& error) {
        if (!error.isEmpty())
            outcome.fail(error);
        done();
    };
    const QString& action = names_.first();
    if (action == "install") {
        session.installFont(QFileInfo(names_[1]).fileName(), fontData_, finish);
        return;
    }
    if (action == "remove") {
        session.removeFont(names_[1], finish);
        return;
    }
    session.read(
        PrinterSession::FontFiles, [&outcome, finish](const QString& error, const settings::PrinterState& state) {
            QJsonArray fonts;
            for (const settings::InstalledFont& font :
                state.fontFiles.value_or(std::vector<settings::InstalledFont>())) {
                const QString name = font.text(settings::InstalledFont::Name);
                const qint64 size = font.number(settings::InstalledFont::Size);
                fonts.append(QJsonObject {{"name", name}, {"size", double(size)}});
                outcome.lines << QStringLiteral("  %1  %2").arg(name).arg(size);
            }
            outcome.json.insert("fonts", fonts);
            finish(error);
        });
}

// The window's support archive, from what this tool has: its own debug log of
// this run, and a note where the window's configuration file would be.
void PrinterCtl::diagnosticsWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    session.read(PrinterSession::Information | PrinterSession::Records,
        [this, &session, &outcome, done](const QString& error, const settings::PrinterState& state) {
            outcome.state = state;
            diagnostics::Report report;
            // A printer that does not answer every read is what support wants to see.
            if (error.isEmpty())
                report.printer = state;
            else
                LOG("Diagnostics without the printer's settings: %s", qPrintable(error));
            report.log = logCaptured();
            report.configurationName = QStringLiteral("configuration.txt");
            report.configuration = "tovra-printer-ctl keeps no configuration file: it talks to printers with the "
                                   "protocol's default key and IV.\n";
            if (const RecordHistory* history = session.history())
                report.records = history->toCsv();
            QString writeError;
            if (!diagnostics::writeArchive(options_.outputPath, report, &writeError))
                outcome.fail(QStringLiteral("cannot write %1: %2").arg(options_.outputPath, writeError));
            else if (!error.isEmpty())
                outcome.fail(error);
            else
                outcome.json.insert("file", options_.outputPath);
            done();
        });
}

void PrinterCtl::restartMobileWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    const settings::PrinterState& state = session.state();
    if (!settings::features(state.project(), state.model()).mobile) {
        outcome.fail(QStringLiteral("refused: the printer has no mobile network module"));
        done();
        return;
    }
    session.restartMobile([&outcome, done](const QString& error) {
        if (!error.isEmpty())
            outcome.fail(error);
        done();
    });
}

void PrinterCtl::applyWork(PrinterSession& session, Outcome& outcome, std::function<void()> done)
{
    session.read(
        readParts_, [this, &session, &outcome, done](const QString& error, const settings::PrinterState& state) {
            outcome.state = state;
            if (!error.isEmpty()) {
                outcome.fail(error);
                done();
                return;
            }
            QMap<QString, QJsonValue> row;
            if (vars_) {
                if (!vars_->bySerial.contains(state.serialNumber())) {
                    outcome.fail(QStringLiteral("no row for %1 in %2").arg(state.serialNumber(), options_.vars));
                    done();
                    return;
                }
                row = vars_->bySerial.value(state.serialNumber());
            }
            const Plan plan = settings::makePlan(file_, state, row);
            outcome.changes = plan.changes;
            outcome.notes = plan.notes;
            if (!plan.error.isEmpty()) {
                outcome.fail(plan.error);
                done();
                return;
            }
            if (options_.command == "drift" || options_.check || !writes(plan)) {
                outcome.status = !plan.differs()  ? QStringLiteral("unchanged")
                    : options_.command == "drift" ? QStringLiteral("differs")
                                                  : QStringLiteral("would-change");
                done();
                return;
            }
            QMap<QString, QByteArray> fonts;
            const QString fontError = PrinterSession::loadFonts(plan, options_.fontsDir, &fonts);
            if (!fontError.isEmpty()) {
                outcome.fail(fontError);
                done();
                return;
            }
            session.apply(
                plan, fonts, [&outcome, plan, done](const QString& applyError, const settings::PrinterState& after) {
                    if (!applyError.isEmpty()) {
                        outcome.fail(applyError);
                    } else {
                        const QStringList names = settings::mismatches(plan, after);
                        if (names.isEmpty())
                            outcome.status = QStringLiteral("changed");
                        else
                            outcome.fail(QStringLiteral("read-back mismatch: %1").arg(names.join(", ")));
                    }
                    done();
                });
        });
}

void PrinterCtl::report(const std::vector<Outcome>& outcomes)
{
    const QString& command = options_.command;
    const bool planned = command == "apply" || command == "drift" || command == "set";
    QMap<QString, int> counts;
    for (const Outcome& outcome : outcomes)
        ++counts[outcome.status];
    const int errors = counts.value("error");
    const int exitCode = errors > 0                                  ? kExitFailed
        : counts.value("would-change") + counts.value("differs") > 0 ? kExitDiffers
                                                                     : kExitOk;

    if (options_.output == CtlOptions::Output::Json) {
        QJsonArray printers;
        for (const Outcome& outcome : outcomes) {
            QJsonObject printer = outcome.json;
            printer.insert("printer", outcome.printer);
            printer.insert("sn", outcome.state.serialNumber());
            printer.insert("project", outcome.state.project());
            printer.insert("model", outcome.state.model());
            printer.insert("status", outcome.status);
            if (planned) {
                printer.insert("changes", changesJson(outcome.changes));
                printer.insert("notes", QJsonArray::fromStringList(outcome.notes));
            }
            if (!outcome.error.isEmpty())
                printer.insert("error", outcome.error);
            printers.append(printer);
        }
        QJsonObject summary {{"printers", int(outcomes.size())}, {"errors", errors}};
        for (auto it = counts.begin(); it != counts.end(); ++it) {
            if (it.key() != "error")
                summary.insert(it.key(), it.value());
        }
        if (planned) {
            summary.insert("changed", counts.value("changed"));
            summary.insert("unchanged", counts.value("unchanged"));
        }
        QJsonObject document {{"command", command}, {"printers", printers}, {"summary", summary}};
        if (command == "apply")
            document.insert("check", options_.check);
        out(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)));
    } else {
        QList<QStringList> rows {{"PRINTER", "SN", "MODEL", "STATUS", "DETAIL"}};
        QString output;
        for (const Outcome& outcome : outcomes) {
            QStringList names;
            for (const Change& change : outcome.changes)
                names << change.name;
            const QString detail = !outcome.error.isEmpty()       ? outcome.error
                : command == "backup" || command == "diagnostics" ? outcome.json.value("file").toString()
                                                                  : names.join(", ");
            rows << QStringList {
                outcome.printer, outcome.state.serialNumber(), outcome.state.model(), outcome.status, detail};
        }
        // Each printer's row, then what it has to say in lines of its own.
        const QStringList rowLines = table(rows).split('\n');
        output += rowLines.first() + '\n';
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const Outcome& outcome = outcomes[i];
            output += rowLines.value(int(i) + 1) + '\n';
            if (planned && (options_.diff || command != "apply")) {
                for (const Change& change : outcome.changes)
                    output += QStringLiteral("  %1: %2 → %3\n")
                                  .arg(change.name, valueText(change.name, change.before),
                                      valueText(change.name, change.after));
            }
            for (const QString& note : outcome.notes)
                output += QStringLiteral("  note: %1\n").arg(note);
            for (const QString& line : outcome.lines)
                output += line + '\n';
        }
        out(output);
    }
    Q_EMIT finished(exitCode);
}
