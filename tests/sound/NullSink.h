#pragma once
// A private PulseAudio server with one null sink, started by the test in a folder of its own
// (nothing in the home folder) and stopped with it; the sink's monitor recorded with parec,
// each block stamped with the steady-clock time it arrived, so that what was heard at an
// instant can be found in the recording.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace nullsink {

using Clock = std::chrono::steady_clock;
constexpr int Rate = 44100;

inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   int out = -1) {
    std::vector<char*> argv, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> all = env;
    for (char** e = environ; *e; ++e)
        all.emplace_back(*e);
    for (const std::string& e : all)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    const int quiet = ::open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_adddup2(&actions, quiet, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(quiet);
    return pid;
}

inline void Stop(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// Where a recorded block ended, and when it arrived.
struct Arrival {
    Clock::time_point At;
    int64_t Frames; // recorded frames up to the end of that block
};

class Server {
public:
    // Starts the server; PULSE_SERVER and the client's paths in this process point to it.
    Server() {
        char pattern[] = "/tmp/salvodesk-pulse-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        Root = pattern;
        for (const char* d : {"/home", "/run", "/config", "/state"})
            std::filesystem::create_directories(Root + d);
        ::chmod((Root + "/run").c_str(), 0700);
        Socket = Root + "/run/native";
        std::ofstream(Root + "/default.pa")
            << "load-module module-native-protocol-unix socket=" << Socket << " auth-anonymous=1\n"
            << "load-module module-null-sink sink_name=salvo rate=" << Rate << " channels=2\n"
            << "set-default-sink salvo\n";
        Env = {"HOME=" + Root + "/home",
               "XDG_RUNTIME_DIR=" + Root + "/run",
               "XDG_CONFIG_HOME=" + Root + "/config",
               "PULSE_RUNTIME_PATH=" + Root + "/run",
               "PULSE_STATE_PATH=" + Root + "/state",
               "PULSE_COOKIE=" + Root + "/cookie",
               "PULSE_SERVER=unix:" + Socket};
        Daemon = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "-F",
                        Root + "/default.pa", "--use-pid-file=no", "--disallow-exit",
                        "--log-target=stderr"},
                       Env);
        for (int i = 0; i < 100 && Daemon > 0 && !std::filesystem::exists(Socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Daemon <= 0 || !std::filesystem::exists(Socket))
            return;
        for (const std::string& e : Env) {
            const size_t eq = e.find('=');
            ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        Ready = true;
    }
    ~Server() {
        StopRecording();
        Stop(Daemon);
        for (const char* v : {"PULSE_SERVER", "PULSE_COOKIE", "PULSE_RUNTIME_PATH"})
            ::unsetenv(v);
        if (!Root.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(Root, ignored);
        }
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Ok() const { return Ready; }

    // Records the sink's monitor, stereo 16 bits, in small blocks.
    void StartRecording() {
        StopRecording();
        Recorded.clear();
        Arrivals.clear();
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        Recorder = Spawn({"parec", "-d", "salvo.monitor", "--raw", "--format=s16le",
                          "--rate=" + std::to_string(Rate), "--channels=2", "--latency-msec=2"},
                         Env, fds[1]);
        ::close(fds[1]);
        Reader = std::thread([this, fd = fds[0]] {
            std::vector<char> block(4096);
            std::string carry;
            for (;;) {
                const ssize_t got = ::read(fd, block.data(), block.size());
                const Clock::time_point now = Clock::now();
                if (got <= 0)
                    break;
                std::lock_guard<std::mutex> lock(Mutex);
                carry.append(block.data(), static_cast<size_t>(got));
                const size_t frames = carry.size() / 4;
                for (size_t f = 0; f < frames; ++f) {
                    int16_t left;
                    std::memcpy(&left, carry.data() + 4 * f, 2);
                    Recorded.push_back(left);
                }
                carry.erase(0, frames * 4);
                Arrivals.push_back({now, static_cast<int64_t>(Recorded.size())});
            }
            ::close(fd);
        });
        // parec has the stream when the first silence comes in.
        for (int i = 0; i < 200 && Frames() < Rate / 20; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    void StopRecording() {
        Stop(Recorder);
        if (Reader.joinable())
            Reader.join();
    }

    int64_t Frames() {
        std::lock_guard<std::mutex> lock(Mutex);
        return static_cast<int64_t>(Recorded.size());
    }

    // The recorded frame played at an instant: a block arrives at the earliest as its last
    // frame is played, so the earliest arrival against its frame count fixes the schedule. Only
    // blocks that arrived within a second of the instant count: a playing null sink runs about
    // 400 ppm fast against the steady clock (10 ms in 25 s), so a schedule fixed from the
    // whole recording is off by the time in between. Nor before `since`: before a stream
    // plays, the idle sink renders far ahead of its clock, and that silence comes out early.
    double FrameAt(Clock::time_point when, Clock::time_point since) const {
        using namespace std::chrono_literals;
        double best = 1e300;
        for (const Arrival& a : Arrivals)
            if (a.At >= since && a.At > when - 1s && a.At < when + 1s)
                best =
                    std::min(best, std::chrono::duration<double>(a.At.time_since_epoch()).count() -
                                       double(a.Frames) / Rate);
        return (std::chrono::duration<double>(when.time_since_epoch()).count() - best) * Rate;
    }

    // The frames where a click begins: a sample above the threshold after 20 ms of quiet.
    std::vector<int64_t> Clicks() const;

    const std::vector<int16_t>& Left() const { return Recorded; }

private:
    std::string Root, Socket;
    std::vector<std::string> Env;
    pid_t Daemon = -1, Recorder = -1;
    bool Ready = false;
    std::thread Reader;
    std::mutex Mutex;
    std::vector<int16_t> Recorded; // the left channel
    std::vector<Arrival> Arrivals;
};

// The frames of one channel where a click begins: a sample above the threshold after 20 ms of
// quiet.
inline std::vector<int64_t> ClicksIn(const std::vector<int16_t>& channel, int threshold = 8000) {
    std::vector<int64_t> at;
    int64_t quiet = 0;
    for (size_t i = 0; i < channel.size(); ++i) {
        if (std::abs(int(channel[i])) > threshold) {
            if (quiet >= Rate / 50)
                at.push_back(static_cast<int64_t>(i));
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return at;
}

inline std::vector<int64_t> Server::Clicks() const {
    return ClicksIn(Recorded);
}

// Stereo clicks: 30 samples at full scale every `every` seconds from `first`, for `seconds`.
inline std::vector<int16_t> ClickTrack(double seconds, double first, double every) {
    std::vector<int16_t> s(static_cast<size_t>(seconds * Rate) * 2, 0);
    for (double t = first; t < seconds - 0.01; t += every)
        for (size_t i = 0; i < 30; ++i) {
            const size_t f = static_cast<size_t>(std::llround(t * Rate)) + i;
            s[2 * f] = s[2 * f + 1] = 30000;
        }
    return s;
}

// Where in the music each recorded frame lies, from the clicks heard around it: each click is
// matched to the click of the music it is nearest to (through the median offset of them all),
// and a frame is placed from the last click before it. A glitch in the sound or in the
// recording then moves only what follows it up to the next click. `spread` is how far apart
// (in seconds) the clicks' own offsets lie, which is 0 for sound played without a break.
class Alignment {
public:
    Alignment(const std::vector<int64_t>& clicks, double first, double every) {
        if (clicks.size() < 3)
            return;
        std::vector<double> zeros;
        for (int64_t c : clicks) {
            // Each click's music time up to a whole number of clicks.
            const double t = double(c) / Rate - first;
            zeros.push_back(std::fmod(t, every) < 0 ? std::fmod(t, every) + every
                                                    : std::fmod(t, every));
        }
        // Offsets near the wrap of the period are folded onto their neighbours.
        std::vector<double> sorted = zeros;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        for (size_t k = 0; k < clicks.size(); ++k) {
            double z = zeros[k];
            if (z - median > every / 2)
                z -= every;
            if (median - z > every / 2)
                z += every;
            Offsets.push_back(z);
        }
        Clicks = clicks;
        First = first;
        Every = every;
        sorted = Offsets;
        std::sort(sorted.begin(), sorted.end());
        Spread = sorted.back() - sorted.front();
    }
    bool Ok() const { return Clicks.size() >= 3; }
    double Spread = 0;

    // The music heard at a recorded frame; `from` is where the play started in the music, so
    // that the recorded frame of the first click of the play is known.
    double Heard(double frame, double from) const {
        // Recorded frame of music time `from`, from the first click at or after it.
        const double firstHeard =
            First + std::max(0.0, std::ceil((from - First) / Every - 1e-9)) * Every;
        size_t k = 0;
        while (k + 1 < Clicks.size() && double(Clicks[k + 1]) <= frame)
            ++k;
        // The k-th click heard is the music's click at firstHeard plus whole periods: the
        // number of periods from the first click heard, by its recorded distance.
        const double periods = std::round((double(Clicks[k] - Clicks[0]) / Rate) / Every);
        return firstHeard + periods * Every + (frame - double(Clicks[k])) / Rate;
    }

private:
    std::vector<int64_t> Clicks;
    std::vector<double> Offsets;
    double First = 0, Every = 1;
};

} // namespace nullsink
