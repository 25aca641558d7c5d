#include "link/printersession.h"

#include "app/debuglog.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "link/transceiver.h"
#include "link/usbprinter.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QAbstractSocket>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <memory>
#include <utility>

using namespace settings;

namespace {

// The folder's configuration file is not a font, as the font dialog has it.
bool isFontsConf(const QString& name)
{
    return name.startsWith(QLatin1String("fonts.conf"));
}

} // namespace

// The step that runs: its callback, its timeout and what it does with the
// printer's answers. A child of the session, deleted once it has ended,
// with everything it started.
class PrinterSession::Step final : public QObject
{
public:
    Step(PrinterSession* session, StateDone done)
        : QObject(session)
        , done(std::move(done))
    {
        timer.setSingleShot(true);
    }

    StateDone done;
    QTimer timer;
    std::function<void(const QByteArray&)> response;
    // Until the handshake is answered.
    bool opening = false;
    QPointer<FileUpload> upload;
};

std::optional<PrinterSession::Target> PrinterSession::Target::parse(const QString& text, QString* error)
{
    Target target;
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0) {
        // The match patterns come from the configuration when a transport is made.
        const UsbPrinter patterns;
        target.usbPath = UsbPrinter::enumerate().value(0);
        if (target.usbPath.isEmpty() && error)
            *error = PrinterSession::tr("%1: no USB printer found").arg(text);
    } else if (trimmed.startsWith(QLatin1String("usb:"), Qt::CaseInsensitive)) {
        target.usbPath = trimmed.mid(4);
        if (target.usbPath.isEmpty() && error)
            *error = PrinterSession::tr("%1: not a printer address").arg(text);
    } else {
        target.kind = Tcp;
        if (target.address.setAddress(trimmed))
            return target;
        // ADDRESS:PORT, an IPv6 address in brackets.
        const int colon = trimmed.lastIndexOf(QLatin1Char(':'));
        QString host = trimmed.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        bool ok = false;
        const uint port = trimmed.mid(colon + 1).toUInt(&ok);
        if (colon > 0 && ok && port > 0 && port <= 65535 && target.address.setAddress(host)) {
            target.port = quint16(port);
            return target;
        }
        if (error)
            *error = PrinterSession::tr("%1: not a printer address").arg(text);
        return std::nullopt;
    }
    target.kind = Usb;
    return target.usbPath.isEmpty() ? std::nullopt : std::optional<Target>(target);
}

QString PrinterSession::Target::toString() const
{
    if (kind == Usb)
        return QStringLiteral("usb:") + usbPath;
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(address.toString())
        : address.toString();
    return port == TcpPrinter::kPort ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}

PrinterSession::PrinterSession(QObject* parent)
    : QObject(parent)
    , ownsLink_(true)
{
    auto* cmd = new HostCmd(this);
    cmd_ = cmd;
    link_ = new Transceiver(*cmd, this);
    wire();
}

PrinterSession::PrinterSession(HostCmd& cmd, Transceiver& link, QObject* parent)
    : QObject(parent)
    , cmd_(&cmd)
    , link_(&link)
{
    wire();
    // The window's link is up already: the identity is that of its handshake.
    if (link.linkState() != Transceiver::None)
        takeIdentity();
}

PrinterSession::~PrinterSession()
{
    if (!ownsLink_)
        return;
    // The link first: its USB reader feeds the protocol object.
    closeLink();
    delete link_.data();
    delete cmd_.data();
}

const RecordHistory* PrinterSession::history() const
{
    return cmd_ ? &cmd_->history() : nullptr;
}

void PrinterSession::wire()
{
    qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
    // Queued: a reply handled inside the socket's read may write, and a
    // write may find the link gone.
    connect(cmd_, &HostCmd::responseReceived, this, &PrinterSession::onResponse, Qt::QueuedConnection);
    connect(link_, &Transceiver::connected, this, &PrinterSession::onConnected);
    connect(link_, &Transceiver::disconnected, this, &PrinterSession::onLinkDown);
    connect(link_->tcpPrinter(), &TcpPrinter::stateChanged, this,
        [this](QAbstractSocket::SocketState state) { onTcpStateChanged(int(state)); });
}

PrinterSession::Step* PrinterSession::begin(StateDone done, bool needsLink)
{
    QString error;
    if (step_)
        error = tr("another step is running");
    else if (needsLink && !linkUp())
        error = dropped_ ? tr("the link dropped") : tr("not connected");
    if (error.isEmpty()) {
        step_ = new Step(this, std::move(done));
        connect(&step_->timer, &QTimer::timeout, step_, [this, step = step_.data()] {
            if (step->opening)
                closeLink();
            const QString why = tr("the printer did not answer");
            finish(step, step->opening ? unreachable(why) : why);
        });
        step_->timer.start(timeoutMs_);
        return step_;
    }
    LOG("%s: %s", qUtf8Printable(target_.toString()), qUtf8Printable(error));
    post(std::move(done), error);
    return nullptr;
}

void PrinterSession::finish(Step* step, const QString& error)
{
    if (!step || step != step_)
        return;
    step_.clear();
    step->timer.stop();
    step->response = nullptr;
    step->deleteLater();
    if (!error.isEmpty())
        LOG("%s: %s", qUtf8Printable(target_.toString()), qUtf8Printable(error));
    post(std::move(step->done), error);
}

void PrinterSession::post(StateDone done, const QString& error)
{
    QMetaObject::invokeMethod(
        this,
        [this, done = std::move(done), error] {
            if (done)
                done(error, state_);
        },
        Qt::QueuedConnection);
}

namespace {

PrinterSession::StateDone withState(PrinterSession::Done done)
{
    return [done = std::move(done)](const QString& error, const PrinterState&) {
        if (done)
            done(error);
    };
}

} // namespace

void PrinterSession::open(const Target& target, Done done)
{
    Step* step = begin(withState(std::move(done)), false);
    if (!step)
        return;
    target_ = target;
    state_ = {};
    dropped_ = false;
    if (!ownsLink_ && link_->linkState() != Transceiver::None) {
        takeIdentity();
        finish(step, {});
        return;
    }
    closeLink();
    step->opening = true;
    const bool started = target.kind == Target::Usb ? link_->openUsb(target.usbPath, false)
                                                    : link_->openTcp(target.address, target.port);
    if (!started) {
        const QString why
            = target.kind == Target::Usb ? tr("the device could not be opened") : link_->tcpPrinter()->errorString();
        closeLink();
        finish(step, unreachable(why));
    }
}

void PrinterSession::close()
{
    if (step_)
        finish(step_, tr("not connected"));
    closeLink();
    dropped_ = false;
}

void PrinterSession::read(Parts parts, StateDone done)
{
    if (Step* step = begin(std::move(done)))
        readBatch(step, parts, [this, step] { finish(step, {}); });
}

void PrinterSession::readBatch(Step* step, Parts parts, std::function<void()> then)
{
    if (parts & Information) {
        state_.device.reset();
        state_.network.reset();
    }
    if (parts & Records) {
        state_.print.reset();
        state_.wnet.reset();
        state_.serial.reset();
        state_.audio.reset();
    }
    if (parts & FontTable)
        state_.fontTable.emplace();
    if (parts & FontFiles)
        state_.fontFiles.emplace();
    // Every answer before the sentinel's belongs to the batch.
    auto typeOnes = std::make_shared<int>(parts & Information ? 2 : 1);
    step->response = [this, parts, typeOnes, then](const QByteArray& response) {
        const quint16 id = RecordReader(response).u16(layout::kIdOffset);
        if (parts & Information) {
            if (id == DeviceInfo::replyId())
                state_.device = DeviceInfo::fromReply(response);
            else if (id == NetworkInfo::replyId())
                state_.network = NetworkInfo::fromReply(response);
        }
        if (parts & Records) {
            if (id == PrintSettings::replyId())
                state_.print = PrintSettings::fromReply(response);
            else if (id == WnetStatus::replyId())
                state_.wnet = WnetStatus::fromReply(response);
            else if (id == SerialSettings::replyId())
                state_.serial = SerialSettings::fromReply(response);
            else if (id == AudioSettings::replyId())
                state_.audio = AudioSettings::fromReply(response);
        }
        if ((parts & FontTable) && id == FontEntry::replyId()) {
            if (const std::optional<FontEntry> entry = FontEntry::fromReply(response))
                state_.fontTable->push_back(*entry);
        }
        if ((parts & FontFiles) && id == InstalledFont::replyId()) {
            const std::optional<InstalledFont> file = InstalledFont::fromReply(response);
            if (file && !isFontsConf(file->text(InstalledFont::Name)))
                state_.fontFiles->push_back(*file);
        }
        if (id == DeviceInfo::replyId() && --*typeOnes == 0)
            then();
    };

    // The requests go out in one write, without pauses: the printer answers
    // them in order, and in a fleet a write and a wake-up of the printer per
    // request cost more than the requests themselves.
    QByteArray batch;
    const HostCmd::Writer linkWriter = cmd_->writer();
    cmd_->setWriter([&batch](const quint8* data, quint32 length, int) {
        batch.append(reinterpret_cast<const char*>(data), int(length));
        return true;
    });
    QList<quint16> types;
    if (parts & Information)
        types << DeviceInfo::replyId() << NetworkInfo::replyId();
    if (parts & Records)
        types << PrintSettings::replyId() << WnetStatus::replyId() << SerialSettings::replyId()
              << AudioSettings::replyId();
    bool sent = true;
    for (quint16 type : qAsConst(types))
        sent = sent && cmd_->requestRecord(type);
    if (parts & FontTable)
        sent = sent && cmd_->requestFontSettings();
    if (parts & FontFiles)
        sent = sent && cmd_->requestDirectory(FileUpload::remotePath(QString()));
    sent = sent && cmd_->requestRecord(DeviceInfo::replyId());
    cmd_->setWriter(linkWriter);
    sent = sent && link_ && link_->write(batch.constData(), quint32(batch.size()), HostCmd::kWriteTimeoutMs);
    if (!sent)
        finish(step, tr("the link dropped"));
    else
        step->timer.start(timeoutMs_);
}

void PrinterSession::onResponse(const QByteArray& response)
{
    if (!step_ || !step_->response)
        return;
    step_->timer.start(timeoutMs_);
    // A copy: the handler may end the batch, and with it itself.
    const std::function<void(const QByteArray&)> handler = step_->response;
    handler(response);
}

void PrinterSession::apply(const Plan& plan, const QMap<QString, QByteArray>& fontData, StateDone done)
{
    Step* step = begin(std::move(done));
    if (!step)
        return;
    if (!plan.error.isEmpty()) {
        finish(step, plan.error);
        return;
    }
    std::vector<std::pair<QString, QByteArray>> files;
    for (const FontFile& font : plan.fontsToInstall) {
        if (!fontData.contains(font.name)) {
            finish(step, tr("no data for the font file %1").arg(font.name));
            return;
        }
        files.emplace_back(font.name, fontData.value(font.name));
    }
    Parts touched = plan.records.empty() ? Parts() : Parts(Information | Records);
    bool sent = true;
    for (const QByteArray& record : plan.records)
        sent = sent && cmd_->sendRecord(record);
    if (plan.fontTable) {
        touched |= FontTable;
        sent = sent && cmd_->beginFontSettings();
        for (const FontEntry& entry : *plan.fontTable)
            sent = sent && cmd_->sendFontSettingsEntry(entry.bytes());
        sent = sent && cmd_->endFontSettings();
    }
    if (!sent) {
        finish(step, tr("the link dropped"));
        return;
    }
    if (!files.empty())
        touched |= FontFiles;
    installNext(step, std::move(files),
        [this, step, touched] { readBatch(step, touched, [this, step] { finish(step, {}); }); });
}

void PrinterSession::installNext(
    Step* step, std::vector<std::pair<QString, QByteArray>> files, std::function<void()> then)
{
    if (files.empty()) {
        then();
        return;
    }
    const QString name = files.front().first;
    const QByteArray data = files.front().second;
    files.erase(files.begin());
    // The upload's own timeouts govern while it runs.
    step->timer.stop();
    auto* upload = new FileUpload(*cmd_, *link_, step);
    upload->setReplyTimeout(timeoutMs_);
    upload->setBlockTimeout(timeoutMs_);
    step->upload = upload;
    connect(cmd_, &HostCmd::responseReceived, upload, &FileUpload::handleResponse, Qt::QueuedConnection);
    connect(upload, &FileUpload::finished, step, [this, step, upload, files, then] {
        upload->deleteLater();
        // The rest of the upload's listing goes before what comes next.
        readBatch(step, Parts(), [this, step, files, then] { installNext(step, files, then); });
    });
    connect(upload, &FileUpload::refused, step,
        [this, step, name](quint16 status) { finish(step, tr("refused: %1: status %2").arg(name).arg(status)); });
    connect(upload, &FileUpload::failed, step, [this, step](const QString& reason) { finish(step, reason); });
    if (!upload->start(name, data))
        finish(step, upload->errorString());
}

QString PrinterSession::loadFonts(const settings::Plan& plan, const QString& folder, QMap<QString, QByteArray>* data)
{
    // A file's font names hold no path.
    for (const FontFile& font : plan.fontsToInstall) {
        QFile file(QDir(folder).filePath(font.name));
        if (!file.open(QIODevice::ReadOnly))
            return tr("cannot read %1: %2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
        const QByteArray bytes = file.readAll();
        if (bytes.size() != font.size)
            return tr("font file %1: %2 bytes, the settings file says %3")
                .arg(QDir::toNativeSeparators(file.fileName()))
                .arg(bytes.size())
                .arg(font.size);
        if (!font.md5.isEmpty() && QCryptographicHash::hash(bytes, QCryptographicHash::Md5) != font.md5)
            return tr("font file %1: its MD5 is not the settings file's")
                .arg(QDir::toNativeSeparators(file.fileName()));
        data->insert(font.name, bytes);
    }
    return QString();
}

void PrinterSession::installFont(const QString& name, const QByteArray& data, Done done)
{
    if (Step* step = begin(withState(std::move(done))))
        installNext(step, {{name, data}}, [this, step] { finish(step, {}); });
}

void PrinterSession::removeFont(const QString& name, Done done)
{
    Step* step = begin(withState(std::move(done)));
    if (!step)
        return;
    if (!cmd_->deleteFile(FileUpload::remotePath(name))) {
        finish(step, tr("the link dropped"));
        return;
    }
    readBatch(step, FontFiles, [this, step, name] {
        for (const InstalledFont& file : *state_.fontFiles) {
            if (file.text(InstalledFont::Name) == name) {
                finish(step, tr("the printer still lists %1").arg(name));
                return;
            }
        }
        finish(step, {});
    });
}

void PrinterSession::restartMobile(Done done)
{
    Step* step = begin(withState(std::move(done)));
    if (!step)
        return;
    // The sentinel's answer shows that the printer took the command.
    if (!cmd_->restartWnet())
        finish(step, tr("the link dropped"));
    else
        readBatch(step, Parts(), [this, step] { finish(step, {}); });
}

void PrinterSession::printRaw(const QByteArray& page, Done done)
{
    Step* step = begin(withState(std::move(done)));
    if (!step)
        return;
    if (link_->linkState() == Transceiver::Usb) {
        const bool written = link_->write(page.constData(), quint32(page.size()), TestPage::kUsbWriteTimeoutMs);
        finish(step, written ? QString() : tr("the page could not be written"));
        return;
    }
    const QHostAddress address = link_->hostAddress();
    auto* job = new TcpRawPrint(address, page, step);
    connect(job, &TcpRawPrint::failed, step, [this, step, address](const QString& why) {
        finish(step,
            tr("unreachable: %1: %2")
                .arg(QStringLiteral("%1:%2").arg(address.toString()).arg(TcpRawPrint::kPort), why));
    });
    connect(job, &TcpRawPrint::finished, step, [this, step] { finish(step, {}); });
}

void PrinterSession::onConnected()
{
    up_ = true;
    dropped_ = false;
    takeIdentity();
    if (step_ && step_->opening) {
        step_->opening = false;
        finish(step_, {});
    }
}

void PrinterSession::onLinkDown()
{
    if (closing_)
        return;
    const bool wasUp = linkUp();
    up_ = false;
    dropped_ = true;
    if (step_ && step_->opening) {
        const QString why
            = link_->linkState() == Transceiver::Tcp ? link_->tcpPrinter()->errorString() : tr("the link dropped");
        closeLink();
        finish(step_, unreachable(why));
    } else if (step_ && !(step_->upload && !step_->upload->isActive())) {
        // An upload that gave up restarts the link itself and says why.
        finish(step_, tr("the link dropped"));
    }
    if (wasUp)
        Q_EMIT disconnected();
}

void PrinterSession::onTcpStateChanged(int state)
{
    if (closing_ || state != QAbstractSocket::UnconnectedState || !step_ || !step_->opening)
        return;
    const QString why = link_->tcpPrinter()->errorString();
    closeLink();
    finish(step_, unreachable(why));
}

void PrinterSession::takeIdentity()
{
    state_.identity = DeviceIdentity::fromBytes(cmd_->identity());
    // Per-model rules read the names from the protocol object.
    if (ownsLink_ && state_.identity) {
        cmd_->project = state_.identity->text(DeviceIdentity::Project);
        cmd_->model = state_.identity->text(DeviceIdentity::Model);
    }
}

void PrinterSession::closeLink()
{
    if (ownsLink_ && link_) {
        closing_ = true;
        link_->close();
        closing_ = false;
    }
    up_ = false;
}

bool PrinterSession::linkUp() const
{
    if (ownsLink_)
        return up_;
    return link_ && link_->linkState() != Transceiver::None && !dropped_;
}

QString PrinterSession::unreachable(const QString& why) const
{
    return tr("unreachable: %1: %2").arg(target_.toString(), why);
}
