#include "app/diagnostics.h"

#include "app/debuglog.h"
#include "app/version.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <KZip>
#include <openssl/crypto.h>

namespace diagnostics {

namespace {

QByteArray printerInformation(const settings::PrinterState& state)
{
    QJsonObject json {{"project", state.project()}, {"model", state.model()}, {"sn", state.serialNumber()}};
    if (state.device)
        json.insert("device", state.device->toJson());
    if (state.network)
        json.insert("network", state.network->toJson());
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

} // namespace

Versions Versions::current()
{
    Versions versions;
    versions.program = QStringLiteral("TOVRA Cloud Printer Setup %1").arg(QLatin1String(kProgramVersion));
    versions.qt = QStringLiteral("%1 (built with %2)").arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    versions.openSsl = QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION));
    versions.system = QStringLiteral("%1 (%2 %3, %4)")
                          .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                              QSysInfo::currentCpuArchitecture());
    return versions;
}

QByteArray Versions::toText() const
{
    return QStringLiteral("Program: %1\nQt: %2\nOpenSSL: %3\nOperating system: %4\n")
        .arg(program, qt, openSsl, system)
        .toUtf8();
}

QByteArray maskConfiguration(const QByteArray& ini)
{
    // Any case and spacing QSettings would still read as these keys.
    static const QRegularExpression secret(QStringLiteral("^(\\s*(?:DefaultKey|IV)\\s*=)[^\\r\\n]*"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    return QString::fromUtf8(ini).replace(secret, QStringLiteral("\\1********")).toUtf8();
}

bool writeArchive(const QString& path, const Report& report, QString* error)
{
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly)) {
        *error = zip.errorString();
        LOG("Diagnostics to %s failed: %s", qPrintable(path), qPrintable(*error));
        return false;
    }
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    bool ok = zip.writeFile(QLatin1String(kLog), report.log)
        && zip.writeFile(report.configurationName, maskConfiguration(report.configuration))
        && zip.writeFile(QLatin1String(kRecords), report.records)
        && zip.writeFile(QLatin1String(kVersions), Versions::current().toText());
    if (ok && report.printer) {
        // Without the Wi-Fi password, which the printer never reports anyway.
        ok = zip.writeFile(QLatin1String(kSettings), settings::SettingsFile::fromState(*report.printer, time).toJson())
            && zip.writeFile(QLatin1String(kPrinter), printerInformation(*report.printer));
    }
    if (!ok || !zip.close()) {
        *error = zip.errorString();
        LOG("Diagnostics to %s failed: %s", qPrintable(path), qPrintable(*error));
        return false;
    }
    return true;
}

} // namespace diagnostics
