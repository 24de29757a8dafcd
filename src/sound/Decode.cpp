#include "sound/Codec.h"
#include "sound/Sound.h"

#include "model/io/SafeFile.h"

#include <algorithm>
#include <cctype>

namespace salvo::sound {

namespace {

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string e = path.substr(dot + 1);
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

WaveRead DecodeWave(const std::string& path, Samples& out, std::atomic<double>* progress,
                    const std::atomic<bool>* cancel) {
    WaveFormat format;
    const WaveRead header = ReadWaveFormat(path, format);
    if (header != WaveRead::Read)
        return header;
    InputFile file(path);
    if (!file.IsOpen() || !file.Seek(format.DataOffset))
        return WaveRead::NotAccessible;
    const size_t block = static_cast<size_t>(format.BlockAlign());
    const size_t bytes = static_cast<size_t>(format.Bits / 8);
    Samples s;
    s.Rate = format.SampleRate;
    s.Channels = format.Channels;
    s.Data.reserve(static_cast<size_t>(format.DataBytes) / bytes);
    std::vector<unsigned char> buffer(block * 65536);
    int64_t left = format.DataBytes;
    while (left > 0) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return WaveRead::Cancelled;
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, int64_t(buffer.size())));
        if (!file.ReadExactly(buffer.data(), want))
            return WaveRead::Failed;
        for (size_t i = 0; i < want; i += bytes)
            s.Data.push_back(
                static_cast<int16_t>(Sample16(buffer.data() + i, format.Bits, format.Float)));
        left -= static_cast<int64_t>(want);
        if (progress)
            progress->store(1.0 - double(left) / double(format.DataBytes),
                            std::memory_order_relaxed);
    }
    out = std::move(s);
    return WaveRead::Read;
}

bool IsWaveName(const std::string& path) {
    const std::string e = Extension(path);
    return e == "wav" || e == "wave";
}

} // namespace

WaveRead Decode(const std::string& path, Samples& out, std::atomic<double>* progress,
                const std::atomic<bool>* cancel) {
    if (!IsFile(path))
        return WaveRead::NotAccessible;
    if (IsWaveName(path)) {
        const WaveRead r = DecodeWave(path, out, progress, cancel);
        // Other encodings in a WAV (A-law, ADPCM...) are the codec's.
        if (r != WaveRead::NotWave && r != WaveRead::Unsupported)
            return r;
        const WaveRead c = CodecDecode(path, out, progress, cancel);
        return c == WaveRead::NotWave ? r : c;
    }
    const std::vector<std::string> codec = CodecExtensions();
    if (std::find(codec.begin(), codec.end(), Extension(path)) == codec.end())
        return WaveRead::Unsupported;
    return CodecDecode(path, out, progress, cancel);
}

std::vector<std::string> ReadableExtensions() {
    std::vector<std::string> all = {"wav"};
    for (const std::string& e : CodecExtensions())
        all.push_back(e);
    return all;
}

Envelope EnvelopeOf(const Samples& sound) {
    EnvelopeBuilder builder(sound.Rate, sound.Channels);
    const size_t channels = static_cast<size_t>(std::max(1, sound.Channels));
    const size_t frames = sound.Data.size() / channels;
    constexpr float Scale = 1.0f / 32768.0f;
    const int16_t* p = sound.Data.data();
    for (size_t f = 0; f < frames; ++f) {
        int low = 32767, high = -32768;
        for (size_t c = 0; c < channels; ++c, ++p) {
            low = std::min<int>(low, *p);
            high = std::max<int>(high, *p);
        }
        builder.AddFrame(float(low) * Scale, float(high) * Scale);
    }
    return builder.Finish();
}

} // namespace salvo::sound
