// Starts a program many times and reports the median time from just before the process is
// created to the first paint it reports ("paint_ns T" on its output, T on the same monotonic
// clock). Programs are started in turn, so both share the machine's ups and downs.
//   bench_startup RUNS PROGRAM_A PROGRAM_B
// prints: startup_ms <program> <median> <min> <max>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

long long NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Milliseconds from spawn to first paint, or a negative value on failure.
double RunOnce(const char* program) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* args[] = {const_cast<char*>(program), const_cast<char*>("paint"), nullptr};
    pid_t pid = 0;
    long long start = NowNs();
    int e = posix_spawn(&pid, program, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (e != 0) {
        close(out[0]);
        return -1;
    }
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long painted = 0;
    if (std::sscanf(text.c_str(), "paint_ns %lld", &painted) != 1 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(painted - start) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_startup RUNS PROGRAM...\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    std::vector<std::vector<double>> times(static_cast<size_t>(argc - 2));
    // One warm-up start each: the first start of a program reads its libraries from disk.
    for (int p = 2; p < argc; ++p)
        RunOnce(argv[p]);
    for (int r = 0; r < runs; ++r) {
        for (int p = 2; p < argc; ++p) {
            double ms = RunOnce(argv[p]);
            if (ms < 0) {
                std::fprintf(stderr, "%s did not report its first paint\n", argv[p]);
                return 1;
            }
            times[static_cast<size_t>(p - 2)].push_back(ms);
        }
    }
    for (int p = 2; p < argc; ++p) {
        auto& t = times[static_cast<size_t>(p - 2)];
        const char* name = std::strrchr(argv[p], '/');
        std::printf("startup_ms %s %.1f %.1f %.1f\n", name ? name + 1 : argv[p], Median(t),
                    *std::min_element(t.begin(), t.end()), *std::max_element(t.begin(), t.end()));
    }
    return 0;
}
