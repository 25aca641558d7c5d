#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <mutex>
#include <vector>

// The last records exchanged with a printer, for a support archive: direction,
// identifier, length and time only, never a record's bytes, so that the Wi-Fi
// credentials cannot end up in it. Written from the GUI thread (sends) and the
// USB reader thread (replies).
class RecordHistory final
{
public:
    static constexpr int kCapacity = 500;

    struct Entry
    {
        qint64 msecsSinceEpoch = 0;
        bool sent = false;
        // Handshake packets carry no record identifier.
        bool handshake = false;
        quint16 id = 0;
        int length = 0;
    };

    void add(bool sent, bool handshake, quint16 id, int length);
    // Oldest first.
    std::vector<Entry> entries() const;
    // "time,direction,id,length" and one line per entry, oldest first.
    QByteArray toCsv() const;

private:
    mutable std::mutex mutex_;
    // Grows to kCapacity, then wraps at `next_`.
    std::vector<Entry> ring_;
    size_t next_ = 0;
};
