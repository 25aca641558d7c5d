// The connect dialog's reading of a discovery reply datagram. The dialog
// itself is never made here: it would start a scan and open a socket.

#include "ui/dialogconnect.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), int(size));
    const DialogConnect::Reply reply = DialogConnect::parseReply(datagram);
    const bool longEnough = datagram.size() >= DialogConnect::kReplySize;
    // Each text lies within its 16-byte field.
    if (reply.valid != longEnough || reply.project.size() > 16 || reply.model.size() > 16 || reply.sn.size() > 16) {
        std::fprintf(stderr, "fuzz_discovery: reply read wrongly\n");
        std::abort();
    }
    return 0;
}
