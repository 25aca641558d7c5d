#include "link/lastread.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/recordlayouts.h"
#include "link/records.h"

#include <iterator>

LastRead lastRead;

namespace {

// The settings record as the printer reported it, renamed to the command
// that writes it. Bytes are copied as they stand, never reordered.
QByteArray asCommand(const RecordReader& reply, int size, quint8 code)
{
    return RecordWriter(reply.bytes(0, size)).u8(0, code).u8(1, 1).data();
}

// An address record (code, version, static address and netmask) taken from
// the network information reply.
QByteArray addressRecord(const RecordReader& reply, quint8 code, int staticIpOffset)
{
    using namespace layout::address;
    return RecordWriter(kSize).u8(0, code).u8(1, 1).bytes(kIp, reply.bytes(staticIpOffset, kSize - kIp)).data();
}

} // namespace

LastRead::LastRead()
    : ethernetAddress(layout::address::kSize, '\0')
    , wifiAddress(layout::address::kSize, '\0')
    , printSettings(layout::print::kSize, '\0')
    , apn(layout::apn::kSize, '\0')
    , serial(layout::serial::kSize, '\0')
    , audio(layout::audio::kSize, '\0')
{
}

bool LastRead::refresh(const QByteArray& reply)
{
    using namespace layout;
    const RecordReader reader(reply);
    const quint16 type = reader.u16(kIdOffset);
    if (type == 0 || type >= std::size(readtype::kMinLength) || reader.size() < readtype::kMinLength[type])
        return false;

    switch (type) {
    case readtype::kNetworkInfo:
        ethernetAddress = addressRecord(reader, code::kEthernetAddress, netinfo::kEthStaticIp);
        wifiAddress = addressRecord(reader, code::kWifiAddress, netinfo::kWifiStaticIp);
        break;
    case readtype::kPrintSettings:
        // Save always writes the reserved byte as 0, whatever the reply held there.
        printSettings
            = RecordWriter(asCommand(reader, print::kSize, code::kPrintSettings)).u8(print::kReserved, 0).data();
        break;
    case readtype::kWnet:
        apn = RecordWriter(apn::kSize)
                  .u8(0, code::kWnetApn)
                  .u8(1, 1)
                  .bytes(apn::kUseApn, reader.bytes(wnet::kUseApn, apn::kSize - apn::kUseApn))
                  .data();
        break;
    case readtype::kSerial:
        serial = asCommand(reader, serial::kSize, code::kSerial);
        break;
    case readtype::kAudio:
        audio = asCommand(reader, audio::kSize, code::kAudio);
        break;
    default:
        // The device information record has nothing to save.
        break;
    }
    return true;
}

LastRead::Save LastRead::send(QByteArray& copy, const QByteArray& record)
{
    if (record == copy)
        return Save::Unchanged;
    if (!hostCmd.sendRecord(record)) {
        LOG("Settings record %04x not sent; the edit stays unsaved.", RecordReader(record).u16(layout::kIdOffset));
        return Save::Failed;
    }
    copy = record;
    return Save::Sent;
}
