#include "tools/printersim/simescpos.h"

namespace {

constexpr char kLf = 0x0A, kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C;

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString alignment(quint8 n)
{
    switch (n) {
    case 0:
    case '0':
        return QStringLiteral("align left");
    case 1:
    case '1':
        return QStringLiteral("align center");
    case 2:
    case '2':
        return QStringLiteral("align right");
    default:
        return QStringLiteral("align %1").arg(n);
    }
}

// GS ! n: width factor in the high nibble, height in the low one, less one.
QString characterSize(quint8 n)
{
    switch (n) {
    case 0x00:
        return QStringLiteral("normal size");
    case 0x01:
        return QStringLiteral("double height");
    case 0x10:
        return QStringLiteral("double width");
    case 0x11:
        return QStringLiteral("double size");
    default:
        return QStringLiteral("size %1x%2").arg((n >> 4) + 1).arg((n & 0x0F) + 1);
    }
}

QString cut(quint8 m)
{
    return m == 0 || m == '0' || m == 65 ? QStringLiteral("cut full") : QStringLiteral("cut partial");
}

// FS ( L: the black-mark paper functions.
QString blackMark(const QByteArray& parameters)
{
    switch (parameters.isEmpty() ? 0 : quint8(parameters[0])) {
    case 0x43:
        return QStringLiteral("feed to print start");
    case 0x42:
        return QStringLiteral("feed to cut position");
    default:
        return QStringLiteral("FS ( L ") + hex(parameters);
    }
}

class Renderer
{
public:
    explicit Renderer(const QByteArray& job)
        : job_(job)
    {
    }

    QString run()
    {
        while (at_ < job_.size()) {
            const char b = job_[at_];
            if (b == kLf) {
                flushText();
                out_ += QLatin1Char('\n');
                ++at_;
            } else if (b == kEsc || b == kGs || b == kFs) {
                command(b);
            } else if (quint8(b) < 0x20 || quint8(b) == 0x7F) {
                mark(hex(job_.mid(at_, 1)));
                ++at_;
            } else {
                text_.append(b);
                ++at_;
            }
        }
        flushText();
        return out_;
    }

private:
    bool has(int count) const { return at_ + count <= job_.size(); }
    quint8 byte(int offset) const { return quint8(job_[at_ + offset]); }

    void flushText()
    {
        out_ += QString::fromUtf8(text_);
        text_.clear();
    }

    void mark(const QString& text)
    {
        flushText();
        out_ += QLatin1Char('[') + text + QLatin1Char(']');
    }

    // Marks `length` bytes from here with `text`, or as hex when `text` is empty.
    void take(int length, const QString& text = QString())
    {
        mark(text.isEmpty() ? hex(job_.mid(at_, length)) : text);
        at_ += length;
    }

    void command(char prefix)
    {
        if (!has(2)) {
            take(1);
            return;
        }
        const char c = char(byte(1));
        if (prefix == kEsc && c == 'a' && has(3))
            return take(3, alignment(byte(2)));
        if (prefix == kEsc && c == '@')
            return take(2, QStringLiteral("init"));
        if (prefix == kEsc && c == 'd' && has(3))
            return take(3, QStringLiteral("feed %1 lines").arg(byte(2)));
        if (prefix == kGs && c == '!' && has(3))
            return take(3, characterSize(byte(2)));
        if (prefix == kGs && c == 'V' && has(3)) {
            const quint8 m = byte(2);
            if ((m == 65 || m == 66) && has(4))
                return take(4, cut(m) + QStringLiteral(" after feed %1").arg(byte(3)));
            if (m <= 1 || m == '0' || m == '1')
                return take(3, cut(m));
        }
        // GS ( x and FS ( x: a two-byte length, then that many parameters.
        if (c == '(' && (prefix == kGs || prefix == kFs) && has(5)) {
            const int length = byte(3) | (byte(4) << 8);
            if (has(5 + length)) {
                const QByteArray parameters = job_.mid(at_ + 5, length);
                const char function = char(byte(2));
                if (prefix == kFs && function == 'L')
                    return take(5 + length, blackMark(parameters));
                return take(5 + length,
                    QStringLiteral("%1 ( %2 %3")
                        .arg(prefix == kGs ? QStringLiteral("GS") : QStringLiteral("FS"))
                        .arg(QLatin1Char(function))
                        .arg(hex(parameters)));
            }
        }
        take(2);
    }

    const QByteArray& job_;
    int at_ = 0;
    QByteArray text_;
    QString out_;
};

} // namespace

QString renderEscPos(const QByteArray& job)
{
    return Renderer(job).run();
}
