#pragma once

#include "settings/settings.h"

// The settings as last read from or sent to the printer, one value per
// writable record. Save compares its value with the copy and sends only a
// change. All zero until the first reply arrives.
class LastRead final
{
public:
    LastRead() = default;
    LastRead(const LastRead&) = delete;
    LastRead& operator=(const LastRead&) = delete;

    // Refreshes the copies that a read reply carries. False, and nothing
    // changed, for a reply of another type or one shorter than its type's
    // minimum.
    bool refresh(const QByteArray& reply);

    enum class Save { Unchanged, Sent, Failed };
    // What every page's Save does with its value: nothing when it equals the
    // copy; otherwise send it, and make it the copy only once it is out, so
    // that a failed write leaves the edit unsaved.
    template <class Value> static Save send(Value& copy, const Value& value) { return sendRecord(copy, value); }

    settings::EthernetAddress ethernetAddress;
    settings::WifiAddress wifiAddress;
    settings::PrintSettings printSettings;
    settings::ApnSettings apn;
    settings::SerialSettings serial;
    settings::AudioSettings audio;

private:
    static Save sendRecord(settings::Record& copy, const settings::Record& value);
};

extern LastRead lastRead;
