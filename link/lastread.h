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

    QByteArray ethernetAddress;
    QByteArray wifiAddress;
    QByteArray printSettings;
    QByteArray apn;
    QByteArray serial;
    QByteArray audio;
};

extern LastRead lastRead;
