#include "link/fileupload.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/transceiver.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCryptographicHash>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

namespace {

const char kFontFolder[] = "/data/PUB/fonts/";

} // namespace

FileUpload::FileUpload(QObject* parent)
    : QObject(parent)
    , cmd_(hostCmd)
{
}

FileUpload::FileUpload(HostCmd& cmd, Transceiver& link, QObject* parent)
    : QObject(parent)
    , cmd_(cmd)
    , link_(&link)
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
    if (!cmd_.requestUpload(path, quint32(data.size()))) {
        error_ = tr("The upload request could not be sent.");
        LOG("Upload request for %s not sent", path.constData());
        return false;
    }
    data_ = data;
    path_ = path;
    handed_ = written_ = 0;
    digest_.reset();
    state_ = State::Requested;
    if (Transceiver* source = link()) {
        linkDown_ = connect(source, &Transceiver::disconnected, this, &FileUpload::onLinkDown);
        // Once the request is out, whatever the printer reads next is taken as file data.
        source->hold(this);
    }
    timer_.start(replyTimeoutMs_, this);
    return true;
}

void FileUpload::handleResponse(const QByteArray& response)
{
    const RecordReader reader(response);
    const quint16 id = reader.u16(layout::kIdOffset);
    if (state_ == State::Requested && id == kReplyId && reader.size() >= kMinReplyLength)
        onReply(reader.u16(layout::file::kShortPath));
    else if (state_ == State::Verifying && id == layout::recordId(layout::code::kListDirectory)
        && reader.size() >= layout::fontlisting::kMinLength)
        onListed(reader.text(layout::file::kShortPath, layout::file::kPathWidth), reader.u32(layout::file::kShortSize));
}

void FileUpload::onReply(quint16 status)
{
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
    timer_.stop();
    state_ = State::Transferring;
    // Queued: Qt does not emit bytesWritten again while it is being emitted,
    // so a block written from inside the emission would never be reported.
    pacing_ = connect(source, &Transceiver::bytesWritten, this, &FileUpload::sendFileBlock, Qt::QueuedConnection);
    Q_EMIT progress(0, data_.size());
    if (state_ == State::Transferring)
        sendNextBlock();
}

void FileUpload::onListed(const QByteArray& name, quint32 size)
{
    if (name != path_.mid(int(sizeof kFontFolder) - 1))
        return;
    if (size != quint32(data_.size())) {
        LOG("Upload of %s: the printer lists %u bytes, not %d", path_.constData(), size, int(data_.size()));
        fail(tr("The printer did not keep the file."));
        return;
    }
    reset();
    Q_EMIT finished();
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
    const bool ok
        = writer_ ? writer_(block, length, kWriteTimeoutMs) : link()->write(block, length, kWriteTimeoutMs, this);
    if (state_ != State::Transferring)
        return;
    if (!ok) {
        LOG("Upload of %s: a block at offset %lld could not be written", path_.constData(), handed_);
        fail(tr("The link to the printer failed."));
        return;
    }
    digest_.addData(block, int(length));
    handed_ += length;
    // A block reported short, or not at all, would hold the transfer for ever.
    timer_.start(blockTimeoutMs_, this);
}

void FileUpload::complete()
{
    disconnect(pacing_);
    if (Transceiver* target = link())
        target->release(this);
    if (!cmd_.completeUpload(path_, quint32(data_.size()), digest_.result())) {
        LOG("Upload of %s: completion record not sent", path_.constData());
        fail(tr("The link to the printer failed."));
        return;
    }
    // The printer keeps the file only if size and digest match: its listing tells.
    state_ = State::Verifying;
    Q_EMIT verifying();
    if (state_ != State::Verifying)
        return;
    if (!cmd_.requestDirectory(QByteArray(kFontFolder))) {
        LOG("Upload of %s: listing request not sent", path_.constData());
        fail(tr("The link to the printer failed."));
        return;
    }
    timer_.start(replyTimeoutMs_, this);
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
    const bool inStep = state_ == State::Verifying;
    reset();
    if (!inStep)
        restartLink();
    Q_EMIT cancelled();
}

bool FileUpload::canCancel() const
{
    const Transceiver* target = link();
    return state_ == State::Verifying || !target || target->linkState() != Transceiver::Usb;
}

void FileUpload::restartLink()
{
    // Once the request is out the printer may wait for the announced bytes;
    // only a new connection makes it drop the partial file. A USB printer
    // does not notice the device being reopened, so that link is left alone.
    Transceiver* target = link();
    if (!target || target->linkState() != Transceiver::Tcp)
        return;
    const QHostAddress address = target->hostAddress();
    const quint16 port = target->hostPort();
    target->close();
    if (!target->openTcp(address, port))
        LOG("Reconnecting to %s after a stopped upload failed", qUtf8Printable(address.toString()));
}

void FileUpload::onLinkDown()
{
    LOG("Upload of %s: the link went down after %lld of %lld bytes", path_.constData(), written_, qint64(data_.size()));
    fail(tr("The connection to the printer was lost."));
}

void FileUpload::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    switch (state_) {
    case State::Requested:
        LOG("Upload of %s: no answer to the request", path_.constData());
        // An answer could still come and leave the printer waiting for the file.
        abandon(tr("The printer did not answer."));
        break;
    case State::Transferring:
        LOG("Upload of %s: %lld of the %lld bytes handed were reported written", path_.constData(), written_, handed_);
        abandon(tr("The printer stopped taking the file."));
        break;
    case State::Verifying:
        LOG("Upload of %s: not in the printer's listing", path_.constData());
        fail(tr("The printer did not keep the file."));
        break;
    case State::Idle:
        timer_.stop();
        break;
    }
}

void FileUpload::fail(const QString& reason)
{
    reset();
    Q_EMIT failed(reason);
}

void FileUpload::abandon(const QString& reason)
{
    reset();
    restartLink();
    Q_EMIT failed(reason);
}

void FileUpload::reset()
{
    disconnect(pacing_);
    disconnect(linkDown_);
    if (Transceiver* target = link())
        target->release(this);
    digest_.reset();
    timer_.stop();
    state_ = State::Idle;
    data_.clear();
    path_.clear();
    handed_ = written_ = 0;
}
