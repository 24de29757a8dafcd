// The WASAPI output under Wine, heard through a private PulseAudio null sink whose monitor
// wine-monitor-recorder records (scripts/test-windows starts both): what is recorded must be the
// samples played, and the clock must say, at every instant, which of them was being heard.
#include "sound/Sound.h"
#include "Heard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace salvo::sound {
namespace {

constexpr int Rate = 44100;
constexpr double ClickEvery = 0.5, FirstClick = 0.25;
constexpr int ClickFrames = 220;

// Quiet noise (each frame different, so the recording lines up in one place only) with loud
// clicks, the right channel the left one negated and halved.
std::shared_ptr<Samples> ClickTrack(double seconds) {
    auto s = std::make_shared<Samples>();
    s->Rate = Rate;
    s->Channels = 2;
    const int64_t frames = int64_t(seconds * Rate);
    uint32_t seed = 12345;
    for (int64_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        int v = int(seed >> 21) - 1023;  // -1023..1024, never 0: silence is not ours
        if (v == 0) v = 1;
        double t = double(i) / Rate - FirstClick;
        if (t >= 0 && std::fmod(t, ClickEvery) * Rate < ClickFrames) v = 20000;
        s->Data.push_back(int16_t(v));
        s->Data.push_back(int16_t(-v / 2));
    }
    return s;
}

long long Ticks() {  // the performance counter in 100 ns units
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return (long long)((long double)(c.QuadPart) * 10000000.0L / (long double)(f.QuadPart));
}

struct Reading {
    long long ticks;
    double position;
};

TEST(WasapiOutput, RecordsTheSamplesPlayedAndItsClockFollowsWhatIsHeard) {
    const char* raw = std::getenv("SALVODESK_MONITOR_RAW");
    const char* times = std::getenv("SALVODESK_MONITOR_TIMES");
    if (!raw || !times) GTEST_SKIP() << "needs the null sink's recorder (scripts/test-windows)";

    auto sound = ClickTrack(3.0);
    auto out = MakeOutput();
    EXPECT_FALSE(out->Playing());
    EXPECT_EQ(out->Position(), 0.0);
    std::string why;
    ASSERT_TRUE(out->Play(sound, 0.0, why)) << why;
    std::vector<Reading> readings;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (out->Playing() && std::chrono::steady_clock::now() < deadline) {
        long long ticks = Ticks();
        readings.push_back({ticks, out->Position(std::chrono::steady_clock::now())});
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    ASSERT_FALSE(out->Playing()) << "still playing after 10 s";
    EXPECT_NEAR(out->Position(), sound->Duration(), 1.0 / Rate);
    size_t back = 0;
    for (size_t i = 1; i < readings.size(); ++i) back += readings[i].position < readings[i - 1].position;
    EXPECT_EQ(back, 0u) << "times the clock went back";

    // What was heard, in the recording: the samples, every one, from where they begin. A
    // stream's first milliseconds are mixed into what the null sink had already given its
    // monitor: they are heard but not recorded. The recorder writes a block at a time, late when
    // the machine is busy: the recording is read again until it holds the sound's end, for at
    // most 3 s.
    const std::vector<int16_t>& d = sound->Data;
    std::vector<int16_t> heard;
    Heard h;
    for (int attempt = 0; attempt < 10 && (attempt == 0 || h.Next + 12 < d.size()); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt == 0 ? 400 : 300));
        heard = ReadRaw(raw);
        h = FindHeard(d, heard);
    }
    EXPECT_LT(h.Skipped, 441u * 2) << "more than 10 ms missing at the start";
    EXPECT_GE(h.Next + 12, d.size()) << "the recording stops before the end";
    EXPECT_EQ(h.Differing, 0u) << "frames heard that were not played";
    EXPECT_LE(h.Lost, d.size() / 2 / 100) << "frames lost";
    if (h.Silent + h.Lost > 0)
        std::printf("the stream was starved: %zu frames of silence, %zu frames lost\n", h.Silent,
                    h.Lost);
    const size_t first = h.First - h.Skipped;  // where the sound's first frame would be

    // When a recorded frame was heard: a frame arrives at the recorder no sooner, so the
    // earliest arrival against its frame count fixes the schedule; only arrivals within a
    // second of that frame count, as a playing null sink runs some 400 ppm fast.
    std::vector<std::pair<long long, long long>> arrivals;  // instant, frames recorded
    std::ifstream timesIn(times);
    for (long long arrived, frames; timesIn >> arrived >> frames;) arrivals.emplace_back(arrived, frames);
    ASSERT_FALSE(arrivals.empty()) << "the recorder wrote no times";
    auto heardInstant = [&](size_t frame) {
        long long best = 0;
        bool any = false;
        for (const auto& [arrived, frames] : arrivals) {
            if (std::abs(frames - (long long)frame) > Rate) continue;
            long long start = arrived - (long long)(double(frames) * 1e7 / Rate);
            best = any ? std::min(best, start) : start;
            any = true;
        }
        return best + (long long)(double(frame) * 1e7 / Rate);
    };

    // Each click found in the recording against the clock's position at the instant it was heard.
    std::vector<double> errors;
    for (size_t i = first + 2; i + 2 < heard.size(); i += 2) {
        if (heard[i] != 20000 || heard[i - 2] == 20000) continue;
        double clickAt = FirstClick + ClickEvery * double(errors.size());
        long long heardAt = heardInstant(i / 2);
        auto after = std::find_if(readings.begin(), readings.end(),
                                  [&](const Reading& r) { return r.ticks >= heardAt; });
        if (after == readings.begin() || after == readings.end()) break;
        auto before = after - 1;
        double f = double(heardAt - before->ticks) / double(after->ticks - before->ticks);
        double position = before->position + f * (after->position - before->position);
        errors.push_back(position - clickAt);
    }
    // The null sink gives its monitor each block when it mixes it, a little before it is due
    // (about 2 ms on Linux, with the recorder's 2 ms blocks). The clock must keep to what is
    // heard: the same offset at every click, within the 15 ms a marker may be off, and that
    // offset small (Wine's clock reads 7 to 9 ms behind the recording here).
    ASSERT_GE(errors.size(), 5u) << "clicks found in the recording";
    double sum = 0;
    for (double e : errors) sum += e;
    const double mean = sum / errors.size();
    double worst = 0;
    for (double e : errors) worst = std::max(worst, std::abs(e - mean));
    std::printf("clock against the recording: %zu clicks, offset %+.1f ms, spread %.1f ms\n",
                errors.size(), mean * 1000, worst * 1000);
    EXPECT_LE(worst, 0.015);
    EXPECT_LE(std::abs(mean), 0.02) << "the clock is not what is heard";
}
TEST(WasapiOutput, PauseHoldsThePositionAndPlayGoesOnFromIt) {
    if (!std::getenv("SALVODESK_MONITOR_RAW")) GTEST_SKIP() << "needs the null sink";
    auto sound = ClickTrack(2.0);
    auto out = MakeOutput();
    std::string why;
    ASSERT_TRUE(out->Play(sound, 1.0, why)) << why;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    out->Pause();
    EXPECT_FALSE(out->Playing());
    double paused = out->Position();
    EXPECT_GT(paused, 1.1);
    EXPECT_LT(paused, 1.4);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(out->Position(), paused);
    ASSERT_TRUE(out->Play(sound, paused, why)) << why;
    EXPECT_TRUE(out->Playing());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(out->Position(), paused);
    out->Pause();
}

} // namespace
} // namespace salvo::sound
