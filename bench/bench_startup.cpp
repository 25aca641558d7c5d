// The application itself, measured from the inside: app/main.cpp is compiled
// into this program unchanged (its main() renamed), and a start-up function
// that Qt calls from the QApplication constructor watches for the main
// window's first frame. Without options it prints "painted" and the peak
// memory then, and exits: the start-up runner times the whole process.
//
//   --bench-connect          after the first frame: start the printer
//                            simulator, then time Transceiver::openTcp until
//                            the six records are loaded into their pages and
//                            painted, beside the floor under it (the reload's
//                            pauses plus six request/reply round trips over a
//                            plain socket to the same simulator)
//   --bench-soak             after the first frame: connect once, then
//                            reloads and uploads on that one link, with the
//                            resident memory at the start and at the end
//   --bench-shape            print how many labels and fields each page has
//   --bench-address A        the simulator's loopback address (127.88.0.1)
//   --bench-runs N           connect runs after a warm-up one (9)
//   --bench-reloads N, --bench-uploads N   the soak (1000, 100)
//
// Results are key=value lines on standard output.

#include "app/conf.h"
#include "benchsupport.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

int tovraAppMain(int argc, char* argv[]);

namespace {

using bench::Clock;
using bench::sendAll;
using bench::waitFor;

constexpr quint16 kAllSix = 0x7e; // bits 1..6, one per read type
constexpr int kReplyTimeoutMs = 10000;
// What MainWindow::doReload sleeps between its six requests.
constexpr double kReloadPausesMs = 25;

struct Options
{
    bool connect = false;
    bool soak = false;
    bool shape = false;
    QHostAddress address {QStringLiteral("127.88.0.1")};
    int runs = 9;
    int reloads = 1000;
    int uploads = 100;
};

Options options;

void fail(const char* what)
{
    std::fprintf(stderr, "tovra-bench-startup: %s\n", what);
    std::fflush(stderr);
    QCoreApplication::exit(1);
}

// The simulator must not outlive a benchmark that crashed.
class SimChild final : public QProcess
{
protected:
    void setupChildProcess() override { prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

// Feeds `cmd` from the socket until `done`; false on error or 5 s of silence.
bool pump(int fd, HostCmd& cmd, const std::function<bool()>& done)
{
    quint8 buffer[8192];
    while (!done()) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        cmd.receiveAll(buffer, quint32(n));
    }
    return true;
}

// The floor's network part: after a handshake, the six read requests one
// after another over a plain blocking socket, each waiting for its reply.
// Its own HostCmd, so the window sees none of it. Milliseconds, < 0 on failure.
double sixRoundTripsMs(const QHostAddress& address)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(TcpPrinter::kPort);
    peer.sin_addr.s_addr = htonl(address.toIPv4Address());
    double total = -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        HostCmd cmd;
        cmd.setKeys(conf.defaultKey, conf.iv);
        cmd.setWriter([fd](const quint8* data, quint32 length, int) { return sendAll(fd, data, length); });
        bool keyed = false;
        quint16 got = 0;
        QObject::connect(&cmd, &HostCmd::deviceFound, [&keyed] { keyed = true; });
        QObject::connect(&cmd, &HostCmd::responseReceived,
            [&got](const QByteArray& response) { got = RecordReader(response).u16(layout::kIdOffset); });
        if (cmd.sendHandshake(false) && pump(fd, cmd, [&keyed] { return keyed; })) {
            total = 0;
            for (quint16 type = 1; type <= 6 && total >= 0; ++type) {
                got = 0;
                const Clock::time_point sent = Clock::now();
                if (cmd.requestRecord(type) && pump(fd, cmd, [&got, type] { return got == type; }))
                    total += bench::ms(Clock::now() - sent);
                else
                    total = -1;
            }
        }
    }
    ::close(fd);
    return total;
}

class Driver final : public QObject
{
public:
    void start()
    {
        if (!startSimulator()) {
            fail("the printer simulator did not start (is 17900 on that address taken?)");
            return;
        }
        // Queued after the window's own connection, so each call comes after
        // MainWindow::handleResponse has loaded that record into its page.
        QObject::connect(&hostCmd, &HostCmd::responseReceived, mainWindow, [this](const QByteArray& response) {
            const quint16 type = RecordReader(response).u16(layout::kIdOffset);
            if (type >= 1 && type <= 6)
                seen_ |= quint16(1u << type);
        }, Qt::QueuedConnection);
        // What the connect dialog sets for the printer picked: every tab on.
        hostCmd.project = QStringLiteral("LQ520");
        hostCmd.model = QStringLiteral("LQ560");
        transceiver->setModifierSource([] { return Qt::KeyboardModifiers(); });

        const bool ok = options.soak ? soak() : connectRuns();
        sim_.terminate();
        sim_.waitForFinished(5000);
        QCoreApplication::exit(ok ? 0 : 1);
    }

private:
    bool startSimulator()
    {
        if (!fonts_.isValid())
            return false;
        sim_.setProgram(QStringLiteral(TOVRA_SIM_EXECUTABLE));
        // No keep-alives: nothing but the benchmark's own traffic.
        sim_.setArguments({"--listen", options.address.toString(), "--no-discovery", "--keepalive-ms", "0",
            "--project", "LQ520", "--model", "LQ560", "--font-dir", fonts_.path()});
        sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim_.start();
        if (!sim_.waitForStarted(10000))
            return false;
        QByteArray output;
        while (!output.contains('\n')) {
            if (!sim_.waitForReadyRead(15000))
                return false;
            output += sim_.readAllStandardOutput();
        }
        return output.contains("listening on");
    }

    // openTcp until the six records are in their pages and on screen; ms, < 0 on failure.
    double connectOnce()
    {
        seen_ = 0;
        const Clock::time_point started = Clock::now();
        if (!transceiver->openTcp(options.address)
            || !waitFor([this] { return seen_ == kAllSix; }, kReplyTimeoutMs))
            return -1;
        // The frame that shows them.
        QCoreApplication::processEvents();
        return bench::ms(Clock::now() - started);
    }

    bool disconnect()
    {
        transceiver->close();
        return waitFor([] { return mainWindow->connectAction()->isEnabled(); }, kReplyTimeoutMs);
    }

    bool connectRuns()
    {
        std::vector<double> figures;
        std::vector<double> floors;
        // Run 0 warms up; the peak memory is taken after it, the pages loaded.
        for (int run = 0; run <= options.runs; ++run) {
            // The floor first, on its own connection, closed before the link opens.
            const double trips = sixRoundTripsMs(options.address);
            const double figure = trips < 0 ? -1 : connectOnce();
            if (trips < 0 || figure < 0) {
                fail(trips < 0 ? "the plain-socket round trips failed" : "the six records did not arrive");
                return false;
            }
            std::printf("connect_run=%d figure_ms=%.3f trips_ms=%.3f\n", run, figure, trips);
            if (run == 0) {
                std::printf("peak_after_connect_kb=%ld\n", bench::statusKb("VmHWM"));
                if (options.shape)
                    printShape();
            } else {
                figures.push_back(figure);
                floors.push_back(kReloadPausesMs + trips);
            }
            if (!disconnect()) {
                fail("the window did not follow the closed link");
                return false;
            }
        }
        std::printf("connect_ms=%.3f\nconnect_floor_ms=%.3f\ntrips_ms=%.3f\n", bench::median(figures),
            bench::median(floors), bench::median(floors) - kReloadPausesMs);
        std::printf("peak_end_kb=%ld\n", bench::statusKb("VmHWM"));
        std::fflush(stdout);
        return true;
    }

    bool reload()
    {
        seen_ = 0;
        mainWindow->doReload();
        return waitFor([this] { return seen_ == kAllSix; }, kReplyTimeoutMs);
    }

    bool upload(FileUpload& upload, int index, const QByteArray& data)
    {
        bool over = false;
        bool ok = false;
        QObject context;
        QObject::connect(&upload, &FileUpload::finished, &context, [&] { over = ok = true; });
        QObject::connect(&upload, &FileUpload::refused, &context, [&] { over = true; });
        QObject::connect(&upload, &FileUpload::failed, &context, [&] { over = true; });
        // A few names in turn: the font folder stays small.
        return upload.start(QStringLiteral("soak-%1.ttf").arg(index % 8), data)
            && waitFor([&over] { return over; }, 30000) && ok;
    }

    bool soak()
    {
        if (connectOnce() < 0) {
            fail("the six records did not arrive");
            return false;
        }
        QByteArray data(64 * 1024, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        FileUpload fileUpload;
        // What the font dialog does for its upload: replies queued from hostCmd.
        QObject::connect(&hostCmd, &HostCmd::responseReceived, &fileUpload, &FileUpload::handleResponse,
            Qt::QueuedConnection);

        const long startKb = bench::statusKb("VmRSS");
        std::printf("soak_start_rss_kb=%ld\n", startKb);
        const int every = options.uploads > 0 ? qMax(1, options.reloads / options.uploads) : 0;
        int uploads = 0;
        std::vector<double> reloadMs;
        const Clock::time_point started = Clock::now();
        for (int i = 0; i < options.reloads || uploads < options.uploads; ++i) {
            if (i < options.reloads) {
                const Clock::time_point t = Clock::now();
                if (!reload()) {
                    fail("a reload did not bring the six records");
                    return false;
                }
                reloadMs.push_back(bench::ms(Clock::now() - t));
            }
            if (uploads < options.uploads && (every == 0 || i % every == every - 1 || i >= options.reloads)) {
                if (!upload(fileUpload, uploads, data)) {
                    fail("an upload did not finish");
                    return false;
                }
                ++uploads;
            }
            if (i + 1 == options.reloads / 10)
                std::printf("soak_tenth_rss_kb=%ld\n", bench::statusKb("VmRSS"));
        }
        QCoreApplication::processEvents();
        const long endKb = bench::statusKb("VmRSS");
        std::printf("soak_reloads=%d\nsoak_uploads=%d\nsoak_seconds=%.1f\nsoak_reload_median_ms=%.3f\n",
            int(reloadMs.size()), uploads, bench::ms(Clock::now() - started) / 1e3, bench::median(reloadMs));
        std::printf("soak_end_rss_kb=%ld\nsoak_peak_kb=%ld\n", endKb, bench::statusKb("VmHWM"));
        std::fflush(stdout);
        return true;
    }

    // Labels and fields per tab, for building the floor's window alike.
    static void printShape()
    {
        QTabWidget* tabs = mainWindow->tabWidget();
        for (int i = 0; i < tabs->count(); ++i) {
            QWidget* page = tabs->widget(i);
            const int fields = page->findChildren<QLineEdit*>().size() + page->findChildren<QComboBox*>().size()
                + page->findChildren<QAbstractSpinBox*>().size();
            std::printf("shape_tab=%d labels=%d fields=%d buttons=%d\n", i, int(page->findChildren<QLabel*>().size()),
                fields, int(page->findChildren<QAbstractButton*>().size()));
        }
    }

    SimChild sim_;
    QTemporaryDir fonts_;
    quint16 seen_ = 0;
};

void probe()
{
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const QString next = arguments.value(i + 1);
        if (a == QLatin1String("--bench-connect")) {
            options.connect = true;
        } else if (a == QLatin1String("--bench-soak")) {
            options.soak = true;
        } else if (a == QLatin1String("--bench-shape")) {
            options.shape = true;
        } else if (a == QLatin1String("--bench-address")) {
            options.address = QHostAddress(next);
            ++i;
        } else if (a == QLatin1String("--bench-runs")) {
            options.runs = qMax(1, next.toInt());
            ++i;
        } else if (a == QLatin1String("--bench-reloads")) {
            options.reloads = qMax(1, next.toInt());
            ++i;
        } else if (a == QLatin1String("--bench-uploads")) {
            options.uploads = qMax(0, next.toInt());
            ++i;
        }
    }
    new bench::FirstFrame([](const QWidget* window) { return qobject_cast<const QMainWindow*>(window) != nullptr; },
        [] {
            bench::reportPainted();
            if (!options.connect && !options.soak) {
                bench::reportPeak();
                QCoreApplication::exit(0);
                return;
            }
            // Torn down with the application, after the window.
            auto* driver = new Driver;
            driver->setParent(QCoreApplication::instance());
            driver->start();
        },
        QCoreApplication::instance());
}

} // namespace

// Called from the QApplication constructor inside the application's main().
Q_COREAPP_STARTUP_FUNCTION(probe)

int main(int argc, char* argv[])
{
    return tovraAppMain(argc, argv);
}
