#include "tools/printersim/simrawprint.h"

#include "settings/settings.h"
#include "tools/printersim/simprinter.h"

#include <QFile>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

const QByteArray kMagic(reinterpret_cast<const char*>(packet::kMagic), sizeof packet::kMagic);

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// True when the bytes from `at` are the packet magic or, at the end of the
// chunk, the start of it.
bool startsPacket(const QByteArray& chunk, int at)
{
    const int n = qMin(int(kMagic.size()), int(chunk.size()) - at);
    return n > 0 && chunk.mid(at, n) == kMagic.left(n);
}

} // namespace

escpos::Options printOptions(const SimIdentity& identity)
{
    escpos::Options options;
    if (settings::features(QString::fromLatin1(identity.project), QString::fromLatin1(identity.model)).compact)
        options.paper = escpos::Paper::Mm58;
    return options;
}

SimJobCapture::SimJobCapture(SimPrinter* printer, QObject* parent)
    : QObject(parent)
    , printer_(printer)
{
}

bool SimJobCapture::open(const QString& directory, QString& error)
{
    if (!QDir().mkpath(directory)) {
        error = QStringLiteral("cannot create %1").arg(directory);
        return false;
    }
    dir_ = QDir(directory);
    open_ = true;
    return true;
}

QString SimJobCapture::save(const QByteArray& job, const QString& source)
{
    if (!open_ || job.isEmpty())
        return QString();
    const QString base = QStringLiteral("job-%1").arg(++jobs_, 4, 10, QLatin1Char('0'));
    const QString binPath = dir_.filePath(base + QStringLiteral(".bin"));
    // The renderings first: whoever waits for the .bin finds them. The image
    // needs fonts, which only a GUI application has.
    const bool image = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!writeFile(dir_.filePath(base + QStringLiteral(".txt")), escpos::renderText(job).toUtf8())
        || (image
            && !escpos::renderImage(job, printOptions(printer_->model().identity()))
                    .image.save(dir_.filePath(base + QStringLiteral(".png")), "PNG"))
        || !writeFile(binPath, job)) {
        printer_->log(QString(), QStringLiteral("raw print: cannot write %1").arg(binPath));
        return QString();
    }
    printer_->log(QString(), QStringLiteral("raw print: %1 bytes from %2 in %3").arg(job.size()).arg(source, binPath));
    Q_EMIT jobCaptured(binPath);
    return binPath;
}

SimRawPrintServer::SimRawPrintServer(SimJobCapture* capture, QObject* parent)
    : QObject(parent)
    , capture_(capture)
    , server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &SimRawPrintServer::onNewConnection);
}

bool SimRawPrintServer::listen(const QHostAddress& address, quint16 port)
{
    return server_->listen(address, port);
}

QString SimRawPrintServer::errorString() const
{
    return server_->errorString();
}

quint16 SimRawPrintServer::port() const
{
    return server_->serverPort();
}

void SimRawPrintServer::onNewConnection()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const QString source
            = QStringLiteral("tcp %1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        auto job = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [socket, job] { job->append(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, job, source] {
            job->append(socket->readAll());
            capture_->save(*job, source);
            socket->deleteLater();
        });
    }
}

SimUsbStream::SimUsbStream(SimJobCapture* capture, QObject* parent)
    : QObject(parent)
    , capture_(capture)
    , idle_(new QTimer(this))
{
    idle_->setSingleShot(true);
    idle_->setInterval(kIdleMs);
    connect(idle_, &QTimer::timeout, this, &SimUsbStream::finish);
}

QByteArray SimUsbStream::take(const QByteArray& chunk)
{
    QByteArray packets;
    const auto* data = reinterpret_cast<const quint8*>(chunk.constData());
    const int length = int(chunk.size());
    int at = 0;
    while (at < length) {
        if (passThrough_ > 0) {
            const int count = int(qMin<qint64>(passThrough_, length - at));
            packets.append(chunk.mid(at, count));
            passThrough_ -= count;
            at += count;
            continue;
        }
        if (assembler_.inProgress() || startsPacket(chunk, at)) {
            const packet::Assembler::Step step = assembler_.feed(data + at, quint32(length - at));
            if (step.consumed > 0) {
                finish();
                packets.append(chunk.mid(at, int(step.consumed)));
                at += int(step.consumed);
                if (step.complete)
                    assembler_.reset();
                continue;
            }
            assembler_.reset();
        }
        int next = int(chunk.indexOf(kMagic, at + 1));
        if (next < 0)
            next = length;
        appendRaw(chunk.mid(at, next - at));
        at = next;
    }
    return packets;
}

void SimUsbStream::appendRaw(const QByteArray& bytes)
{
    job_.append(bytes);
    idle_->start();
}

void SimUsbStream::passThrough(qint64 count)
{
    passThrough_ = count;
}

void SimUsbStream::finish()
{
    idle_->stop();
    if (job_.isEmpty())
        return;
    capture_->save(job_, QStringLiteral("usb"));
    job_.clear();
}
