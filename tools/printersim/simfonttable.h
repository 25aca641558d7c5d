#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

// One row of the printer's font settings table: which font file renders
// which Unicode ranges of a script, and how.
struct SimFontEntry
{
    bool enabled = true;
    // Bytes the printer does not interpret here; kept as the host sent them.
    quint8 ct = 0, px = 0, ad = 0;
    QString script, language, fontFile;
    qint32 faceIndex = 0;
    quint16 threshold = 128, pixelWidth = 24, pixelHeight = 24, advance = 24;
    // First and last code point of each range, in wire order; a first code
    // point of 0 would end the list on the wire, so none has one.
    QList<QPair<quint32, quint32>> ranges;
};

using SimFontTable = QList<SimFontEntry>;

namespace simfonttable {

// A host may send any number of rows; the printer keeps this many at most.
inline constexpr int kMaxEntries = 64;

// Per-language rows for the two fonts the simulator's font folder starts with.
SimFontTable defaults();

// The 438-byte record of `entry` under `code` (0x51 for a reply, 0x53 for a
// row the host sends), version 1. Ranges past the record's slots are dropped.
QByteArray build(const SimFontEntry& entry, quint8 code);
// The entry in a record of at least 438 bytes; false for a shorter one.
bool parse(const QByteArray& record, SimFontEntry& entry);

// "U+0020-U+007E"; the reverse gives false for anything else.
QString rangeText(const QPair<quint32, quint32>& range);
bool parseRange(const QString& text, QPair<quint32, quint32>& range);

} // namespace simfonttable
