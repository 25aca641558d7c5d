#pragma once

// Private networks for tests whose code multicasts on every interface and so
// must never run on the real network. The test process runs in an "app"
// network namespace joined by one veth pair to each "printer" namespace
// (10.213.N.1 on the app side, 10.213.N.2 on the printer side), where the
// printer simulators run. The names carry the process id. A supervising
// parent process stays outside, waits for the tests and then removes the
// namespaces and any process left in them, also after a crash.

#include "simprocess.h"

#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace netns {

inline const char* ipProgram()
{
    return access("/usr/sbin/ip", X_OK) == 0 ? "/usr/sbin/ip" : "/sbin/ip";
}

// Runs `ip` with the arguments, which hold no quotes, and waits for it;
// `output` gets its standard output and error. True when it exited with 0.
inline bool ip(const std::vector<std::string>& arguments, std::string* output = nullptr)
{
    std::string command = ipProgram();
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
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

class Lab final
{
public:
    explicit Lab(int printers)
        : id_(std::to_string(getpid()))
        , printers_(printers)
    {
    }
    ~Lab() { destroy(); }
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    std::string appNamespace() const { return "tovra-conn-" + id_ + "-app"; }
    // n = 1 .. printers
    std::string printerNamespace(int n) const { return "tovra-conn-" + id_ + "-p" + std::to_string(n); }
    QHostAddress printerAddress(int n) const { return QHostAddress(QStringLiteral("10.213.%1.2").arg(n)); }

    bool create(std::string& error)
    {
        const std::string app = appNamespace();
        if (!add(app, error) || !ip({"-n", app, "link", "set", "lo", "up"}, &error))
            return false;
        for (int n = 1; n <= printers_; ++n) {
            const std::string printer = printerNamespace(n);
            // At most 15 characters: "tvc" + pid + side + n.
            const std::string appSide = "tvc" + id_ + "a" + std::to_string(n);
            const std::string printerSide = "tvc" + id_ + "p" + std::to_string(n);
            const std::string prefix = "10.213." + std::to_string(n) + ".";
            if (!add(printer, error)
                || !ip({"link", "add", appSide, "netns", app, "type", "veth", "peer", "name", printerSide, "netns",
                           printer},
                    &error)
                || !ip({"-n", app, "addr", "add", prefix + "1/24", "dev", appSide}, &error)
                || !ip({"-n", printer, "addr", "add", prefix + "2/24", "dev", printerSide}, &error)
                || !ip({"-n", app, "link", "set", appSide, "up"}, &error)
                || !ip({"-n", printer, "link", "set", printerSide, "up"}, &error)
                || !ip({"-n", printer, "link", "set", "lo", "up"}, &error))
                return false;
        }
        return true;
    }

    // Moves the calling thread, and every thread it starts later, into the
    // app namespace: call it before anything starts a thread.
    bool enterApp(std::string& error) const
    {
        const std::string path = "/run/netns/" + appNamespace();
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
        if (!entered)
            error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return entered;
    }

    // Kills what is left in the namespaces, by process id, and deletes them;
    // the veth pairs go with them.
    void destroy()
    {
        for (auto name = created_.rbegin(); name != created_.rend(); ++name) {
            std::string pids;
            ip({"netns", "pids", *name}, &pids);
            for (size_t start = 0; start < pids.size();) {
                const size_t end = pids.find('\n', start);
                const pid_t pid = pid_t(std::atol(pids.substr(start, end - start).c_str()));
                if (pid > 1 && pid != getpid())
                    kill(pid, SIGKILL);
                start = end == std::string::npos ? pids.size() : end + 1;
            }
            std::string output;
            if (!ip({"netns", "del", *name}, &output))
                std::fprintf(stderr, "netns: %s\n", output.c_str());
        }
        created_.clear();
    }

    // In the test process, which must leave the clean-up to its parent.
    void disown() { created_.clear(); }

private:
    bool add(const std::string& name, std::string& error)
    {
        if (!ip({"netns", "add", name}, &error))
            return false;
        created_.push_back(name);
        return true;
    }

    std::string id_;
    int printers_;
    std::vector<std::string> created_;
};

namespace detail {
inline volatile sig_atomic_t testProcess = 0;
inline void forwardSignal(int signalNumber)
{
    if (testProcess > 0)
        kill(testProcess, signalNumber);
}
} // namespace detail

// Calls `tests` with the lab in a child process inside the app namespace and
// cleans up after it; returns the tests' exit status. Where namespaces cannot
// be made, calls `tests` here with no lab and the reason, so that the tests
// can skip. Call it first thing in main(), before any thread exists.
inline int runInLab(int printers, const std::function<int(const Lab* lab, const std::string& reason)>& tests)
{
    if (geteuid() != 0)
        return tests(nullptr, "network namespaces need root (CI runs the tests as root)");
    Lab lab(printers);
    std::string error;
    if (!lab.create(error)) {
        lab.destroy();
        return tests(nullptr, "cannot create network namespaces: " + error);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        lab.disown();
        // A supervisor that dies takes the tests with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (!lab.enterApp(error)) {
            std::fprintf(stderr, "netns: cannot enter the app namespace: %s\n", error.c_str());
            return 1;
        }
        return tests(&lab, std::string());
    }
    if (child < 0) {
        std::perror("netns: fork");
        return 1;
    }
    detail::testProcess = child;
    struct sigaction forward = {};
    forward.sa_handler = detail::forwardSignal;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &forward, nullptr);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    lab.destroy();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The printer simulator inside a printer namespace, listening on that
// namespace's address and answering discovery there.
class SimInNamespace final
{
public:
    SimInNamespace(const std::string& ns, const QHostAddress& address)
        : namespace_(QString::fromStdString(ns))
        , address_(address)
    {
    }
    SimInNamespace(const SimInNamespace&) = delete;
    SimInNamespace& operator=(const SimInNamespace&) = delete;
    ~SimInNamespace() { stopProcess(process_); }

    // Starts it and waits until it listens and answers discovery.
    bool start(const QStringList& extraArguments = {})
    {
        // `ip netns exec` execs the simulator itself: its process id is ours.
        process_.setArguments(QStringList {"netns", "exec", namespace_, QStringLiteral(TOVRA_SIM_EXECUTABLE),
                                  "--listen", address_.toString(), "--log", logPath()}
            + extraArguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromLatin1(ipProgram()), process_.arguments());
        QByteArray output;
        while (!output.contains("answering discovery") || !output.endsWith('\n')) {
            if (!process_.waitForReadyRead(15000))
                return false;
            output += process_.readAllStandardOutput();
        }
        return true;
    }

    QHostAddress address() const { return address_; }
    QString logPath() const { return dir_.filePath(QStringLiteral("sim.log")); }

private:
    QString namespace_;
    QHostAddress address_;
    QTemporaryDir dir_;
    QProcess process_;
};

} // namespace netns
