#pragma once

// Private networks for tests whose code multicasts on every interface and so
// must never run on the real network. The test process runs in an "app"
// network namespace joined by one veth pair to each "printer" namespace
// (10.213.N.1 on the app side, 10.213.N.2 on the printer side), where the
// printer simulators run. The names carry the process id. A supervising
// parent process stays outside, waits for the tests and then removes the
// namespaces and any process left in them, also after a crash.

#include "simprocess.h"

#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace netns {

inline const char* ipProgram()
{
    static const char* const program = access("/usr/sbin/ip", X_OK) == 0 ? "/usr/sbin/ip"
        : access("/sbin/ip", X_OK) == 0                                  ? "/sbin/ip"
                                                                         : "ip";
    return program;
}

// Runs a program without a shell and waits for it; `output` gets its standard
// output and error. True when it exited with 0.
inline bool run(const std::vector<std::string>& arguments, std::string* output = nullptr)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const bool spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text.append(buffer, size_t(n));
        else if (errno != EINTR)
            break;
    }
    close(pipeFds[0]);
    int status = 0;
    while (spawned && waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (output)
        *output = text;
    return spawned && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class Lab final
{
public:
    explicit Lab(int printers)
        : id_(std::to_string(getpid()))
        , printers_(printers)
    {
    }
    ~Lab()
    {
        if (owner_)
            destroy();
    }
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    std::string appNamespace() const { return "tovra-conn-" + id_ + "-app"; }
    // n = 1 .. printers()
    std::string printerNamespace(int n) const { return "tovra-conn-" + id_ + "-p" + std::to_string(n); }
    QHostAddress appAddress(int n) const { return QHostAddress(QStringLiteral("10.213.%1.1").arg(n)); }
    QHostAddress printerAddress(int n) const { return QHostAddress(QStringLiteral("10.213.%1.2").arg(n)); }
    int printers() const { return printers_; }

    bool create(std::string& error)
    {
        const std::string app = appNamespace();
        if (!ip({"netns", "add", app}, error))
            return false;
        created_.push_back(app);
        for (int n = 1; n <= printers_; ++n) {
            const std::string printer = printerNamespace(n);
            if (!ip({"netns", "add", printer}, error))
                return false;
            created_.push_back(printer);
            // At most 15 characters: "tvc" + pid + side + n.
            const std::string appSide = "tvc" + id_ + "a" + std::to_string(n);
            const std::string printerSide = "tvc" + id_ + "p" + std::to_string(n);
            const std::string prefix = "10.213." + std::to_string(n) + ".";
            if (!ip({"link", "add", appSide, "netns", app, "type", "veth", "peer", "name", printerSide, "netns",
                        printer},
                    error)
                || !ip({"-n", app, "addr", "add", prefix + "1/24", "dev", appSide}, error)
                || !ip({"-n", printer, "addr", "add", prefix + "2/24", "dev", printerSide}, error)
                || !ip({"-n", app, "link", "set", appSide, "up"}, error)
                || !ip({"-n", printer, "link", "set", printerSide, "up"}, error)
                || !ip({"-n", printer, "link", "set", "lo", "up"}, error))
                return false;
        }
        return ip({"-n", app, "link", "set", "lo", "up"}, error);
    }

    // Moves the calling thread, and every thread it starts later, into the
    // app namespace: call it before anything starts a thread.
    bool enterApp(std::string& error) const
    {
        const std::string path = "/run/netns/" + appNamespace();
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            error = path + ": " + std::strerror(errno);
            if (fd >= 0)
                close(fd);
            return false;
        }
        close(fd);
        return true;
    }

    // Kills what is left in the namespaces, by process id, and deletes them;
    // the veth pairs go with them.
    void destroy()
    {
        for (auto name = created_.rbegin(); name != created_.rend(); ++name) {
            std::string pids;
            run({ipProgram(), "netns", "pids", *name}, &pids);
            size_t start = 0;
            while (start < pids.size()) {
                const size_t end = pids.find('\n', start);
                const pid_t pid = pid_t(std::atol(pids.substr(start, end - start).c_str()));
                if (pid > 1 && pid != getpid())
                    kill(pid, SIGKILL);
                start = end == std::string::npos ? pids.size() : end + 1;
            }
            std::string ignored;
            if (!run({ipProgram(), "netns", "del", *name}, &ignored))
                std::fprintf(stderr, "netns: cannot delete %s: %s", name->c_str(), ignored.c_str());
        }
        created_.clear();
    }

    // In the test process, which must leave the clean-up to its parent.
    void disown() { owner_ = false; }

private:
    static bool ip(std::vector<std::string> arguments, std::string& error)
    {
        arguments.insert(arguments.begin(), ipProgram());
        std::string output;
        if (run(arguments, &output))
            return true;
        error.clear();
        for (const std::string& argument : arguments)
            error += argument + " ";
        error += "failed: " + output;
        return false;
    }

    std::string id_;
    int printers_;
    std::vector<std::string> created_;
    bool owner_ = true;
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
    if (child < 0) {
        std::perror("netns: fork");
        return 1;
    }
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
    detail::testProcess = child;
    struct sigaction forward = {};
    forward.sa_handler = detail::forwardSignal;
    sigemptyset(&forward.sa_mask);
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
    ~SimInNamespace() { stop(); }

    // Starts it and waits until it listens and answers discovery.
    bool start(const QStringList& extraArguments = {})
    {
        stop();
        process_.setProgram(QString::fromLatin1(ipProgram()));
        // `ip netns exec` execs the simulator itself: its process id is ours.
        process_.setArguments(QStringList {"netns", "exec", namespace_, QStringLiteral(TOVRA_SIM_EXECUTABLE),
                                  "--listen", address_.toString(), "--log", logPath()}
            + extraArguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        const bool discovery = !extraArguments.contains(QStringLiteral("--no-discovery"));
        QByteArray output;
        while (!output.contains("listening on") || (discovery && !output.contains("answering discovery"))
            || !output.endsWith('\n')) {
            if (!process_.waitForReadyRead(15000))
                return false;
            output += process_.readAllStandardOutput();
        }
        return true;
    }

    int stop() { return stopProcess(process_); }

    QHostAddress address() const { return address_; }
    QString logPath() const { return dir_.filePath(QStringLiteral("sim.log")); }

private:
    QString namespace_;
    QHostAddress address_;
    QTemporaryDir dir_;
    QProcess process_;
};

} // namespace netns
