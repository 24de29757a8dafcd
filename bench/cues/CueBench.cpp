// The cue track of a 10-minute show (44.1 kHz stereo music, a sequence every 10 s), written
// to a file, against writing the same number of frames of silence with the same writer.
//
//   bench_cues [RUNS] [FOLDER]   median of RUNS writes of each (default 9), in FOLDER (/tmp)

#include "model/io/Wave.h"
#include "model/music/CueTrack.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace salvo;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Rate = 44100;
constexpr int Seconds = 600;

std::vector<int16_t> Word(size_t length, int16_t level) {
    std::vector<int16_t> w(length);
    for (size_t i = 0; i < length; ++i)
        w[i] = static_cast<int16_t>((i % 100 < 50 ? 1 : -1) * level);
    return w;
}

template <class F> double MedianMs(int runs, F&& f) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string musicPath = folder + "/bench-cues-music.wav";
    const std::string trackPath = folder + "/bench-cues-track.wav";
    const std::string silencePath = folder + "/bench-cues-silence.wav";

    // The music: written once, read by every run (from the page cache, as after an attach).
    {
        std::vector<int16_t> music(size_t(Rate) * Seconds * 2);
        for (size_t i = 0; i < music.size(); ++i)
            music[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
        std::ofstream(musicPath, std::ios::binary) << WaveBytes(music, 2, Rate);
    }
    CueVoice voice; // lengths of the recorded words
    voice.Sequence = Word(Rate * 6 / 10, 8000);
    for (int n = 1; n <= MaxSpokenNumber; ++n)
        voice.Numbers[size_t(n)] = Word(Rate * 7 / 10, 8000);
    voice.Three = voice.Two = voice.One = Word(Rate * 4 / 10, 8000);
    voice.Fire = Word(Rate / 2, 8000);
    std::vector<CueStart> starts;
    for (int s = 0; s < 59; ++s)
        starts.push_back({s % 30 + 1, 8.0 + 10.0 * s + 0.37});

    bool ok = true;
    const double track = MedianMs(runs, [&] {
        WaveFileSource music;
        ok = ok && music.Open(musicPath) &&
             WriteCueTrack(trackPath, &music, starts, DefaultLeadSeconds, voice, CueVariant::Stereo,
                           Rate) == CueWrite::Written;
    });
    const double silence = MedianMs(runs, [&] {
        WavWriter out;
        std::vector<int16_t> block(16384 * 2);
        ok = ok && out.Open(silencePath, 2, Rate);
        for (int64_t at = 0; at < int64_t(Rate) * Seconds; at += 16384)
            ok = ok && out.Write(block.data(),
                                 size_t(std::min<int64_t>(16384, int64_t(Rate) * Seconds - at)));
        ok = ok && out.Close();
    });
    std::remove(musicPath.c_str());
    std::remove(trackPath.c_str());
    std::remove(silencePath.c_str());
    if (!ok) {
        std::fprintf(stderr, "bench_cues: a file could not be written in %s\n", folder.c_str());
        return 1;
    }
    std::printf("cue track, 10 min 44.1 kHz stereo, %zu starts: %.0f ms\n", starts.size(), track);
    std::printf("same frames of silence, same writer:         %.0f ms\n", silence);
    std::printf("ratio: %.2f\n", track / silence);
    return 0;
}
