// Decoding: a WAV made here, turned into FLAC and OGG by sox and MP3 by lame, decodes to the
// same envelope; what is no sound says why.

#include "sound/Sound.h"

#include "NullSink.h"
#include "model/io/Wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace salvo;
using namespace salvo::sound;

namespace {

struct Folder {
    std::string Root;
    Folder() {
        char pattern[] = "/tmp/salvodesk-decode-XXXXXX";
        Root = ::mkdtemp(pattern) ? pattern : "";
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Root, ignored);
    }
    std::string Path(const std::string& name) const { return Root + "/" + name; }
};

bool RunTool(const std::vector<std::string>& args) {
    pid_t pid = nullsink::Spawn(args, {});
    int status = 1;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// 3 s: a 440 Hz tone whose loudness steps every 0.25 s, silence in between steps.
std::vector<int16_t> Steps() {
    const int rate = nullsink::Rate;
    std::vector<int16_t> s(size_t(rate) * 3 * 2);
    for (size_t f = 0; f < s.size() / 2; ++f) {
        const double t = double(f) / rate;
        const int step = int(t / 0.25);
        const double level = step % 2 ? 0 : 0.1 + 0.07 * step;
        const auto v = static_cast<int16_t>(std::lround(level * 32767 * std::sin(2 * M_PI * 440 * t)));
        s[2 * f] = v;
        s[2 * f + 1] = static_cast<int16_t>(-v);
    }
    return s;
}

// The loudest sample in each 50 ms.
std::vector<float> Loudness(const Envelope& e) {
    std::vector<float> out;
    for (double t = 0; t + 0.05 <= e.Duration(); t += 0.05) {
        float low, high;
        e.Range(t, t + 0.05, low, high);
        out.push_back(std::max(high, -low));
    }
    return out;
}

} // namespace

TEST(Decode, EveryFormatGivesTheEnvelopeOfTheWave) {
    Folder dir;
    const std::string wav = dir.Path("steps.wav");
    std::ofstream(wav, std::ios::binary) << WaveBytes(Steps(), 2, nullsink::Rate);
    ASSERT_TRUE(RunTool({"sox", wav, dir.Path("steps.flac")}));
    ASSERT_TRUE(RunTool({"sox", wav, dir.Path("steps.ogg")}));
    ASSERT_TRUE(RunTool({"lame", "--quiet", "-b", "192", wav, dir.Path("steps.mp3")}));

    Samples reference;
    ASSERT_EQ(Decode(wav, reference), WaveRead::Read);
    ASSERT_EQ(reference.Data, Steps());
    const std::vector<float> expected = Loudness(EnvelopeOf(reference));

    const std::vector<std::string> readable = ReadableExtensions();
    for (const char* format : {"flac", "ogg", "mp3"}) {
        SCOPED_TRACE(format);
        EXPECT_NE(std::find(readable.begin(), readable.end(), format), readable.end());
        Samples s;
        std::atomic<double> progress{0};
        ASSERT_EQ(Decode(dir.Path(std::string("steps.") + format), s, &progress), WaveRead::Read);
        EXPECT_EQ(s.Rate, nullsink::Rate);
        EXPECT_EQ(s.Channels, 2);
        EXPECT_NEAR(s.Duration(), 3.0, 0.06);
        EXPECT_NEAR(progress.load(), 1.0, 0.05);
        const std::vector<float> got = Loudness(EnvelopeOf(s));
        ASSERT_GE(got.size(), expected.size() - 1);
        // Lossy codecs smear a step's edge over a few milliseconds: the slices next to an edge
        // are left out.
        for (size_t i = 0; i + 1 < expected.size(); ++i) {
            if (i % 5 == 0 || i % 5 == 4)
                continue;
            EXPECT_NEAR(got[i], expected[i], 0.03) << "at " << i * 0.05 << " s";
        }
    }
}

TEST(Decode, WhatIsNoSoundSaysWhy) {
    Folder dir;
    const std::string noise(20000, 'Z');
    struct Case {
        const char* name;
        std::string bytes;
        WaveRead expected;
    } cases[] = {
        {"bruit.mp3", noise, WaveRead::NotWave},
        {"bruit.flac", noise, WaveRead::NotWave},
        {"bruit.ogg", noise, WaveRead::NotWave},
        {"texte.txt", noise, WaveRead::Unsupported},
        {"vide.wav", WaveHeader(2, 44100, 0), WaveRead::NoSound},
        {"bruit.wav", noise, WaveRead::NotWave},
        {"trente-trois.wav", WaveHeader(33, 8000, 0) + std::string(33 * 2 * 100, '\1'),
         WaveRead::TooManyChannels},
    };
    for (const Case& c : cases) {
        std::ofstream(dir.Path(c.name), std::ios::binary) << c.bytes;
        Samples s;
        EXPECT_EQ(Decode(dir.Path(c.name), s), c.expected) << c.name;
    }
    Samples s;
    EXPECT_EQ(Decode(dir.Path("absent.flac"), s), WaveRead::NotAccessible);
    EXPECT_EQ(Decode(dir.Root, s), WaveRead::NotAccessible);
}
