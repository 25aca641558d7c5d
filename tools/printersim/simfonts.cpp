#include "tools/printersim/simfonts.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool writeFile(const QString& path, const QByteArray& data, QString& error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    error = file.errorString();
    return false;
}

// The seeds of a temporary folder: not synced to disk, which takes long for
// a fleet and is pointless for a folder that goes with the process.
bool writeSeed(const QString& path, const QByteArray& data, QString& error)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size())
        return true;
    error = file.errorString();
    return false;
}

// Small files that start like the real formats, so a host sees believable names and sizes.
QByteArray fakeFont(const QByteArray& magic, int size)
{
    QByteArray data = magic;
    for (int i = data.size(); i < size; ++i)
        data.append(char(i * 31 % 251));
    return data;
}

// The files a temporary folder starts with, in name order.
struct Seed
{
    QString name;
    QByteArray data;
};

const QList<Seed>& seeds()
{
    static const QList<Seed> files {
        {QStringLiteral("DejaVuSansMono.ttf"), fakeFont(QByteArray("\0\1\0\0", 4), 1733)},
        {QStringLiteral("NotoSansSC-Regular.otf"), fakeFont("OTTO", 2412)},
        {QStringLiteral("fonts.conf"),
            "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>/data/PUB/fonts</dir>\n</fontconfig>\n"},
    };
    return files;
}

QByteArray listingEntry(const QString& name, qint64 size)
{
    return RecordWriter(layout::fontlisting::kMinLength)
        .u8(0, layout::code::kListDirectory)
        .u8(1, 1)
        .text(layout::file::kShortPath, layout::file::kPathWidth, name.toUtf8())
        .u32(layout::file::kShortSize, quint32(size))
        .data();
}

} // namespace

bool SimFonts::open(const QString& dir, QString& error)
{
    if (!dir.isEmpty()) {
        if (!QDir().mkpath(dir)) {
            error = QStringLiteral("cannot create the font folder %1").arg(dir);
            return false;
        }
        folder_ = QDir(dir).absolutePath();
        return true;
    }
    // On first use: a fleet starts fast, and most of its printers never
    // see a font command.
    seedOnUse_ = true;
    return true;
}

bool SimFonts::seed(QString& error) const
{
    temporary_ = std::make_unique<QTemporaryDir>();
    if (!temporary_->isValid()) {
        error = QStringLiteral("cannot create a temporary font folder: %1").arg(temporary_->errorString());
        return false;
    }
    folder_ = temporary_->path();
    const QDir folder(folder_);
    for (const Seed& file : seeds()) {
        if (!writeSeed(folder.filePath(file.name), file.data, error))
            return false;
    }
    return true;
}

const QString& SimFonts::folder() const
{
    if (seedOnUse_) {
        seedOnUse_ = false;
        if (!seed(seedError_))
            folder_.clear();
    }
    return folder_;
}

QList<QByteArray> SimFonts::listing() const
{
    QList<QByteArray> entries;
    // Listed from memory until an upload or a delete needs the folder: a
    // fleet's backup lists every printer's fonts, and files cost time.
    if (seedOnUse_) {
        for (const Seed& file : seeds())
            entries.append(listingEntry(file.name, file.data.size()));
        return entries;
    }
    if (folder().isEmpty())
        return entries;
    const QFileInfoList files = QDir(folder_).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : files)
        entries.append(listingEntry(info.fileName(), info.size()));
    return entries;
}

QString SimFonts::localPath(const QByteArray& remotePath, QString& why) const
{
    if (folder().isEmpty()) {
        why = seedError_.isEmpty() ? QStringLiteral("no font folder") : seedError_;
        return QString();
    }
    if (!remotePath.startsWith(kRemoteFolder)) {
        why = QStringLiteral("not in %1").arg(QLatin1String(kRemoteFolder));
        return QString();
    }
    const QByteArray name = remotePath.mid(int(sizeof kRemoteFolder) - 1);
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/') || name.contains('\\')) {
        why = QStringLiteral("'%1' is not a plain file name").arg(QString::fromUtf8(name));
        return QString();
    }
    return QDir(folder_).filePath(QString::fromUtf8(name));
}

bool SimFonts::store(const QString& localPath, const QByteArray& data, QString& error) const
{
    return writeFile(localPath, data, error);
}
