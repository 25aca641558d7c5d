#pragma once

#include <QByteArray>

// The settings records as last read from or sent to the printer, one per
// writable group. Save compares its record with the copy and sends only a
// change. All zero until the first reply arrives.
class LastRead final
{
public:
    LastRead();
    LastRead(const LastRead&) = delete;
    LastRead& operator=(const LastRead&) = delete;

    // Refreshes the copies that a read reply carries, with the command code
    // and version of the record Save would send. False, and nothing changed,
    // for a reply of another type or one shorter than its type's minimum.
    bool refresh(const QByteArray& reply);

    enum class Save { Unchanged, Sent, Failed };
    // What every page's Save does with its record: nothing when it equals the
    // copy; otherwise send it, and make it the copy only once it is out, so
    // that a failed write leaves the edit unsaved.
    static Save send(QByteArray& copy, const QByteArray& record);

    QByteArray ethernetAddress;
    QByteArray wifiAddress;
    QByteArray printSettings;
    QByteArray apn;
    QByteArray serial;
    QByteArray audio;
};

extern LastRead lastRead;
