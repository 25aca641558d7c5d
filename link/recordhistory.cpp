#include "link/recordhistory.h"

#include <QDateTime>

void RecordHistory::add(bool sent, bool handshake, quint16 id, int length)
{
    const Entry entry {QDateTime::currentMSecsSinceEpoch(), sent, handshake, id, length};
    const std::lock_guard<std::mutex> lock(mutex_);
    if (ring_.size() < size_t(kCapacity)) {
        ring_.push_back(entry);
        return;
    }
    ring_[next_] = entry;
    next_ = (next_ + 1) % ring_.size();
}

std::vector<RecordHistory::Entry> RecordHistory::entries() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Entry> ordered(ring_.begin() + qint64(next_), ring_.end());
    ordered.insert(ordered.end(), ring_.begin(), ring_.begin() + qint64(next_));
    return ordered;
}

QByteArray RecordHistory::toCsv() const
{
    QByteArray csv = "time,direction,id,length\n";
    for (const Entry& entry : entries()) {
        csv += QDateTime::fromMSecsSinceEpoch(entry.msecsSinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
        csv += entry.sent ? ",sent," : ",received,";
        csv += entry.handshake ? QByteArray("handshake")
                               : "0x" + QByteArray::number(entry.id, 16).rightJustified(4, '0');
        csv += ',' + QByteArray::number(entry.length) + '\n';
    }
    return csv;
}
