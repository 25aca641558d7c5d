#include "render/escposrenderer.h"

#include <QFont>
#include <QPainter>
#include <QTextCodec>
#include <QTextLayout>

#include <memory>
#include <vector>

namespace escpos {

namespace {

constexpr char kLf = 0x0A, kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C;

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

class Parser
{
public:
    Parser(const QByteArray& job, const std::function<void(const Command&)>& sink)
        : job_(job)
        , sink_(sink)
    {
    }

    void run()
    {
        while (at_ < job_.size()) {
            const char b = job_[at_];
            if (b == kLf) {
                take(1, Command::LineFeed);
            } else if (b == kEsc || b == kGs || b == kFs) {
                command(b);
            } else if (quint8(b) < 0x20 || quint8(b) == 0x7F) {
                take(1, Command::Unknown);
            } else {
                int end = at_ + 1;
                while (end < job_.size() && quint8(job_[end]) >= 0x20 && quint8(job_[end]) != 0x7F)
                    ++end;
                take(end - at_, Command::Text);
            }
        }
    }

private:
    bool has(int count) const { return at_ + count <= job_.size(); }
    quint8 byte(int offset) const { return quint8(job_[at_ + offset]); }

    void take(int length, Command::Kind kind, int value = 0, int value2 = 0)
    {
        Command command;
        command.kind = kind;
        command.value = value;
        command.value2 = value2;
        command.bytes = job_.mid(at_, length);
        at_ += length;
        sink_(command);
    }

    void command(char prefix)
    {
        if (!has(2))
            return take(1, Command::Unknown);
        const char c = char(byte(1));
        if (prefix == kEsc) {
            if (c == '@')
                return take(2, Command::Init);
            if (has(3)) {
                const quint8 n = byte(2);
                switch (c) {
                case 'a':
                    return take(3, Command::Align, n >= '0' && n <= '2' ? n - '0' : n);
                case 'E':
                    return take(3, Command::Emphasis, n & 1);
                case 'd':
                    return take(3, Command::FeedLines, n);
                case 'J':
                    return take(3, Command::FeedDots, n);
                case 't':
                    return take(3, Command::CodePage, n);
                default:
                    break;
                }
            }
        }
        if (prefix == kGs && c == '!' && has(3))
            return take(3, Command::Size, (byte(2) >> 4) + 1, (byte(2) & 0x0F) + 1);
        if (prefix == kGs && c == 'V' && has(3)) {
            const quint8 m = byte(2);
            if ((m == 65 || m == 66) && has(4))
                return take(4, Command::Cut, m == 65, byte(3));
            if (m <= 1 || m == '0' || m == '1')
                return take(3, Command::Cut, m == 0 || m == '0');
        }
        // GS ( x and FS ( x: a two-byte length, then that many parameters.
        if (c == '(' && (prefix == kGs || prefix == kFs) && has(5)) {
            const int length = byte(3) | (byte(4) << 8);
            if (has(5 + length)) {
                const char function = char(byte(2));
                const quint8 first = length > 0 ? byte(5) : 0;
                if (prefix == kFs && function == 'L' && first == 0x43)
                    return take(5 + length, Command::FeedToPrintStart);
                if (prefix == kFs && function == 'L' && first == 0x42)
                    return take(5 + length, Command::FeedToCut);
                if (prefix == kGs && function == 'E' && first == 0x06)
                    return take(5 + length, Command::PageMarker);
                return take(5 + length, Command::Unknown);
            }
        }
        take(2, Command::Unknown);
    }

    const QByteArray& job_;
    const std::function<void(const Command&)>& sink_;
    int at_ = 0;
};

QString alignmentText(int n)
{
    switch (n) {
    case 0:
        return QStringLiteral("align left");
    case 1:
        return QStringLiteral("align center");
    case 2:
        return QStringLiteral("align right");
    default:
        return QStringLiteral("align %1").arg(n);
    }
}

QString sizeText(int width, int height)
{
    if (width == 1 && height == 1)
        return QStringLiteral("normal size");
    if (width == 1 && height == 2)
        return QStringLiteral("double height");
    if (width == 2 && height == 1)
        return QStringLiteral("double width");
    if (width == 2 && height == 2)
        return QStringLiteral("double size");
    return QStringLiteral("size %1x%2").arg(width).arg(height);
}

// A GS ( / FS ( command by its name and parameters, other bytes in hex.
QString commandText(const QByteArray& bytes)
{
    if (bytes.size() >= 5 && bytes[1] == '(' && (bytes[0] == kGs || bytes[0] == kFs))
        return QStringLiteral("%1 ( %2 %3")
            .arg(bytes[0] == kGs ? QStringLiteral("GS") : QStringLiteral("FS"))
            .arg(QLatin1Char(bytes[2]))
            .arg(hex(bytes.mid(5)));
    return hex(bytes);
}

QString markText(const Command& command)
{
    switch (command.kind) {
    case Command::Init:
        return QStringLiteral("init");
    case Command::Align:
        return alignmentText(command.value);
    case Command::Size:
        return sizeText(command.value, command.value2);
    case Command::Emphasis:
        return command.value ? QStringLiteral("emphasis on") : QStringLiteral("emphasis off");
    case Command::FeedLines:
        return QStringLiteral("feed %1 lines").arg(command.value);
    case Command::FeedDots:
        return QStringLiteral("feed %1 dots").arg(command.value);
    case Command::CodePage:
        return QStringLiteral("code page %1").arg(command.value);
    case Command::Cut: {
        const QString cut = command.value ? QStringLiteral("cut full") : QStringLiteral("cut partial");
        return command.bytes.size() == 4 ? cut + QStringLiteral(" after feed %1").arg(command.value2) : cut;
    }
    case Command::FeedToPrintStart:
        return QStringLiteral("feed to print start");
    case Command::FeedToCut:
        return QStringLiteral("feed to cut position");
    default:
        return commandText(command.bytes);
    }
}

// ESC t numbers the printers share, by the codec that decodes them.
QTextCodec* codePage(int n)
{
    const char* name = nullptr;
    switch (n) {
    case 0:
        name = "IBM437";
        break;
    case 2:
        name = "IBM850";
        break;
    case 16:
        name = "windows-1252";
        break;
    case 17:
        name = "IBM866";
        break;
    case 19:
        name = "IBM858";
        break;
    default:
        return nullptr;
    }
    return QTextCodec::codecForName(name);
}

// Glyphs sit on this line of a 24-dot cell, Latin at half an ideograph's width.
constexpr int kBaseline = 21;
// Marks are not ink: blue, where ink is black or grey.
const QColor kMarkColor(40, 90, 230);

class Painter
{
public:
    explicit Painter(const Options& options)
        : width_(paperDots(options.paper))
        , utf8_(options.utf8)
        , codec_(codePage(0))
    {
        for (int bold = 0; bold < 2; ++bold) {
            fonts_[bold] = QFont(QStringLiteral("Noto Sans Mono CJK SC"));
            fonts_[bold].setPixelSize(kCharHeight);
            fonts_[bold].setStyleHint(QFont::Monospace);
            fonts_[bold].setBold(bold);
        }
    }

    void add(const Command& command)
    {
        switch (command.kind) {
        case Command::Text:
            pending_ += command.bytes;
            return;
        case Command::LineFeed:
            return printLine(-1);
        case Command::Init:
            flushRun();
            style_ = Style();
            codec_ = codePage(0);
            return;
        case Command::Align:
            if (command.value < 0 || command.value > 2)
                return unknown(command);
            // Alignment holds from the start of a line.
            if (runs_.empty() && pending_.isEmpty())
                align_ = command.value;
            return;
        case Command::Size:
            if (command.value > 8 || command.value2 > 8)
                return unknown(command);
            flushRun();
            style_.width = command.value;
            style_.height = command.value2;
            return;
        case Command::Emphasis:
            flushRun();
            style_.bold = command.value;
            return;
        case Command::FeedLines:
            return printLine(command.value * kLineAdvance);
        case Command::FeedDots:
            return printLine(command.value);
        case Command::CodePage:
            if (QTextCodec* codec = codePage(command.value)) {
                flushRun();
                codec_ = codec;
                return;
            }
            return unknown(command);
        case Command::Cut:
            printLine(command.value2);
            marks_.push_back({y_, true, bool(command.value)});
            down(kMarkHeight);
            return;
        case Command::FeedToPrintStart:
        case Command::FeedToCut:
            printLine(0);
            marks_.push_back({y_, false, false});
            down(kMarkHeight);
            return;
        case Command::PageMarker:
            return;
        case Command::Unknown:
            return unknown(command);
        }
    }

    Image finish()
    {
        // Text without a line feed still prints.
        if (!pending_.isEmpty() || !runs_.empty())
            printLine(-1);
        Image out;
        out.unknown = unknown_;
        out.image = QImage(width_, qMax(1, y_), QImage::Format_RGB32);
        out.image.fill(Qt::white);
        QPainter painter(&out.image);
        painter.setPen(Qt::black);
        for (const Piece& piece : pieces_) {
            const QTextLine line = piece.layout->lineAt(piece.line);
            if (piece.width == 1 && piece.height == 1) {
                line.draw(&painter, QPointF(piece.x, piece.top + kBaseline - line.ascent()));
                continue;
            }
            painter.save();
            painter.translate(piece.x, piece.top);
            painter.scale(piece.width, piece.height);
            line.draw(&painter, QPointF(0, kBaseline - line.ascent()));
            painter.restore();
        }
        for (const Mark& mark : marks_) {
            if (!mark.cut) {
                painter.fillRect(0, mark.y, 6 * kCharWidth, kMarkHeight, kMarkColor);
                continue;
            }
            // A partial cut leaves the paper joined at its right edge.
            const int end = mark.full ? width_ : width_ - width_ / 8;
            for (int x = 0; x < end; x += 2 * kCharWidth)
                painter.fillRect(x, mark.y + kMarkHeight / 2 - 1, qMin(kCharWidth, end - x), 2, kMarkColor);
        }
        return out;
    }

private:
    struct Style
    {
        int width = 1;
        int height = 1;
        bool bold = false;
    };
    struct Piece
    {
        const QTextLayout* layout;
        int line;
        qreal x;
        int top;
        int width;
        int height;
        qreal advance;
    };
    struct Mark
    {
        int y;
        bool cut;
        bool full;
    };

    // Paper past the longest image is not drawn.
    void down(int dots) { y_ = qMin(y_ + dots, kMaxHeight); }

    void unknown(const Command& command) { unknown_.append(hex(command.bytes)); }

    void flushRun()
    {
        if (pending_.isEmpty())
            return;
        // Past the longest image nothing shows: no layout for text nobody sees.
        if (y_ >= kMaxHeight) {
            pending_.clear();
            return;
        }
        const QString text = utf8_ || !codec_ ? QString::fromUtf8(pending_) : codec_->toUnicode(pending_);
        pending_.clear();
        auto layout = std::make_unique<QTextLayout>(text, fonts_[style_.bold]);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAnywhere);
        option.setUseDesignMetrics(true);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        // Each piece starts where the line so far ends, and wraps to a new line.
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            qreal room = (width_ - lineWidth()) / style_.width;
            if (room < kCharWidth) {
                breakLine();
                room = qreal(width_) / style_.width;
            }
            line.setLineWidth(room);
            line.setPosition(QPointF());
            const qreal advance = line.naturalTextWidth() * style_.width;
            runs_.push_back({layout.get(), line.lineNumber(), lineWidth(), 0, style_.width, style_.height, advance});
            if (line.textStart() + line.textLength() < text.size())
                breakLine();
            if (y_ >= kMaxHeight)
                break;
        }
        layout->endLayout();
        layouts_.push_back(std::move(layout));
    }

    qreal lineWidth() const { return runs_.empty() ? 0 : runs_.back().x + runs_.back().advance; }

    // Places the runs of one printed line, aligned, and moves down past it.
    void breakLine(int advance = -1)
    {
        int height = 1;
        for (const Piece& run : runs_)
            height = qMax(height, run.height);
        const qreal shift = align_ == 0 ? 0 : (width_ - lineWidth()) / (align_ == 1 ? 2 : 1);
        for (Piece run : runs_) {
            run.x += qMax<qreal>(0, shift);
            run.top = y_ + (height - run.height) * kCharHeight;
            pieces_.push_back(run);
        }
        runs_.clear();
        down(advance >= 0 ? advance : qMax(kLineAdvance, height * kCharHeight + kLineAdvance - kCharHeight));
    }

    // Prints what is buffered, then feeds `advance` dots (-1: one line).
    void printLine(int advance)
    {
        flushRun();
        if (runs_.empty()) {
            down(advance >= 0 ? advance : kLineAdvance);
            return;
        }
        breakLine(advance);
    }

    const int width_;
    const bool utf8_;
    QTextCodec* codec_;
    QFont fonts_[2];
    Style style_;
    int align_ = 0;
    int y_ = 0;
    QByteArray pending_;
    std::vector<Piece> runs_;
    std::vector<Piece> pieces_;
    std::vector<Mark> marks_;
    std::vector<std::unique_ptr<QTextLayout>> layouts_;
    QStringList unknown_;
};

} // namespace

void parse(const QByteArray& job, const std::function<void(const Command&)>& sink)
{
    Parser(job, sink).run();
}

QString renderText(const QByteArray& job)
{
    QString out;
    parse(job, [&](const Command& command) {
        if (command.kind == Command::Text)
            out += QString::fromUtf8(command.bytes);
        else if (command.kind == Command::LineFeed)
            out += QLatin1Char('\n');
        else
            out += QLatin1Char('[') + markText(command) + QLatin1Char(']');
    });
    return out;
}

int paperDots(Paper paper)
{
    // 48 mm and 72 mm of print on 58 mm and 80 mm paper.
    return paper == Paper::Mm58 ? 384 : 576;
}

Image renderImage(const QByteArray& job, const Options& options)
{
    Painter painter(options);
    parse(job, [&](const Command& command) { painter.add(command); });
    return painter.finish();
}

} // namespace escpos
