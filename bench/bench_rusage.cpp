// One whole process measured: the time from just before fork() to its exit
// and its peak resident memory (the child's ru_maxrss), for the command line
// figures. No Qt, so that nothing of its own is counted.
//
//   tovra-bench-rusage LOG SECONDS PROGRAM [ARGS...]
//
// The program's output is appended to LOG; it is killed after SECONDS.
// Prints wall_ms, maxrss_kb and exit (128 + signal when killed).

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile pid_t child = 0;

void killChild(int)
{
    if (child > 0)
        kill(child, SIGKILL);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: tovra-bench-rusage LOG SECONDS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int log = open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || nothing < 0) {
        std::perror("tovra-bench-rusage");
        return 2;
    }
    std::signal(SIGALRM, killChild);
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("tovra-bench-rusage: fork");
        return 2;
    }
    if (pid == 0) {
        dup2(nothing, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    child = pid;
    alarm(unsigned(std::atoi(argv[2])));
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::printf("wall_ms=%.3f\nmaxrss_kb=%ld\nexit=%d\n", ms, usage.ru_maxrss,
        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
