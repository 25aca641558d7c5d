#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The simulator's traffic log: one line per event, each starting with the
// local time (ISO 8601 with milliseconds) and the connection tag ("#3").
//
//   <time> #1 open 127.0.0.1:40312
//   <time> #1 handshake nonce 0x6650a1b2
//   <time> #1 RX 0x0003 read request 3, 2 bytes: 03 00
//   <time> #1 TX 0x0003 print settings, 46 bytes: 03 00 00 ...
//   <time> #1 closed
class SimLog final
{
public:
    SimLog() = default;
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    // "-" logs to stderr. Truncates an existing file.
    bool open(const QString& path, QString& error);
    bool isOpen() const { return file_.isOpen(); }
    void write(const QString& tag, const QString& text);

    enum class Direction { Received, Sent };
    // Short name of a record identifier as seen in that direction: requests
    // from the host ("read request 3") or replies of the printer. Empty for
    // identifiers outside the command catalogue.
    static QString recordName(quint16 id, Direction direction);
    // "0x0121 print settings, 46 bytes: 21 01 ...". Wi-Fi credentials show the
    // SSID; the password and everything after it are masked.
    static QString describe(const QByteArray& record, Direction direction);

private:
    QFile file_;
};
