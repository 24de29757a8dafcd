// Random bytes as a WAV file. Whatever they hold, the header reader and the envelope agree on
// the result, and one they read describes a sound the rest of the program can use: channels and
// rate within bounds, whole frames inside the file; the envelope has as many frames, its
// slices lie within -1..1 with the low under the high; the cue track's reader gives the same
// frames.

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "model/io/Wave.h"
#include "model/music/CueTrack.h"
#include "model/music/SoundEnvelope.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace salvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file("salvodesk-fuzz.wav");
    const std::string& path = file.Hold(data, size);

    WaveFormat format;
    const WaveRead header = ReadWaveFormat(path, format);
    Envelope env;
    const WaveRead whole = ReadWaveEnvelope(path, env);
    FUZZ_CHECK(whole == header);
    switch (header) {
    case WaveRead::Read:
    case WaveRead::NoSound:
        break;
    case WaveRead::NotWave:
    case WaveRead::Unsupported:
    case WaveRead::TooManyChannels:
    case WaveRead::UnsupportedRate:
        return 0;
    default:
        FUZZ_CHECK(!"a result no WAV file can give");
    }
    FUZZ_CHECK(format.Channels >= 1 && format.Channels <= MaxWaveChannels);
    FUZZ_CHECK(format.SampleRate >= MinWaveRate && format.SampleRate <= MaxWaveRate);
    FUZZ_CHECK(format.BlockAlign() > 0 && format.DataBytes % format.BlockAlign() == 0);
    FUZZ_CHECK(format.DataOffset >= 12 && format.DataBytes >= 0);
    FUZZ_CHECK(format.DataOffset + format.DataBytes <= int64_t(size));
    FUZZ_CHECK((format.DataBytes == 0) == (header == WaveRead::NoSound));
    if (header == WaveRead::NoSound)
        return 0;

    const int64_t frames = format.DataBytes / format.BlockAlign();
    FUZZ_CHECK(env.Frames == frames && env.SampleRate == format.SampleRate);
    FUZZ_CHECK(env.Min.size() == env.Max.size());
    FUZZ_CHECK(int64_t(env.Min.size()) == (frames + env.SliceFrames - 1) / env.SliceFrames);
    for (size_t i = 0; i < env.Min.size(); ++i)
        FUZZ_CHECK(env.Min[i] >= -1 && env.Min[i] <= env.Max[i] && env.Max[i] <= 1);

    WaveFileSource source;
    FUZZ_CHECK(source.Open(path));
    FUZZ_CHECK(source.Rate() == format.SampleRate && source.Frames() == frames);
    std::vector<int16_t> mono(4096);
    int64_t got = 0;
    for (long long n; (n = source.ReadMono(mono.data(), mono.size())) > 0;)
        got += n;
    FUZZ_CHECK(got == frames);
    return 0;
}
