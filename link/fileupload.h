#pragma once

#include "link/transceiver.h"
#include "settings/recordlayouts.h"

#include <QBasicTimer>
#include <QByteArray>
#include <QCryptographicHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Installs one file into the printer's font folder: the upload request, the
// raw data blocks paced by the link's bytesWritten reports, the closing
// record with the file's MD5 digest, and the folder listing that shows the
// printer kept it. Holds the whole file in memory, and the link from the
// request to the closing record, so that no other record lands among the
// file's bytes.
class FileUpload final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBlockSize = 4080;
    static constexpr int kWriteTimeoutMs = 5000;
    static constexpr int kMaxPathBytes = 127;
    static constexpr quint16 kReplyId = layout::recordId(layout::code::kUploadRequest);
    static constexpr int kMinReplyLength = layout::file::kLongSize;
    // A printer that never answers the request, or never lists the file,
    // must not block every later install.
    static constexpr int kReplyTimeoutMs = 10000;
    using BlockWriter = std::function<bool(const char* data, quint32 length, int timeoutMs)>;

    // On the process-wide HostCmd and link, or on `cmd` and `link`.
    explicit FileUpload(QObject* parent = nullptr);
    FileUpload(HostCmd& cmd, Transceiver& link, QObject* parent = nullptr);

    static QByteArray remotePath(const QString& fileName);

    // Sends the upload request; false, with errorString() set, when the file
    // cannot go (too long a path, too large, empty, busy, link down).
    bool start(const QString& fileName, const QByteArray& data);
    // Stops sending and reconnects the link so the printer drops the partial file.
    void cancel();
    // A TCP printer drops a partial file when the connection closes; a USB
    // printer does not notice the device being reopened and would read the
    // next commands as file data, so a USB upload runs until it ends or
    // fails (every step has its timeout). Once the file is out, any upload
    // can stop.
    bool canCancel() const;
    // Acts on the printer's answer to the upload request and on the folder
    // listing entries that follow the file; other records are ignored.
    void handleResponse(const QByteArray& response);

    bool isActive() const { return state_ != State::Idle; }
    QString errorString() const { return error_; }

    // Seams: where blocks go and whose bytesWritten paces them (default: the
    // global Transceiver).
    void setBlockWriter(BlockWriter writer) { writer_ = std::move(writer); }
    void setLink(Transceiver* link) { link_ = link; }
    void setReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }
    void setBlockTimeout(int milliseconds) { blockTimeoutMs_ = milliseconds; }

Q_SIGNALS:
    void progress(qint64 written, qint64 total);
    // The file and its closing record are out; the folder listing is asked for next.
    void verifying();
    // The printer's listing shows the file with its size.
    void finished();
    // The printer answered the request with a non-zero status.
    void refused(quint16 status);
    void cancelled();
    // The link failed or went down, or the printer did not answer, stopped
    // taking the file or did not keep it; the upload is dropped.
    void failed(QString reason);

public Q_SLOTS:
    // Paces the transfer: connected, queued, to the link's bytesWritten while a transfer runs.
    void sendFileBlock(qint64 bytesWritten);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    enum class State { Idle, Requested, Transferring, Verifying };

    void onReply(quint16 status);
    void onListed(const QByteArray& name, quint32 size);
    void onLinkDown();
    void fail(const QString& reason);
    // Fails an upload the printer may still be waiting on.
    void abandon(const QString& reason);
    void restartLink();
    void sendNextBlock();
    void complete();
    void reset();
    Transceiver* link() const;

    HostCmd& cmd_;
    State state_ = State::Idle;
    QByteArray data_;
    QByteArray path_;
    // Handed to the link versus reported written by it: only the former
    // decides what goes next, so odd reports never resend or skip bytes.
    qint64 handed_ = 0;
    qint64 written_ = 0;
    QString error_;
    BlockWriter writer_;
    QPointer<Transceiver> link_;
    // Fed block by block as they are handed, so the digest is ready with the last one.
    QCryptographicHash digest_ {QCryptographicHash::Md5};
    QMetaObject::Connection pacing_;
    QMetaObject::Connection linkDown_;
    // The reply, the block in flight, or the listing.
    QBasicTimer timer_;
    int replyTimeoutMs_ = kReplyTimeoutMs;
    int blockTimeoutMs_ = kWriteTimeoutMs;
};
