#pragma once

#include <QString>
#include <QtGlobal>

// Misbehaviour the simulator plays on request, so that the host's handling
// of a broken printer or link can be tried. All off by default; every fault
// that strikes is written to the traffic log.
struct SimFaults
{
    enum class Handshake { Normal, Never, Twice };

    // Every write goes out in random pieces, each flushed on its own.
    bool split = false;
    // A few random bytes before a packet (not a connection's first), or the
    // first bytes of a header after one, ending the write.
    bool garbage = false;
    // Seeds the pieces and the garbage, for runs that can be repeated.
    quint32 seed = 0;
    // Close the connection after this many reply records (0: never).
    int dropAfter = 0;
    // Write half of this reply record's packet, then abort (0: never).
    int dropMid = 0;
    Handshake handshake = Handshake::Normal;
    // Stop reading once an upload has brought this many bytes (-1: never).
    qint64 stallUpload = -1;
    // Extra discovery replies, each from another serial number (0: none).
    int discoveryFlood = 0;
    // Close the USB pseudo-terminal once this many bytes came in (-1: never).
    qint64 ptyCloseAfter = -1;
    // Writes of this setting (a dotted name, "print.density") are taken,
    // but the setting keeps its value, so that a read-back finds it unchanged.
    QString ignoreField;

    bool any() const
    {
        return split || garbage || dropAfter > 0 || dropMid > 0 || handshake != Handshake::Normal || stallUpload >= 0
            || discoveryFlood > 0 || ptyCloseAfter >= 0 || !ignoreField.isEmpty();
    }
    // One line for the log: what is on, and the seed.
    QString describe() const;
};
