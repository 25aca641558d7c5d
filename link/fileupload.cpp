#include "link/fileupload.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/recordlayouts.h"
#include "link/records.h"
#include "link/transceiver.h"
#include "link/usbprinter.h"

#include <QCryptographicHash>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

namespace {

const char kFontFolder[] = "/data/PUB/fonts/";

} // namespace

FileUpload::FileUpload(QObject* parent)
    : QObject(parent)
{
}

QByteArray FileUpload::remotePath(const QString& fileName)
{
    return QByteArray(kFontFolder) + fileName.toUtf8();
}

Transceiver* FileUpload::link() const
{
    return link_ ? link_.data() : transceiver;
}

bool FileUpload::start(const QString& fileName, const QByteArray& data)
{
    error_.clear();
    const QByteArray path = remotePath(fileName);
    if (isActive())
        error_ = tr("Another file is being installed.");
    else if (fileName.isEmpty() || data.isEmpty())
        error_ = tr("The file is empty.");
    else if (path.size() > kMaxPathBytes)
        error_ = tr("The file name is too long for the printer: \"%1\" has %2 bytes, at most %3 fit.")
                     .arg(QString::fromUtf8(path))
                     .arg(path.size())
                     .arg(kMaxPathBytes);
    else if (quint64(data.size()) > std::numeric_limits<quint32>::max())
        error_ = tr("The file is too large for the printer.");
    if (!error_.isEmpty()) {
        LOG("Upload of %s refused: %s", fileName.toUtf8().constData(), error_.toUtf8().constData());
        return false;
    }
    if (!hostCmd.requestUpload(path, quint32(data.size()))) {
        error_ = tr("The upload request could not be sent.");
        LOG("Upload request for %s not sent", path.constData());
        return false;
    }
    data_ = data;
    path_ = path;
    handed_ = written_ = 0;
    digest_.reset();
    state_ = State::Requested;
    if (Transceiver* source = link())
        linkDown_ = connect(source, &Transceiver::disconnected, this, &FileUpload::onLinkDown);
    replyTimer_ = startTimer(replyTimeoutMs_);
    return true;
}

void FileUpload::handleResponse(const QByteArray& response)
{
    const RecordReader reader(response);
    if (reader.size() < kMinReplyLength || reader.u16(layout::kIdOffset) != kReplyId || state_ != State::Requested)
        return;
    const quint16 status = reader.u16(layout::file::kShortPath);
    if (status != 0) {
        LOG("Upload of %s refused by the printer: status %u", path_.constData(), unsigned(status));
        reset();
        Q_EMIT refused(status);
        return;
    }
    Transceiver* source = link();
    if (!source) {
        LOG("Upload of %s: no link", path_.constData());
        fail(tr("The printer is not connected."));
        return;
    }
    killTimer(replyTimer_);
    replyTimer_ = 0;
    state_ = State::Transferring;
    // Queued: Qt does not emit bytesWritten again while it is being emitted,
    // so a block written from inside the emission would never be reported.
    pacing_ = connect(source, &Transceiver::bytesWritten, this, &FileUpload::sendFileBlock, Qt::QueuedConnection);
    Q_EMIT progress(0, data_.size());
    sendNextBlock();
}

void FileUpload::sendFileBlock(qint64 bytes)
{
    if (state_ != State::Transferring || bytes <= 0)
        return;
    // A report may include other traffic of the link; never count past what was handed.
    written_ = std::min(handed_, written_ + bytes);
    Q_EMIT progress(written_, data_.size());
    // A progress slot may have cancelled.
    if (state_ != State::Transferring || written_ < handed_)
        return;
    if (handed_ >= data_.size())
        complete();
    else
        sendNextBlock();
}

void FileUpload::sendNextBlock()
{
    // A shared copy: a link that goes down inside write() ends the upload
    // and clears the data while the block is still in use.
    const QByteArray data = data_;
    const quint32 length = quint32(std::min<qint64>(kBlockSize, data.size() - handed_));
    const char* block = data.constData() + handed_;
    const bool ok = writer_ ? writer_(block, length, kWriteTimeoutMs) : link()->write(block, length, kWriteTimeoutMs);
    if (state_ != State::Transferring)
        return;
    if (!ok) {
        LOG("Upload of %s: a block at offset %lld could not be written", path_.constData(), handed_);
        fail(tr("The link to the printer failed."));
        return;
    }
    digest_.addData(block, int(length));
    handed_ += length;
}

void FileUpload::complete()
{
    const QByteArray digest = digest_.result();
    const QByteArray path = path_;
    const quint32 size = quint32(data_.size());
    reset();
    if (!hostCmd.completeUpload(path, size, digest))
        LOG("Upload of %s: completion record not sent", path.constData());
    Q_EMIT finished();
}

void FileUpload::cancel()
{
    if (!isActive())
        return;
    if (!canCancel()) {
        LOG("Upload of %s over USB cannot be cancelled; it goes on", path_.constData());
        return;
    }
    LOG("Upload of %s cancelled after %lld of %lld bytes", path_.constData(), handed_, qint64(data_.size()));
    reset();
    restartLink();
    Q_EMIT cancelled();
}

bool FileUpload::canCancel() const
{
    const Transceiver* target = link();
    return !target || target->linkState() != Transceiver::Usb;
}

void FileUpload::restartLink()
{
    Transceiver* target = link();
    if (!target)
        return;
    // Once the request is out the printer may wait for the announced bytes;
    // only a new connection makes it drop the partial file.
    switch (target->linkState()) {
    case Transceiver::Tcp: {
        const QHostAddress address = target->hostAddress();
        target->close();
        if (!target->openTcp(address))
            LOG("Reconnecting to %s after a stopped upload failed", qUtf8Printable(address.toString()));
        break;
    }
    case Transceiver::Usb: {
        const QString path = target->usbPrinter()->interfaceName();
        target->close();
        if (!target->openUsb(path, false))
            LOG("Reopening %s after a stopped upload failed", qUtf8Printable(path));
        break;
    }
    default:
        break;
    }
}

void FileUpload::onLinkDown()
{
    LOG("Upload of %s: the link went down after %lld of %lld bytes", path_.constData(), written_, qint64(data_.size()));
    fail(tr("The connection to the printer was lost."));
}

void FileUpload::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != replyTimer_) {
        QObject::timerEvent(event);
        return;
    }
    LOG("Upload of %s: no answer to the request", path_.constData());
    // An answer could still come and leave the printer waiting for the file.
    reset();
    restartLink();
    Q_EMIT failed(tr("The printer did not answer."));
}

void FileUpload::fail(const QString& reason)
{
    reset();
    Q_EMIT failed(reason);
}

void FileUpload::reset()
{
    disconnect(pacing_);
    disconnect(linkDown_);
    digest_.reset();
    if (replyTimer_ != 0)
        killTimer(replyTimer_);
    replyTimer_ = 0;
    state_ = State::Idle;
    data_.clear();
    path_.clear();
    handed_ = written_ = 0;
}
