#include "settings/records.h"

#include <algorithm>
#include <cstring>

quint8 RecordReader::u8(int offset) const
{
    return has(offset, 1) ? quint8(data_[offset]) : 0;
}

quint16 RecordReader::u16(int offset) const
{
    if (!has(offset, 2))
        return 0;
    return quint16(u8(offset) | (u8(offset + 1) << 8));
}

quint32 RecordReader::u32(int offset) const
{
    if (!has(offset, 4))
        return 0;
    return quint32(u16(offset)) | (quint32(u16(offset + 2)) << 16);
}

quint32 RecordReader::ipv4(int offset) const
{
    if (!has(offset, 4))
        return 0;
    return (quint32(u8(offset)) << 24) | (quint32(u8(offset + 1)) << 16) | (quint32(u8(offset + 2)) << 8)
        | u8(offset + 3);
}

QByteArray RecordReader::bytes(int offset, int length) const
{
    return has(offset, length) ? data_.mid(offset, length) : QByteArray();
}

QByteArray RecordReader::text(int offset, int width) const
{
    if (offset < 0 || width <= 0 || offset >= size())
        return QByteArray();
    const int available = std::min(width, size() - offset);
    const char* start = data_.constData() + offset;
    const void* nul = std::memchr(start, 0, size_t(available));
    const int length = nul ? int(static_cast<const char*>(nul) - start) : available;
    return QByteArray(start, length);
}

RecordWriter& RecordWriter::u8(int offset, quint8 value)
{
    if (fits(offset, 1))
        data_[offset] = char(value);
    return *this;
}

RecordWriter& RecordWriter::u16(int offset, quint16 value)
{
    if (fits(offset, 2))
        u8(offset, quint8(value)).u8(offset + 1, quint8(value >> 8));
    return *this;
}

RecordWriter& RecordWriter::u32(int offset, quint32 value)
{
    if (fits(offset, 4))
        u16(offset, quint16(value)).u16(offset + 2, quint16(value >> 16));
    return *this;
}

RecordWriter& RecordWriter::ipv4(int offset, quint32 address)
{
    if (fits(offset, 4)) {
        u8(offset, quint8(address >> 24)).u8(offset + 1, quint8(address >> 16));
        u8(offset + 2, quint8(address >> 8)).u8(offset + 3, quint8(address));
    }
    return *this;
}

RecordWriter& RecordWriter::bytes(int offset, const QByteArray& value)
{
    if (fits(offset, int(value.size())))
        std::memcpy(data_.data() + offset, value.constData(), size_t(value.size()));
    return *this;
}

RecordWriter& RecordWriter::text(int offset, int width, const QByteArray& value)
{
    return field(offset, width, value.left(std::max(width - 1, 0)));
}

RecordWriter& RecordWriter::field(int offset, int width, const QByteArray& value)
{
    if (!fits(offset, width) || width <= 0)
        return *this;
    std::memset(data_.data() + offset, 0, size_t(width));
    const int length = std::min(int(value.size()), width);
    std::memcpy(data_.data() + offset, value.constData(), size_t(length));
    return *this;
}

QByteArray utf8Prefix(const QString& text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    int cut = std::max(maxBytes, 0);
    // Step back over continuation bytes (10xxxxxx) to a character start.
    while (cut > 0 && (quint8(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}
