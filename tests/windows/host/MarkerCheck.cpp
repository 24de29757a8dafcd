// Markers dropped with F6 in the installed Windows program under Wine, against what the null
// sink's monitor recorded (tests/windows-gui/run):
//   wine-marker-check clicks <file.wav> <seconds>      writes the click track it plays
//   wine-marker-check press <count> <log>              presses F6 through xdotool at known
//                                                       instants, written into <log>
//   wine-marker-check check <recording.raw> <from> <times> <log> <file.musique>
//                                                       each marker against the music heard
//                                                       when its key was pressed
// Instants are CLOCK_MONOTONIC_RAW in 100 ns units, as wine-monitor-recorder writes them. The
// check prints the errors and exits 1 when a marker is missing or, the sound unbroken, one is
// off by more than 25 ms.
#include "../sound/Heard.h"
#include "NullSink.h"
#include "RawTicks.h"
#include "model/io/Wave.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double First = 0.5, Every = 0.5;

int Press(int count, const char* log) {
    FILE* xdotool = ::popen("xdotool -", "w");
    std::ofstream out(log);
    if (!xdotool || !out)
        return 2;
    std::mt19937 random(29);
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(230 + random() % 90));
        out << Ticks() << "\n";
        std::fputs("key F6\n", xdotool);
        std::fflush(xdotool);
    }
    return ::pclose(xdotool) == 0 && out ? 0 : 1;
}

int Check(char** argv) {
    const long long from = std::stoll(argv[1]);
    const std::vector<int16_t> both = salvo::sound::ReadRaw(argv[0], from);
    std::vector<int16_t> left(both.size() / 2);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = both[2 * i];
    const long long fromFrame = from / 4;
    // When a recorded frame was heard: the earliest arrival against its frame count, among the
    // arrivals within a second of it (a playing null sink runs some 400 ppm fast).
    std::vector<std::pair<long long, long long>> arrivals;
    std::ifstream times(argv[2]);
    for (long long at, frames; times >> at >> frames;)
        arrivals.emplace_back(at, frames);
    auto frameAt = [&](long long ticks) {
        double best = 1e300;
        for (const auto& [at, frames] : arrivals)
            if (std::abs(at - ticks) < 10000000)
                best = std::min(best, double(at) - double(frames) * 1e7 / nullsink::Rate);
        return (double(ticks) - best) * nullsink::Rate / 1e7 - double(fromFrame);
    };
    const nullsink::Alignment heardAt(nullsink::ClicksIn(left), First, Every);
    std::vector<long long> presses;
    std::ifstream log(argv[3]);
    for (long long at; log >> at;)
        presses.push_back(at);
    std::vector<double> markers;
    std::ifstream music(argv[4]);
    for (std::string line; std::getline(music, line);)
        if (line.rfind("Repère ; ", 0) == 0)
            markers.push_back(std::stod(line.substr(std::string("Repère ; ").size())));
    if (!heardAt.Ok() || presses.empty()) {
        std::printf("no clicks or no presses recorded\n");
        return 1;
    }
    double sum = 0, worst = 0;
    const size_t n = std::min(markers.size(), presses.size());
    for (size_t i = 0; i < n; ++i) {
        const double error = markers[i] - heardAt.Heard(frameAt(presses[i]), 0);
        sum += error;
        if (std::abs(error) > std::abs(worst))
            worst = error;
    }
    std::printf("%zu presses, %zu markers: mean %+.2f ms, worst %+.2f ms, clicks spread %.2f ms\n",
                presses.size(), markers.size(), n ? 1000 * sum / double(n) : 0.0, 1000 * worst,
                1000 * heardAt.Spread);
    if (markers.size() != presses.size())
        return 1;
    // Under Wine a starved stream skips what came late, and its clock does not follow: a
    // broken click train measures the machine, not the program.
    if (heardAt.Spread > 0.001) {
        std::printf("the sound broke (clicks %.2f ms apart from their time): not judged\n",
                    1000 * heardAt.Spread);
        return 0;
    }
    return std::abs(worst) <= 0.025 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "clicks" && argc == 4) {
        std::ofstream out(argv[2], std::ios::binary);
        out << salvo::WaveBytes(nullsink::ClickTrack(std::stod(argv[3]), First, Every), 2,
                                nullsink::Rate);
        return out ? 0 : 1;
    }
    if (what == "press" && argc == 4)
        return Press(std::stoi(argv[2]), argv[3]);
    if (what == "check" && argc == 7)
        return Check(argv + 2);
    std::fprintf(stderr, "usage: see the head of %s\n", __FILE__);
    return 2;
}
