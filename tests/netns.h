#pragma once

// Private networks for tests whose code multicasts on every interface and so
// must never run on the real network. The test process runs in an "app"
// network namespace joined by one veth pair to each "printer" namespace
// (10.213.N.1 on the app side, 10.213.N.2 on the printer side), where the
// printer simulators run. The names carry the process id. A supervising
// parent process stays outside, waits for the tests and then removes the
// namespaces and any process left in them, also after a crash.

#include "simprocess.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace netns {

// Debian ships it there on merged and split /usr alike.
inline const char kIp[] = "/sbin/ip";

// Runs a shell command line whose words hold no quotes; `output` gets its
// standard output and error. True when it exited with 0.
inline bool run(const std::string& command, std::string* output = nullptr)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = pclose(pipe);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (output)
        *output = ok ? text : command + ": " + text;
    return ok;
}

struct Lab final
{
    int printers;
    std::string id = std::to_string(getpid());

    // n = 0 for the app namespace, 1 .. printers for the printers'.
    std::string name(int n) const { return "tovra-conn-" + id + (n ? "-p" + std::to_string(n) : "-app"); }
    QHostAddress printerAddress(int n) const { return QHostAddress(QStringLiteral("10.213.%1.2").arg(n)); }

    // One command line that stops at the first step that fails.
    bool create(std::string& error) const
    {
        const std::string ip = std::string(" && ") + kIp + " ";
        std::string command = std::string(kIp) + " netns add " + name(0);
        for (int n = 1; n <= printers; ++n) {
            const std::string s = std::to_string(n);
            // At most 15 characters: "tvc" + pid + side + n.
            const std::string appSide = "tvc" + id + "a" + s, printerSide = "tvc" + id + "p" + s;
            command += ip + "netns add " + name(n) + ip + "link add " + appSide + " netns " + name(0)
                + " type veth peer name " + printerSide + " netns " + name(n);
            for (const auto& [ns, device, host] :
                {std::tuple(name(0), appSide, ".1"), std::tuple(name(n), printerSide, ".2")})
                command += ip + "-n " + ns + " addr add 10.213." + s + host + "/24 dev " + device + ip + "-n " + ns
                    + " link set " + device + " up" + ip + "-n " + ns + " link set lo up";
        }
        return run(command, &error);
    }

    // Kills what is left in the namespaces, by process id, and deletes them;
    // the veth pairs go with them. One never made has no process list.
    void destroy() const
    {
        for (int n = printers; n >= 0; --n) {
            std::string pids;
            if (!run(std::string(kIp) + " netns pids " + name(n), &pids))
                continue;
            std::istringstream lines(pids);
            for (long pid; lines >> pid;)
                if (pid > 1)
                    kill(pid_t(pid), SIGKILL);
            std::string output;
            if (!run(std::string(kIp) + " netns del " + name(n), &output))
                std::fprintf(stderr, "netns: %s\n", output.c_str());
        }
    }
};

// Where no lab could be made, `lab` is null and `missing` says why.
inline const Lab* lab = nullptr;
inline QString missing;

// main() of a suite run in the lab: the suite in a child process inside the
// app namespace, cleaned up after; or here without a lab where namespaces
// cannot be made, so that the suite can skip. Runs before any thread exists.
template <typename Suite> int exec(int printers, int argc, char* argv[])
{
    const auto runSuite = [&](const std::string& reason) {
        missing = QString::fromStdString(reason);
        QApplication app(argc, argv);
        app.setAttribute(Qt::AA_Use96Dpi, true);
        Suite suite;
        return QTest::qExec(&suite, argc, argv);
    };
    if (geteuid() != 0)
        return runSuite("network namespaces need root (CI runs the tests as root)");
    Lab theLab {printers};
    std::string error;
    if (!theLab.create(error)) {
        theLab.destroy();
        return runSuite("cannot create network namespaces: " + error);
    }
    std::fflush(nullptr);
    static volatile sig_atomic_t child = 0;
    child = fork();
    if (child == 0) {
        // A supervisor that dies takes the tests with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // This thread, and every thread it starts later, into the app namespace.
        const int fd = open(("/run/netns/" + theLab.name(0)).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            std::perror("netns: cannot enter the app namespace");
            return 1;
        }
        lab = &theLab;
        return runSuite({});
    }
    if (child < 0) {
        std::perror("netns: fork");
        return 1;
    }
    struct sigaction forward = {};
    forward.sa_handler = [](int signalNumber) { kill(child, signalNumber); };
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &forward, nullptr);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    theLab.destroy();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The printer simulator in printer namespace n, listening on that
// namespace's address and answering discovery there, both from its listening
// line on. `ip netns exec` execs the simulator itself: its process id is ours.
class SimInNamespace final
{
public:
    SimInNamespace(const Lab& lab, int n)
    {
        sim_.setAddress(lab.printerAddress(n));
        sim_.setLauncher({kIp, "netns", "exec", QString::fromStdString(lab.name(n))});
    }

    bool start(const QStringList& extraArguments = {})
    {
        return sim_.start(QStringList {"--log", logPath()} + extraArguments);
    }
    QString logPath() const { return dir_.filePath(QStringLiteral("sim.log")); }

private:
    QTemporaryDir dir_;
    SimProcess sim_;
};

} // namespace netns
