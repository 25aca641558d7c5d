#pragma once

#include <QByteArray>
#include <QString>

#include <utility>

// Bounds-checked access to fixed-layout wire records. Integers are
// little-endian, IPv4 addresses in network byte order, texts NUL-terminated
// within fixed-width fields. A read outside the buffer yields 0 or empty; a
// write outside the record is dropped. Offsets live in recordlayouts.h.

class RecordReader final
{
public:
    explicit RecordReader(QByteArray record)
        : data_(std::move(record))
    {
    }

    int size() const { return int(data_.size()); }
    bool has(int offset, int length) const { return offset >= 0 && length >= 0 && offset + length <= size(); }

    quint8 u8(int offset) const;
    quint16 u16(int offset) const;
    qint16 i16(int offset) const { return qint16(u16(offset)); }
    quint32 u32(int offset) const;
    qint32 i32(int offset) const { return qint32(u32(offset)); }
    // First byte of the field is the first number of the dotted form.
    quint32 ipv4(int offset) const;
    QByteArray bytes(int offset, int length) const;
    // Up to the first NUL, never past the field or the buffer.
    QByteArray text(int offset, int width) const;
    QString latin1(int offset, int width) const { return QString::fromLatin1(text(offset, width)); }
    QString utf8(int offset, int width) const { return QString::fromUtf8(text(offset, width)); }

private:
    QByteArray data_;
};

class RecordWriter final
{
public:
    explicit RecordWriter(int size)
        : data_(size, '\0')
    {
    }
    explicit RecordWriter(QByteArray record)
        : data_(std::move(record))
    {
    }

    RecordWriter& u8(int offset, quint8 value);
    RecordWriter& u16(int offset, quint16 value);
    RecordWriter& u32(int offset, quint32 value);
    RecordWriter& i32(int offset, qint32 value) { return u32(offset, quint32(value)); }
    RecordWriter& ipv4(int offset, quint32 address);
    RecordWriter& bytes(int offset, const QByteArray& value);
    // At most width - 1 bytes into a zeroed field, so it always ends in NUL.
    RecordWriter& text(int offset, int width, const QByteArray& value);
    // Up to the whole width into a zeroed field: a text that fills its field
    // has no NUL, as a printer may send it.
    RecordWriter& field(int offset, int width, const QByteArray& value);

    const QByteArray& data() const { return data_; }

private:
    bool fits(int offset, int length) const
    {
        return offset >= 0 && length >= 0 && offset + length <= int(data_.size());
    }

    QByteArray data_;
};

// The longest UTF-8 encoding of `text` that fits `maxBytes` without cutting a
// character in two.
QByteArray utf8Prefix(const QString& text, int maxBytes);
