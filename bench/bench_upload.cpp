// Font upload throughput: FileUpload against the printer simulator over
// loopback TCP, beside two floors that push the same blocks to the same
// simulator with nothing of the program's link in between:
//   (a) QTcpSocket::write + waitForBytesWritten, one block at a time;
//   (b) a blocking POSIX send() loop.
// All three talk to the simulator the same way around the blocks (handshake,
// upload request, completion record with the MD5, hashed as the blocks go) so the sink's cost is the
// same: it parses, collects and stores every byte. The clock runs from the
// upload request to the file lying complete in the simulator's font folder.
// Runs are few and each far longer than a clock tick: a plain loop with a
// steady clock does, no benchmark framework.

#include "benchsupport.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <random>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;

constexpr int kBlock = FileUpload::kBlockSize;
constexpr int kTimeoutMs = 120000;
constexpr int kIoTimeoutMs = 15000;
const QHostAddress kLoopback(QHostAddress::LocalHost);

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The simulator must not outlive a benchmark that crashed.
class SimChild final : public QProcess
{
protected:
    void setupChildProcess() override { prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

class Simulator final
{
public:
    ~Simulator() { stop(); }

    bool start(const QString& program, const QString& fontDir)
    {
        process_.setProgram(program);
        // No keep-alives: nothing but our own traffic on the wire.
        process_.setArguments(
            {"--listen", "127.0.0.1", "--port", "0", "--no-discovery", "--keepalive-ms", "0", "--font-dir", fontDir});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        QByteArray output;
        while (!output.contains('\n')) {
            if (!process_.waitForReadyRead(kIoTimeoutMs))
                return false;
            output += process_.readAllStandardOutput();
        }
        static const QRegularExpression listening(QStringLiteral("listening on ([^ ]+):(\\d+)"));
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (!match.hasMatch())
            return false;
        port_ = quint16(match.captured(2).toUInt());
        return port_ != 0;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    quint16 port() const { return port_; }

private:
    SimChild process_;
    quint16 port_ = 0;
};

// The simulator stores through QSaveFile, so the name shows up only complete;
// the size check guards against a stale file of an earlier run.
bool waitStored(const QString& path, qint64 size)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (Clock::now() < deadline) {
        const QFileInfo info(path);
        if (info.exists() && info.size() == size)
            return true;
        // Sleeps rather than spins: pinned, the simulator needs this CPU.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// Phases of one upload, seconds: the upload request until the first block,
// the blocks (handed to the link until the last is reported written), the
// completion record, and the simulator checking and storing the file.
struct Run
{
    bool ok = false;
    double accept = 0;
    double blocks = 0;
    double complete = 0;
    double store = 0;

    double total() const { return accept + blocks + complete + store; }
    void set(Clock::time_point started, Clock::time_point firstBlock, Clock::time_point lastBlock,
        Clock::time_point completed, Clock::time_point stored)
    {
        accept = seconds(firstBlock - started);
        blocks = seconds(lastBlock - firstBlock);
        complete = seconds(completed - lastBlock);
        store = seconds(stored - completed);
        ok = true;
    }
};

// A blocking byte pipe for the floors: the handshake and the upload request
// go through hostCmd over it, synchronously.
struct Pipe
{
    std::function<bool(const quint8*, quint32)> send;
    std::function<qint64(char*, qint64)> receive; // waits; <= 0 on failure
};

// Runs the handshake, then sends the upload request and waits for its
// acceptance; `started` is set just before the request goes.
bool openUpload(const Pipe& pipe, const QByteArray& path, quint32 size, Clock::time_point& started)
{
    hostCmd.setWriter([&pipe](const quint8* data, quint32 length, int) { return pipe.send(data, length); });
    bool keyed = false;
    int status = -1;
    QObject context;
    QObject::connect(&hostCmd, &HostCmd::deviceFound, &context, [&keyed] { keyed = true; });
    QObject::connect(&hostCmd, &HostCmd::responseReceived, &context, [&status](const QByteArray& response) {
        const RecordReader reader(response);
        if (reader.size() >= FileUpload::kMinReplyLength && reader.u16(layout::kIdOffset) == FileUpload::kReplyId)
            status = reader.u16(layout::file::kShortPath);
    });
    const auto pump = [&pipe](const bool& done) {
        char buffer[8192];
        while (!done) {
            const qint64 n = pipe.receive(buffer, sizeof buffer);
            if (n <= 0)
                return false;
            hostCmd.receiveAll(reinterpret_cast<const quint8*>(buffer), quint32(n));
        }
        return true;
    };
    bool ok = hostCmd.sendHandshake(false) && pump(keyed);
    started = Clock::now();
    bool answered = false;
    QObject::connect(&hostCmd, &HostCmd::responseReceived, &context, [&answered, &status] { answered = status >= 0; });
    ok = ok && hostCmd.requestUpload(path, size) && pump(answered) && status == 0;
    hostCmd.setWriter({});
    return ok;
}

bool closeUpload(const Pipe& pipe, const QByteArray& path, quint32 size, const QByteArray& digest)
{
    hostCmd.setWriter([&pipe](const quint8* bytes, quint32 length, int) { return pipe.send(bytes, length); });
    const bool ok = hostCmd.completeUpload(path, size, digest);
    hostCmd.setWriter({});
    return ok;
}

class Bench final
{
public:
    Bench(quint16 port, QString fontDir, QByteArray data)
        : port_(port)
        , fontDir_(std::move(fontDir))
        , data_(std::move(data))
    {
    }

    Run fileUpload(int index)
    {
        Run run;
        const QString name = QStringLiteral("upload-%1.ttf").arg(index);
        Transceiver link;
        link.setModifierSource([] { return Qt::KeyboardModifiers(); });
        transceiver = &link;
        // Transceiver::openTcp knows only the printer's fixed port, and the
        // simulator is on a free one: packets and blocks go to the link's own
        // TcpPrinter, which is all Transceiver::write does on a TCP link.
        TcpPrinter* tcp = link.tcpPrinter();
        const auto toTcp
            = [tcp](const void* data, quint32 length, int timeoutMs) { return tcp->write(data, length, timeoutMs); };
        hostCmd.setWriter(toTcp);
        FileUpload upload;
        upload.setLink(&link);
        upload.setBlockWriter(toTcp);
        QObject::connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);

        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&link, &Transceiver::connected, &loop, &QEventLoop::quit);
        timeout.start(kIoTimeoutMs);
        bool ready = false;
        QObject::connect(&link, &Transceiver::connected, &loop, [&ready] { ready = true; });
        if (tcp->connectToHost(kLoopback, port_))
            loop.exec();

        Clock::time_point firstBlock {};
        Clock::time_point lastBlock {};
        QObject::connect(&upload, &FileUpload::progress, &loop, [&](qint64 written, qint64 total) {
            if (written == 0)
                firstBlock = Clock::now();
            else if (written == total)
                lastBlock = Clock::now();
        });
        bool finished = false;
        Clock::time_point completed {};
        QObject::connect(&upload, &FileUpload::finished, &loop, [&finished, &completed, &loop] {
            completed = Clock::now();
            finished = true;
            loop.quit();
        });
        QObject::connect(&upload, &FileUpload::refused, &loop, &QEventLoop::quit);
        QObject::connect(&upload, &FileUpload::failed, &loop, &QEventLoop::quit);

        if (ready) {
            timeout.start(kTimeoutMs);
            const Clock::time_point started = Clock::now();
            if (upload.start(name, data_)) {
                loop.exec();
                if (finished && waitStored(QDir(fontDir_).filePath(name), data_.size()))
                    run.set(started, firstBlock, lastBlock, completed, Clock::now());
            }
        }
        hostCmd.setWriter({});
        tcp->close();
        transceiver = nullptr;
        QFile::remove(QDir(fontDir_).filePath(name));
        return run;
    }

    Run qtSocketFloor(int index)
    {
        QTcpSocket socket;
        socket.connectToHost(kLoopback, port_);
        if (!socket.waitForConnected(kIoTimeoutMs))
            return {};
        const Pipe pipe {[&socket](const quint8* data, quint32 length) {
                             return socket.write(reinterpret_cast<const char*>(data), length) == qint64(length)
                                 && socket.waitForBytesWritten(kIoTimeoutMs);
                         },
            [&socket](char* buffer, qint64 room) -> qint64 {
                if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kIoTimeoutMs))
                    return -1;
                return socket.read(buffer, room);
            }};
        return floor(pipe, QStringLiteral("qt-floor-%1.ttf").arg(index), [&socket](const char* block, int length) {
            return socket.write(block, length) == length && socket.waitForBytesWritten(kIoTimeoutMs);
        });
    }

    Run sendFloor(int index)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return {};
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Run run;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const Pipe pipe {[fd](const quint8* data, quint32 length) { return bench::sendAll(fd, data, length); },
                [fd](char* buffer, qint64 room) -> qint64 {
                    ssize_t n;
                    do
                        n = ::recv(fd, buffer, size_t(room), 0);
                    while (n < 0 && errno == EINTR);
                    return n;
                }};
            run = floor(pipe, QStringLiteral("send-floor-%1.ttf").arg(index),
                [fd](const char* block, int length) { return bench::sendAll(fd, block, size_t(length)); });
        }
        ::close(fd);
        return run;
    }

private:
    Run floor(const Pipe& pipe, const QString& name, const std::function<bool(const char*, int)>& writeBlock)
    {
        Run run;
        const QByteArray path = FileUpload::remotePath(name);
        const QString local = QDir(fontDir_).filePath(name);
        Clock::time_point started;
        if (!openUpload(pipe, path, quint32(data_.size()), started))
            return run;
        const Clock::time_point firstBlock = Clock::now();
        bool ok = true;
        // The digest is part of the job: the printer keeps nothing without it.
        // Hashed block by block as sent, as FileUpload does.
        QCryptographicHash digest(QCryptographicHash::Md5);
        for (qint64 offset = 0; ok && offset < data_.size(); offset += kBlock) {
            const int length = int(std::min<qint64>(kBlock, data_.size() - offset));
            ok = writeBlock(data_.constData() + offset, length);
            digest.addData(data_.constData() + offset, length);
        }
        const Clock::time_point lastBlock = Clock::now();
        if (ok && closeUpload(pipe, path, quint32(data_.size()), digest.result())) {
            const Clock::time_point completed = Clock::now();
            if (waitStored(local, data_.size()))
                run.set(started, firstBlock, lastBlock, completed, Clock::now());
        }
        QFile::remove(local);
        return run;
    }

    quint16 port_;
    QString fontDir_;
    QByteArray data_;
};

QByteArray randomData(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    std::mt19937 generator(20240501u);
    for (int i = 0; i < size; ++i)
        data[i] = char(generator() & 0xFF);
    return data;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString cpuList()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return QStringLiteral("?");
    QStringList cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            cpus.append(QString::number(cpu));
    }
    return cpus.join(QLatin1Char(','));
}

struct Series
{
    QString name;
    std::vector<double> rates; // MB/s, request to stored
    std::vector<double> blockRates; // MB/s, block phase only
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Font upload throughput: FileUpload versus a QTcpSocket and a send() floor, over loopback TCP to the "
        "printer simulator."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(
        QStringLiteral("runs"), QStringLiteral("Runs of each (default 5); the median is reported."), "n", "5");
    const QCommandLineOption sizeOption(
        QStringLiteral("size"), QStringLiteral("File size in bytes (default 10000000)."), "bytes", "10000000");
    const QCommandLineOption reportOption(
        QStringLiteral("report"), QStringLiteral("Also write the Markdown table to this file."), "file");
    const QCommandLineOption simOption(QStringLiteral("sim"), QStringLiteral("Printer simulator executable."), "path",
        QStringLiteral(TOVRA_SIM_EXECUTABLE));
    const QCommandLineOption onlyOption(
        QStringLiteral("only"), QStringLiteral("Measure one path alone, for profiling: upload, qt or send."), "path");
    parser.addOptions({runsOption, sizeOption, reportOption, simOption, onlyOption});
    parser.process(app);

    bool runsOk = false;
    bool sizeOk = false;
    const int runs = parser.value(runsOption).toInt(&runsOk);
    const int size = parser.value(sizeOption).toInt(&sizeOk);
    if (!runsOk || runs < 1 || !sizeOk || size < 1) {
        std::fprintf(stderr, "tovra-bench-upload: --runs and --size take positive numbers\n");
        return 2;
    }

    QTemporaryDir fonts;
    Simulator sim;
    if (!fonts.isValid() || !sim.start(parser.value(simOption), fonts.path())) {
        std::fprintf(stderr, "tovra-bench-upload: the printer simulator did not start\n");
        return 1;
    }

    Bench bench(sim.port(), fonts.path(), randomData(size));
    Series series[3] = {{QStringLiteral("FileUpload"), {}, {}}, {QStringLiteral("floor (a) QTcpSocket"), {}, {}},
        {QStringLiteral("floor (b) send()"), {}, {}}};
    const std::function<Run(int)> methods[3] = {[&bench](int i) { return bench.fileUpload(i); },
        [&bench](int i) { return bench.qtSocketFloor(i); }, [&bench](int i) { return bench.sendFloor(i); }};
    const QString only = parser.value(onlyOption);
    const QStringList keys = {QStringLiteral("upload"), QStringLiteral("qt"), QStringLiteral("send")};
    if (!only.isEmpty() && !keys.contains(only)) {
        std::fprintf(stderr, "tovra-bench-upload: --only takes upload, qt or send\n");
        return 2;
    }
    const double megabytes = size / 1e6;
    // Interleaved, so a drift of the machine touches all three alike. The
    // first round is not counted: it pays for the simulator's first large
    // buffers and the page cache of the font folder.
    for (int i = -1; i < runs; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (!only.isEmpty() && keys[k] != only)
                continue;
            const Run r = methods[k](i);
            if (!r.ok) {
                std::fprintf(stderr, "tovra-bench-upload: %s failed in run %d\n", qPrintable(series[k].name), i + 1);
                return 1;
            }
            std::fprintf(stderr,
                "%s %2d %-22s %7.1f MB/s; ms: accept %6.2f, blocks %7.2f, complete %6.2f, store %7.2f\n",
                i < 0 ? "warm-up" : "run    ", i + 1, qPrintable(series[k].name), megabytes / r.total(), r.accept * 1e3,
                r.blocks * 1e3, r.complete * 1e3, r.store * 1e3);
            if (i >= 0) {
                series[k].rates.push_back(megabytes / r.total());
                series[k].blockRates.push_back(megabytes / r.blocks);
            }
        }
    }
    sim.stop();

    const double upload = series[0].rates.empty() ? 0 : median(series[0].rates);
    QString table;
    table += QStringLiteral("### Font upload over loopback TCP: %1 bytes in %2-byte blocks, median of %3, CPUs %4\n\n")
                 .arg(size)
                 .arg(kBlock)
                 .arg(runs)
                 .arg(cpuList());
    table
        += QStringLiteral("| path | MB/s, request to stored | MB/s, blocks only | runs, MB/s | FileUpload / this |\n");
    table += QStringLiteral("| --- | ---: | ---: | --- | ---: |\n");
    for (const Series& s : series) {
        if (s.rates.empty())
            continue;
        QStringList each;
        for (double rate : s.rates)
            each.append(QString::number(rate, 'f', 1));
        const double rate = median(s.rates);
        table += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                     .arg(s.name, QString::number(rate, 'f', 1), QString::number(median(s.blockRates), 'f', 1),
                         each.join(QStringLiteral(", ")),
                         upload > 0 ? QString::number(upload / rate, 'f', 2) : QStringLiteral("-"));
    }
    table += QStringLiteral("\nMB/s are 10^6 bytes per second. All three go to the same printer simulator after an "
                            "accepted upload request; all three hash the file block by block as they send it.\n");
    std::fputs(table.toUtf8().constData(), stdout);

    if (parser.isSet(reportOption)) {
        QFile report(parser.value(reportOption));
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate) || report.write(table.toUtf8()) < 0) {
            std::fprintf(stderr, "tovra-bench-upload: cannot write %s\n", qPrintable(parser.value(reportOption)));
            return 1;
        }
    }
    return 0;
}
