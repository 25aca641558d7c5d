#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The printer's font folder "/data/PUB/fonts/", kept in a local directory:
// listing, storing a verified upload and deleting. Remote paths that would
// leave the folder are refused.
class SimFonts final
{
public:
    static constexpr char kRemoteFolder[] = "/data/PUB/fonts/";

    // `dir` empty: a temporary folder seeded with a configuration file and
    // two fonts when first used.
    bool open(const QString& dir, QString& error);
    // Empty when there is none (not opened, or the seeding failed).
    const QString& folder() const;

    // One 0x0161 entry per file, in name order.
    QList<QByteArray> listing() const;
    // The local file for a remote path; empty, with `why`, when it is not a
    // plain name inside the font folder.
    QString localPath(const QByteArray& remotePath, QString& why) const;
    bool store(const QString& localPath, const QByteArray& data, QString& error) const;

private:
    bool seed(QString& error) const;

    // Seeded lazily behind the const interface.
    mutable std::unique_ptr<QTemporaryDir> temporary_;
    mutable QString folder_;
    mutable bool seedOnUse_ = false;
    mutable QString seedError_;
};
