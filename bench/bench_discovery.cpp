// Network discovery as the user sees it: from the printer's reply coming in
// on the dialog's discovery socket to its row painted (--expect-row), held
// against one frame. Beside it, the connect dialog opened until that row is
// painted, or, where there is no network, until its first frame, and the
// quantities that make up the wait: one event-loop pass (a zero timer's round
// trip) and one UDP round trip to a plain echo on the printer's side.
//
// The dialog multicasts on every interface it finds, so this program only
// runs inside network namespaces made for it (scripts/bench.sh); the echo
// runs in the printer's namespace with --echo.
//
//   tovra-bench-discovery --echo PORT
//   tovra-bench-discovery [--runs N] [--expect-row] [--echo-to A:PORT] [--sim A]
//
// Results are key=value lines on standard output.

#include "app/debuglog.h"
#include "benchsupport.h"
#include "link/transceiver.h"
#include "ui/dialogconnect.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTableWidget>
#include <QThread>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::waitFor;

constexpr int kShowTimeoutMs = 5000;

sockaddr_in socketAddress(const QHostAddress& address, quint16 port)
{
    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address.toIPv4Address());
    return peer;
}

int echo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in any = socketAddress(QHostAddress(QHostAddress::AnyIPv4), port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        std::perror("tovra-bench-discovery: echo");
        return 1;
    }
    std::printf("echoing on %u\n", unsigned(port));
    std::fflush(stdout);
    char buffer[2048];
    for (;;) {
        sockaddr_in from {};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n >= 0)
            ::sendto(fd, buffer, size_t(n), 0, reinterpret_cast<const sockaddr*>(&from), length);
        else if (errno != EINTR)
            return 1;
    }
}

// Median microseconds of a 4-byte datagram (a discovery request's size) out
// and any answer back; < 0 when answers stop coming.
double udpRoundTripUs(const QHostAddress& address, quint16 port, int count)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in peer = socketAddress(address, port);
    const timeval timeout {1, 0};
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0
        || ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    std::vector<double> us;
    char buffer[2048];
    // The first ten warm up ARP, caches and the peer.
    for (int i = -10; i < count; ++i) {
        const quint32 nonce = quint32(i + 0x1000);
        const Clock::time_point sent = Clock::now();
        if (::send(fd, &nonce, sizeof nonce, 0) != ssize_t(sizeof nonce) || ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
            ::close(fd);
            return -1;
        }
        if (i >= 0)
            us.push_back(bench::ms(Clock::now() - sent) * 1e3);
    }
    ::close(fd);
    return bench::median(us);
}

// Median microseconds of one event-loop pass: chains of zero timers, each
// started from the previous one's call.
double eventLoopPassUs()
{
    constexpr int kHops = 200;
    std::vector<double> us;
    for (int round = 0; round < 7; ++round) {
        QEventLoop loop;
        int hops = 0;
        std::function<void()> hop = [&] {
            if (++hops == kHops)
                loop.quit();
            else
                QTimer::singleShot(0, &loop, hop);
        };
        const Clock::time_point started = Clock::now();
        QTimer::singleShot(0, &loop, hop);
        loop.exec();
        us.push_back(bench::ms(Clock::now() - started) * 1e3 / kHops);
    }
    return bench::median(us);
}

// The moment a datagram comes in on the dialog's discovery socket, as near as
// the program sees it: its read notifier's activation, before the socket
// reads the datagram and the dialog adds the row.
class DatagramArrival final : public QObject
{
public:
    explicit DatagramArrival(QObject* socket)
        : socket_(socket)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    Clock::time_point last() const { return last_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::SockAct) {
            for (QObject* object = watched; object; object = object->parent()) {
                if (object == socket_)
                    last_ = Clock::now();
            }
        }
        return false;
    }

private:
    QObject* socket_;
    Clock::time_point last_;
};

// Paint events on the table after a row came in: the first one, and the
// return to the event loop after it, when the frame is out.
class RowPainted final : public QObject
{
public:
    RowPainted(QTableWidget* table, const DatagramArrival* arrival)
        : table_(table)
    {
        table->viewport()->installEventFilter(this);
        QObject::connect(table->model(), &QAbstractItemModel::rowsInserted, this, [this, arrival] {
            if (!inserted_) {
                insertedAt_ = Clock::now();
                arrivedAt_ = arrival->last();
            }
            inserted_ = true;
        });
    }
    bool done() const { return done_; }
    Clock::time_point arrivedAt() const { return arrivedAt_; }
    Clock::time_point insertedAt() const { return insertedAt_; }
    Clock::time_point paintedAt() const { return paintedAt_; }
    Clock::time_point doneAt() const { return doneAt_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (inserted_ && !queued_ && watched == table_->viewport() && event->type() == QEvent::Paint) {
            queued_ = true;
            paintedAt_ = Clock::now();
            QTimer::singleShot(0, this, [this] {
                doneAt_ = Clock::now();
                done_ = true;
            });
        }
        return false;
    }

private:
    QTableWidget* table_;
    Clock::time_point arrivedAt_;
    Clock::time_point insertedAt_;
    Clock::time_point paintedAt_;
    Clock::time_point doneAt_;
    bool inserted_ = false;
    bool queued_ = false;
    bool done_ = false;
};

// Median microseconds of the interface list that each discovery pass reads.
double interfaceListUs()
{
    std::vector<double> us;
    for (int i = 0; i < 21; ++i) {
        const Clock::time_point started = Clock::now();
        const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
        us.push_back(bench::ms(Clock::now() - started) * 1e3);
    }
    return bench::median(us);
}

struct DialogRun
{
    double firstFrameMs = -1;
    double firstPaintEventMs = -1;
    double rowShownMs = -1;
    double rowInsertedMs = -1;
    double rowPaintMs = -1;
    // From the reply's arrival.
    double replyToRowMs = -1;
    double replyToPaintMs = -1;
};

DialogRun openDialog(bool expectRow)
{
    DialogRun run;
    bool framed = false;
    Clock::time_point framedAt;
    const Clock::time_point started = Clock::now();
    DialogConnect dialog;
    bench::FirstFrame frame([&dialog](const QWidget* window) { return window == &dialog; },
        [&] {
            framedAt = Clock::now();
            framed = true;
        });
    const DatagramArrival arrival(dialog.findChild<QUdpSocket*>());
    RowPainted row(dialog.findChild<QTableWidget*>(), &arrival);
    dialog.show();
    if (!waitFor([&] { return framed && (!expectRow || row.done()); }, kShowTimeoutMs))
        return run;
    const Clock::time_point now = Clock::now();
    run.firstFrameMs = bench::ms(framedAt - started);
    run.firstPaintEventMs = bench::ms(frame.paintEventAt() - started);
    if (expectRow) {
        run.rowShownMs = bench::ms(now - started);
        run.rowInsertedMs = bench::ms(row.insertedAt() - started);
        run.rowPaintMs = bench::ms(row.paintedAt() - started);
        run.replyToRowMs = bench::ms(row.doneAt() - row.arrivedAt());
        run.replyToPaintMs = bench::ms(row.paintedAt() - row.arrivedAt());
    }
    dialog.hide();
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList raw = [argc, argv] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    if (raw.value(1) == QLatin1String("--echo"))
        return echo(quint16(raw.value(2).toUInt()));

    QApplication app(argc, argv);
    int runs = 15;
    bool expectRow = false;
    QString echoTo;
    QString sim;
    for (int i = 1; i < raw.size(); ++i) {
        if (raw.at(i) == QLatin1String("--runs"))
            runs = qMax(1, raw.value(++i).toInt());
        else if (raw.at(i) == QLatin1String("--expect-row"))
            expectRow = true;
        else if (raw.at(i) == QLatin1String("--echo-to"))
            echoTo = raw.value(++i);
        else if (raw.at(i) == QLatin1String("--sim"))
            sim = raw.value(++i);
    }

    // As the application has them when the dialog opens.
    logOpen();
    qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    Transceiver link;
    transceiver = &link;
    link.setModifierSource([] { return Qt::KeyboardModifiers(); });

    std::printf("pass_us=%.2f\ninterfaces_us=%.1f\n", eventLoopPassUs(), interfaceListUs());
    if (!echoTo.isEmpty()) {
        const int colon = echoTo.lastIndexOf(QLatin1Char(':'));
        std::printf("udp_rtt_us=%.1f\n",
            udpRoundTripUs(QHostAddress(echoTo.left(colon)), quint16(echoTo.mid(colon + 1).toUInt()), 200));
    }
    // The simulator's answer to a unicast discovery request, for comparison.
    if (!sim.isEmpty())
        std::printf("sim_udp_rtt_us=%.1f\n", udpRoundTripUs(QHostAddress(sim), DialogConnect::kDiscoveryPort, 50));
    std::fflush(stdout);

    std::vector<double> shown;
    std::vector<double> frames;
    std::vector<double> paintEvents;
    std::vector<double> inserted;
    std::vector<double> painting;
    std::vector<double> replyToRow;
    std::vector<double> replyToPaint;
    QString each;
    QString eachReply;
    // Run 0 warms up.
    for (int i = 0; i <= runs; ++i) {
        const DialogRun run = openDialog(expectRow);
        if (run.firstFrameMs < 0) {
            std::fprintf(stderr, "tovra-bench-discovery: %s\n",
                expectRow ? "the printer's row was not shown" : "the dialog was not painted");
            transceiver = nullptr;
            return 1;
        }
        if (i > 0) {
            frames.push_back(run.firstFrameMs);
            paintEvents.push_back(run.firstPaintEventMs);
            shown.push_back(expectRow ? run.rowShownMs : run.firstFrameMs);
            inserted.push_back(run.rowInsertedMs);
            painting.push_back(run.rowPaintMs);
            replyToRow.push_back(run.replyToRowMs);
            replyToPaint.push_back(run.replyToPaintMs);
            each += QStringLiteral("%1%2").arg(i > 1 ? "," : "").arg(shown.back(), 0, 'f', 2);
            eachReply += QStringLiteral("%1%2").arg(i > 1 ? "," : "").arg(replyToRow.back(), 0, 'f', 3);
        }
        // Lets a late answer of this dialog's scan go by before the next one binds.
        QThread::msleep(50);
        QCoreApplication::processEvents();
    }
    std::printf("dialog_ms=%.3f\ndialog_runs=%s\nfirst_frame_ms=%.3f\nfirst_paint_event_ms=%.3f\n",
        bench::median(shown), qPrintable(each), bench::median(frames), bench::median(paintEvents));
    if (expectRow) {
        std::printf("row_inserted_ms=%.3f\nrow_paint_ms=%.3f\n", bench::median(inserted), bench::median(painting));
        std::printf("reply_to_row_ms=%.3f\nreply_to_row_max_ms=%.3f\nreply_to_row_runs=%s\nreply_to_paint_ms=%.3f\n",
            bench::median(replyToRow), *std::max_element(replyToRow.begin(), replyToRow.end()), qPrintable(eachReply),
            bench::median(replyToPaint));
    }
    transceiver = nullptr;
    logClose();
    return 0;
}
