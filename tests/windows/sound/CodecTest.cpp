// The Windows build's codec library (libsndfile and its codecs, cross-built from Debian's
// sources) under Wine, on files scripts/test-windows makes with sox and lame at test time from
// one source: what each gives must be the source, exactly for FLAC, in its envelope for the
// lossy formats; what is not sound is refused as on Linux.
#include "sound/Codec.h"
#include "DecodedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace salvo::sound {
namespace {

std::string Folder() {
    const char* f = std::getenv("SALVODESK_SOUND_FILES");
    return f ? std::string(f) + "\\" : std::string();
}

// The loudest sample of each tenth of a second, in full scales.
std::vector<double> Peaks(const std::vector<int16_t>& data, int channels, int rate) {
    std::vector<double> peaks;
    const size_t block = size_t(rate / 10) * size_t(channels);
    for (size_t at = 0; at + block <= data.size(); at += block) {
        int peak = 0;
        for (size_t i = at; i < at + block; ++i) peak = std::max(peak, std::abs(int(data[i])));
        peaks.push_back(peak / 32768.0);
    }
    return peaks;
}

TEST(WindowsCodec, DecodesFlacExactlyAndOggAndMp3InTheSourcesEnvelope) {
    if (Folder().empty()) GTEST_SKIP() << "needs the files scripts/test-windows makes";
    std::ifstream in(Folder() + "source.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> source(bytes.size() / 2);
    std::memcpy(source.data(), bytes.data(), source.size() * 2);
    ASSERT_GT(source.size(), 44100u);
    const std::vector<double> expected = Peaks(source, 2, 44100);

    struct Case {
        const char* name;
        double tolerance;  // of each tenth's peak, in full scales
    };
    // "été" checks that a name outside the ANSI code page's reach still opens.
    for (const Case& c : {Case{"source.flac", 0}, Case{"Feux d'été.flac", 0},
                          Case{"source.ogg", 0.03}, Case{"source.mp3", 0.03}}) {
        SCOPED_TRACE(c.name);
        Samples s;
        ASSERT_EQ(CodecDecode(Folder() + c.name, s, nullptr, nullptr), WaveRead::Read);
        EXPECT_EQ(s.Rate, 44100);
        EXPECT_EQ(s.Channels, 2);
        // MP3 carries its encoder's delay and padding in its header: the length is the source's.
        EXPECT_NEAR(double(s.Frames()), double(source.size() / 2), 0.0) << "frames";
        if (c.tolerance == 0) {
            EXPECT_TRUE(s.Data == source) << "FLAC is lossless";
            continue;
        }
        const std::vector<double> got = Peaks(s.Data, s.Channels, s.Rate);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], expected[i], c.tolerance) << "tenth " << i;
    }
}

TEST(WindowsCodec, RefusesWhatIsNotSoundAndStopsWhenCancelled) {
    if (Folder().empty()) GTEST_SKIP() << "needs the files scripts/test-windows makes";
    Samples s;
    s.Rate = 8000;
    for (const char* name : {"text.mp3", "empty.ogg", "missing.flac"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CodecDecode(Folder() + name, s, nullptr, nullptr), WaveRead::NotWave);
        EXPECT_EQ(s.Rate, 8000) << "a refusal leaves what was there";
    }
    std::atomic<bool> cancel{true};
    std::atomic<double> progress{0};
    EXPECT_EQ(CodecDecode(Folder() + "source.ogg", s, &progress, &cancel), WaveRead::Cancelled);
    EXPECT_EQ(s.Rate, 8000);
}

// Decode, WAV reader and codec together, against what the Linux build made of the same files:
// the same results, formats and lengths; the same envelope, to one 16-bit step for the lossy
// formats (their decoders' floating point may round differently).
TEST(WindowsCodec, DecodesAsTheLinuxBuildDoes) {
    if (Folder().empty()) GTEST_SKIP() << "needs the files scripts/test-windows makes";
    std::ifstream fromLinux(Folder() + "linux.txt");
    ASSERT_TRUE(fromLinux) << "wine-sound-envelope wrote nothing";
    for (const char* name : DecodedNames) {
        SCOPED_TRACE(name);
        std::string expected;
        ASSERT_TRUE(std::getline(fromLinux, expected));
        std::istringstream want(expected), got(DecodedText(Folder() + name));
        std::string a, b;
        int slice = 0;
        bool inSlices = false;
        while (want >> a) {
            ASSERT_TRUE(got >> b) << "ends early";
            if (inSlices) {
                int aLow, aHigh, bLow, bHigh;
                char colon;
                std::istringstream(a) >> aLow >> colon >> aHigh;
                std::istringstream(b) >> bLow >> colon >> bHigh;
                EXPECT_LE(std::abs(aLow - bLow), 1) << "slice " << slice;
                EXPECT_LE(std::abs(aHigh - bHigh), 1) << "slice " << slice;
                ++slice;
            } else {
                ASSERT_EQ(a, b);
                inSlices = a == "slices";
            }
        }
        EXPECT_FALSE(got >> b) << "goes on";
    }
}

} // namespace
} // namespace salvo::sound
