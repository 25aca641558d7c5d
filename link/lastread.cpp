#include "link/lastread.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"

LastRead lastRead;

bool LastRead::refresh(const QByteArray& reply)
{
    using namespace settings;
    if (const auto ethernet = EthernetAddress::fromReply(reply)) {
        ethernetAddress = *ethernet;
        wifiAddress = WifiAddress::fromReply(reply).value_or(WifiAddress());
    } else if (const auto print = PrintSettings::fromReply(reply)) {
        printSettings = print->withoutReserved();
    } else if (const auto mobile = ApnSettings::fromReply(reply)) {
        apn = *mobile;
    } else if (const auto port = SerialSettings::fromReply(reply)) {
        serial = *port;
    } else if (const auto prompts = AudioSettings::fromReply(reply)) {
        audio = *prompts;
    } else {
        // The device information record has nothing to save.
        return DeviceInfo::fromReply(reply).has_value();
    }
    return true;
}

LastRead::Save LastRead::sendRecord(settings::Record& copy, const settings::Record& value)
{
    if (value == copy)
        return Save::Unchanged;
    if (!hostCmd.sendRecord(value.bytes())) {
        LOG("Settings record %s not sent; the edit stays unsaved.", qPrintable(value.bytes().left(2).toHex()));
        return Save::Failed;
    }
    copy = value;
    return Save::Sent;
}
