#pragma once

// Small helpers shared by the test suites.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `data` to `name`, taken from the working directory when relative;
// the path, empty on failure.
inline QString writeScratchFile(const QString& name, const QByteArray& data)
{
    const QString path = QDir::current().filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() ? path : QString();
}

// What the standard tool makes of a zip archive: whether `unzip -t` passes,
// the entry names and every entry's contents, one after the other.
struct Unzipped
{
    bool tested = false;
    QByteArray names;
    QByteArray contents;
};
inline Unzipped unzip(const QString& path)
{
    const auto run = [&path](const QStringList& options) {
        QProcess process;
        process.start(QStringLiteral("unzip"), options + QStringList {path});
        return process.waitForFinished(30000) && process.exitCode() == 0 ? process.readAllStandardOutput() : "";
    };
    return {!run({"-tq"}).isEmpty(), run({"-Z1"}), run({"-p"})};
}

// `text` cut or padded with NULs to the field's width.
inline QByteArray field(const QByteArray& text, int width)
{
    return text.leftJustified(width, '\0', true);
}

// The program keeps its configuration and log in the working directory: a
// fresh, empty one for as long as this object lives.
class ScratchDirectory final
{
public:
    ScratchDirectory()
        : previous_(QDir::currentPath())
    {
        QDir::setCurrent(dir_.path());
    }
    ~ScratchDirectory() { QDir::setCurrent(previous_); }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool isValid() const { return dir_.isValid() && QDir::currentPath() == QDir(dir_.path()).canonicalPath(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

private:
    QString previous_;
    QTemporaryDir dir_;
};

// How much a process may grow through a fault before the growth counts as
// unbounded. AddressSanitizer keeps freed blocks in quarantine (256 MiB by
// default), so under it resident size says little; LeakSanitizer covers leaks.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr qint64 kResidentGrowthLimit = qint64(320) * 1024 * 1024;
#else
inline constexpr qint64 kResidentGrowthLimit = qint64(50) * 1024 * 1024;
#endif

// File contents for upload tests: no period that lines up with the 4080-byte
// blocks, so a block sent twice, skipped or out of order changes the bytes.
inline QByteArray fileData(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4093) & 0xFF);
    return data;
}

// A host's handshake with nonce 1, the answer of a printer with project and
// model "LQ520" and serial "TV520241100001" (its 56-byte identity and eight
// 08), and the host's read request for type 6 under the session key they
// give, the MD5 of 01 00 00 00, the serial and two NULs: written with
// openssl enc -aes-128-cbc -nopad under the default key and IV, and openssl dgst -md5.
inline constexpr char kHandshakeNonce1[] = "10011100e4b0276f66640b1ebbb02fdb686f3f17";
inline constexpr char kAnswerLq520[] = "10011100"
                                       "70250d566c02d583eb3c583aa6de2a57018860c0d772c1960232224b00e5c5e9"
                                       "27866dab3c2de39a2cfcac7bde3dd215c35bb4931c1201983fee14a3c96a9c0b";
inline constexpr char kSessionKeyLq520[] = "2cbc92298f1463a0f2749fba26b757ba";
inline constexpr char kType6Lq520[] = "10011101e6afcf42de78ee3a934049063225bee8";
