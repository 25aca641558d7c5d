// Start-up of whole processes: spawns each program in turn, RUNS times after
// one warm-up round, and times from just before fork() to the "painted" line
// on its standard output; the peak memory is the vmhwm_kb line that follows.
// Taking turns spreads a drift of a busy machine over all programs alike.
//
//   tovra-bench-spawn RUNS NAME PROGRAM [NAME PROGRAM ...]
//
// Prints NAME_ms (median), NAME_runs (each, ms) and NAME_vmhwm_kb (median).

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Program
{
    std::string name;
    std::string path;
    std::vector<double> ms;
    std::vector<double> kb;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One run: milliseconds to "painted" and the reported peak; false on failure.
bool spawn(const std::string& path, double& ms, double& kb)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    const Clock::time_point started = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    bool painted = false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
        if (!painted && text.find("painted\n") != std::string::npos) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
            painted = true;
        }
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    const size_t at = text.find("vmhwm_kb=");
    kb = at == std::string::npos ? -1 : std::atof(text.c_str() + at + 9);
    return painted && kb > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4 || argc % 2 != 0 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: tovra-bench-spawn RUNS NAME PROGRAM [NAME PROGRAM ...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<Program> programs;
    for (int i = 2; i + 1 < argc; i += 2)
        programs.push_back({argv[i], argv[i + 1], {}, {}});

    // Round 0 fills the page cache and is not counted.
    for (int run = 0; run <= runs; ++run) {
        for (Program& program : programs) {
            double ms = 0;
            double kb = 0;
            if (!spawn(program.path, ms, kb)) {
                std::fprintf(stderr, "tovra-bench-spawn: %s did not paint and exit cleanly\n", program.path.c_str());
                return 1;
            }
            if (run > 0) {
                program.ms.push_back(ms);
                program.kb.push_back(kb);
            }
        }
    }
    for (const Program& program : programs) {
        std::printf("%s_ms=%.2f\n%s_runs=", program.name.c_str(), median(program.ms), program.name.c_str());
        for (size_t i = 0; i < program.ms.size(); ++i)
            std::printf("%s%.1f", i ? "," : "", program.ms[i]);
        std::printf("\n%s_vmhwm_kb=%.0f\n", program.name.c_str(), median(program.kb));
    }
    return 0;
}
