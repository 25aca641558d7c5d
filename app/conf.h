#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// The small INI configuration kept in the working directory. One instance
// with static storage (`conf`); filled once at start-up.
class Conf final : public QObject
{
    Q_OBJECT

public:
    explicit Conf(QObject* parent = nullptr);

    void load();
    void save() const;

    static quint32 vidPid(quint16 vendor, quint16 product) { return (quint32(vendor) << 16) | product; }

    qint32 FileVersion = 0;
    // 0 English, 1 Simplified Chinese, 2 Japanese; anything else acts as English.
    qint32 Language = 0;
    // -1: key absent; 1 or more shows the font settings button.
    qint32 FontSettingsEnabled = -1;
    // (vendor << 16) | product, in file order, duplicates kept.
    QList<quint32> vidPidList;
    QString fileName = QStringLiteral("tovra-cloud-printer-setup.ini");

    // Host command protocol constants. Printers that define others have them
    // in the group "Protocol"; these keys are read, never written.
    QByteArray defaultKey;
    QByteArray iv;

private:
    // The VID/PID value as the file held it, and whether a piece of it could
    // not be read.
    QString vidPidText_;
    bool vidPidIncomplete_ = false;
};

extern Conf conf;
