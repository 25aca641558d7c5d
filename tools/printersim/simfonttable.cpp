#include "tools/printersim/simfonttable.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QRegularExpression>

#include <initializer_list>

namespace simfonttable {

namespace {

constexpr char kLatinFont[] = "DejaVuSansMono.ttf";
constexpr char kCjkFont[] = "NotoSansSC-Regular.otf";

SimFontEntry entry(bool enabled, const char* script, const char* language, const char* fontFile, quint16 width,
    quint16 height, std::initializer_list<QPair<quint32, quint32>> ranges)
{
    SimFontEntry e;
    e.enabled = enabled;
    e.script = QLatin1String(script);
    e.language = QLatin1String(language);
    e.fontFile = QLatin1String(fontFile);
    e.pixelWidth = width;
    e.pixelHeight = height;
    e.advance = width;
    e.ranges = ranges;
    return e;
}

} // namespace

SimFontTable defaults()
{
    // Half-width cells for the monospaced font, square ones for CJK. Thai and
    // Arabic are listed but off: neither seeded font draws them well.
    SimFontTable table {
        entry(true, "LATIN", "en", kLatinFont, 12, 24, {{0x0020, 0x007E}, {0x00A0, 0x024F}}),
        entry(true, "GREEK", "el", kLatinFont, 12, 24, {{0x0370, 0x03FF}, {0x1F00, 0x1FFF}}),
        entry(true, "CYRILLIC", "ru", kLatinFont, 12, 24, {{0x0400, 0x04FF}, {0x0500, 0x052F}}),
        entry(true, "HAN", "zh", kCjkFont, 24, 24,
            {{0x3000, 0x303F}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xFF00, 0xFFEF}}),
        entry(true, "HIRAGANA", "ja", kCjkFont, 24, 24, {{0x3040, 0x309F}}),
        entry(true, "KATAKANA", "ja", kCjkFont, 24, 24, {{0x30A0, 0x30FF}, {0x31F0, 0x31FF}}),
        entry(true, "HANGUL", "ko", kCjkFont, 24, 24, {{0x1100, 0x11FF}, {0x3130, 0x318F}, {0xAC00, 0xD7AF}}),
        entry(false, "THAI", "th", kLatinFont, 12, 24, {{0x0E00, 0x0E7F}}),
        entry(false, "ARABIC", "ar", kLatinFont, 12, 24, {{0x0600, 0x06FF}, {0xFE70, 0xFEFF}}),
    };
    // Values a real table carries in the bytes this printer passes through.
    for (SimFontEntry& e : table) {
        const bool cjk = e.fontFile == QLatin1String(kCjkFont);
        e.ct = cjk ? 2 : 1;
        e.px = cjk ? 1 : 0;
        e.ad = cjk ? 0 : 1;
        e.threshold = cjk ? 136 : 128;
    }
    return table;
}

QByteArray build(const SimFontEntry& e, quint8 code)
{
    using namespace layout::fontentry;
    RecordWriter writer(kSize);
    writer.u8(0, code)
        .u8(1, 1)
        .u8(kEnabled, e.enabled ? 1 : 0)
        .u8(kCt, e.ct)
        .u8(kPx, e.px)
        .u8(kAd, e.ad)
        .text(kScript, kScriptWidth, utf8Prefix(e.script, kScriptWidth - 1))
        .text(kLanguage, kLanguageWidth, utf8Prefix(e.language, kLanguageWidth - 1))
        .text(kFontFile, kFontFileWidth, utf8Prefix(e.fontFile, kFontFileWidth - 1))
        .i32(kFaceIndex, e.faceIndex)
        .u16(kThreshold, e.threshold)
        .u16(kPixelWidth, e.pixelWidth)
        .u16(kPixelHeight, e.pixelHeight)
        .u16(kAdvance, e.advance);
    const int slots = qMin(int(e.ranges.size()), kRangeSlots);
    for (int i = 0; i < slots; ++i) {
        const int offset = kRanges + i * kRangeSlotSize;
        writer.u32(offset, e.ranges[i].first).u32(offset + 4, e.ranges[i].second);
    }
    return writer.data();
}

bool parse(const QByteArray& record, SimFontEntry& e)
{
    using namespace layout::fontentry;
    const RecordReader r(record);
    if (r.size() < kSize)
        return false;
    e.enabled = r.u8(kEnabled) != 0;
    e.ct = r.u8(kCt);
    e.px = r.u8(kPx);
    e.ad = r.u8(kAd);
    e.script = r.utf8(kScript, kScriptWidth);
    e.language = r.utf8(kLanguage, kLanguageWidth);
    e.fontFile = r.utf8(kFontFile, kFontFileWidth);
    e.faceIndex = r.i32(kFaceIndex);
    e.threshold = r.u16(kThreshold);
    e.pixelWidth = r.u16(kPixelWidth);
    e.pixelHeight = r.u16(kPixelHeight);
    e.advance = r.u16(kAdvance);
    e.ranges.clear();
    for (int i = 0; i < kRangeSlots; ++i) {
        const int offset = kRanges + i * kRangeSlotSize;
        const quint32 first = r.u32(offset);
        if (first == 0)
            break;
        e.ranges.append({first, r.u32(offset + 4)});
    }
    return true;
}

QString rangeText(const QPair<quint32, quint32>& range)
{
    return QStringLiteral("U+%1-U+%2")
        .arg(range.first, 4, 16, QLatin1Char('0'))
        .arg(range.second, 4, 16, QLatin1Char('0'))
        .toUpper();
}

bool parseRange(const QString& text, QPair<quint32, quint32>& range)
{
    static const QRegularExpression pattern(QStringLiteral("^U\\+([0-9A-Fa-f]{1,8})-U\\+([0-9A-Fa-f]{1,8})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    range = {match.captured(1).toUInt(nullptr, 16), match.captured(2).toUInt(nullptr, 16)};
    return true;
}

} // namespace simfonttable
