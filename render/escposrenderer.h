#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

// ESC/POS print jobs as the printer would print them: one parser, read out as
// plain text with marks (for eyes, logs and tests) or drawn as an image.
namespace escpos {

// One thing a job says, in the order it says it. Commands the parser does not
// know are Unknown: their bytes are skipped, never guessed at.
struct Command
{
    enum Kind {
        Text, // `text`: bytes as they came, decoded by the reader
        LineFeed,
        Init,
        Align, // `value`: 0 left, 1 centre, 2 right, other: unknown
        Size, // `value`: width factor, `value2`: height factor (1 to 8)
        Emphasis, // `value`: 0 off, 1 on
        FeedLines, // `value` lines
        FeedDots, // `value` dots
        CodePage, // `value`: ESC t n
        Cut, // `value`: 1 full, 0 partial; `value2`: dots fed before
        FeedToPrintStart, // the black mark: paper moves to the print start
        FeedToCut, // the black mark: paper moves to the cutter
        PageMarker, // GS ( E function 6: the printer's test-page frame
        Unknown,
    };
    Kind kind = Unknown;
    int value = 0;
    int value2 = 0;
    QByteArray bytes; // everything the command took from the job
};

// Calls `sink` for each command of `job`, in order.
void parse(const QByteArray& job, const std::function<void(const Command&)>& sink);

// Plain text of a print job: text as UTF-8, LF as a line break, and every
// command as a mark in brackets where it stands, e.g. "[align center]",
// "[double height]", "[cut full]", "[feed to print start]",
// "[GS ( E 06 03 01]". Unknown commands and control bytes show as their bytes
// in hex ("[1B 70]").
QString renderText(const QByteArray& job);

// Printable widths at 203 dots per inch.
enum class Paper { Mm58, Mm80 };
constexpr int kDotsPerInch = 203;
int paperDots(Paper paper);

struct Options
{
    Paper paper = Paper::Mm80;
    // The printer's UTF-8 mode; off, text goes through the code page ESC t selects.
    bool utf8 = true;
};

struct Image
{
    QImage image; // one pixel a dot, white paper, black ink, marks in blue
    QStringList unknown; // each unknown command's bytes in hex, in order
};

// Font A cell and the default line advance, in dots.
constexpr int kCharWidth = 12;
constexpr int kCharHeight = 24;
constexpr int kLineAdvance = 30;
// The cut as a dashed line across the paper, the black mark as a bar at its
// left edge, this many dots high.
constexpr int kMarkHeight = 8;

// The longest image, about 4 m of paper; a job that runs longer is cut off.
constexpr int kMaxHeight = 32000;

// Needs a QGuiApplication (fonts).
Image renderImage(const QByteArray& job, const Options& options = Options());

} // namespace escpos
