#include "model/music/SoundEnvelope.h"

#include "model/io/SafeFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace salvo {

namespace {

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool ReadExactly(InputFile& file, unsigned char* into, size_t size) {
    while (size > 0) {
        long long n = file.Read(reinterpret_cast<char*>(into), size);
        if (n <= 0)
            return false;
        into += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xff);
}
void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

// One frame's extremes, sample format by sample format; integer samples compare as integers
// and are scaled once per frame.
template <int Bits, bool IsFloat>
void Scan(const unsigned char* p, size_t frames, int channels, EnvelopeBuilder& b) {
    for (size_t f = 0; f < frames; ++f) {
        if constexpr (IsFloat) {
            float low = 1, high = -1;
            for (int c = 0; c < channels; ++c, p += 4) {
                float v;
                std::memcpy(&v, p, 4);
                if (!(v == v))
                    v = 0; // NaN
                // Float samples may run past full scale; the lane draws -1 to 1.
                v = std::min(1.0f, std::max(-1.0f, v));
                low = std::min(low, v);
                high = std::max(high, v);
            }
            b.AddFrame(low, high);
        } else {
            int32_t low = INT32_MAX, high = INT32_MIN;
            for (int c = 0; c < channels; ++c, p += Bits / 8) {
                int32_t v;
                if constexpr (Bits == 8)
                    v = int32_t(uint32_t(p[0] ^ 0x80) << 24); // unsigned: offset binary
                else if constexpr (Bits == 16)
                    v = int32_t(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 24);
                else if constexpr (Bits == 24)
                    v = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
                else
                    v = int32_t(U32(p));
                low = std::min(low, v);
                high = std::max(high, v);
            }
            constexpr float Scale = 1.0f / 2147483648.0f;
            b.AddFrame(float(low) * Scale, float(high) * Scale);
        }
    }
}

// What the "fmt " chunk describes, judged once the samples are reached (or the file ends).
WaveRead Judge(int tag, const WaveFormat& format) {
    if (format.Channels < 1 || format.SampleRate < 1 || format.Bits < 1)
        return WaveRead::NotWave; // a header that describes no sound at all
    const bool pcm = (tag == 1 && (format.Bits == 8 || format.Bits == 16 || format.Bits == 24 ||
                                   format.Bits == 32)) ||
                     (tag == 3 && format.Bits == 32);
    if (!pcm)
        return WaveRead::Unsupported;
    if (format.Channels > MaxWaveChannels)
        return WaveRead::TooManyChannels;
    if (format.SampleRate < MinWaveRate || format.SampleRate > MaxWaveRate)
        return WaveRead::UnsupportedRate;
    return WaveRead::Read;
}

} // namespace

int SliceFramesFor(int sampleRate) {
    return std::max(1, sampleRate / 100);
}

bool Envelope::Range(double from, double to, float& low, float& high) const {
    const double slice = SliceSeconds();
    if (slice <= 0 || Min.empty())
        return false;
    auto first = static_cast<long long>(std::floor(from / slice));
    auto last = static_cast<long long>(std::ceil(to / slice));
    first = std::max(first, 0LL);
    last = std::min(last, static_cast<long long>(Min.size()));
    if (last <= first)
        last = first + 1;
    if (first >= static_cast<long long>(Min.size()))
        return false;
    low = 1;
    high = -1;
    for (auto i = static_cast<size_t>(first); i < static_cast<size_t>(last); ++i) {
        low = std::min(low, Min[i]);
        high = std::max(high, Max[i]);
    }
    return true;
}

EnvelopeBuilder::EnvelopeBuilder(int sampleRate, int channels) : Channels(std::max(1, channels)) {
    Result.SampleRate = sampleRate;
    Result.SliceFrames = SliceFramesFor(sampleRate);
}

void EnvelopeBuilder::AddSamples(const float* samples, size_t frames) {
    for (size_t f = 0; f < frames; ++f) {
        float low = 1, high = -1;
        for (int c = 0; c < Channels; ++c, ++samples) {
            low = std::min(low, *samples);
            high = std::max(high, *samples);
        }
        AddFrame(low, high);
    }
}

void EnvelopeBuilder::CloseSlice() {
    Result.Min.push_back(Low);
    Result.Max.push_back(High);
    Result.Frames += InSlice;
    InSlice = 0;
    Low = 1;
    High = -1;
}

Envelope EnvelopeBuilder::Finish() {
    if (InSlice > 0)
        CloseSlice();
    return std::move(Result);
}

WaveRead ReadWaveFormat(const std::string& path, WaveFormat& format) {
    format = WaveFormat();
    InputFile file(path);
    if (!file.IsOpen())
        return WaveRead::NotAccessible;
    const int64_t size = file.Size();
    unsigned char head[12];
    if (!ReadExactly(file, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return WaveRead::NotWave;
    int64_t at = 12;
    bool haveFormat = false;
    int tag = 0;
    // Chunks until the samples: "fmt " says what they are, "data" holds them.
    for (int chunks = 0; chunks < 1000; ++chunks) {
        unsigned char h[8];
        if (!file.Seek(at) || !ReadExactly(file, h, 8)) {
            // A header that ends without its samples, as a recorder stopped at once leaves it.
            if (!haveFormat || at < size - 7)
                return WaveRead::NotWave;
            format.Float = tag == 3;
            const WaveRead judged = Judge(tag, format);
            format.DataOffset = std::min(at, size);
            return judged == WaveRead::Read ? WaveRead::NoSound : judged;
        }
        const int64_t length = U32(h + 4);
        at += 8;
        if (std::memcmp(h, "fmt ", 4) == 0) {
            unsigned char f[40] = {};
            if (length < 16 ||
                !ReadExactly(file, f, static_cast<size_t>(std::min<int64_t>(length, 40))))
                return WaveRead::NotWave;
            tag = U16(f);
            if (tag == 0xFFFE && length >= 26)
                tag = U16(f + 24); // the sub-format of an extensible header
            format.Channels = U16(f + 2);
            format.SampleRate = static_cast<int>(U32(f + 4));
            format.Bits = U16(f + 14);
            haveFormat = true;
        } else if (std::memcmp(h, "data", 4) == 0) {
            if (!haveFormat)
                return WaveRead::NotWave;
            format.Float = tag == 3;
            const WaveRead judged = Judge(tag, format);
            if (judged != WaveRead::Read)
                return judged;
            format.DataOffset = at;
            // A length past the end (a recording cut short, or a streaming header) stops there.
            int64_t bytes = std::min<int64_t>(length, std::max<int64_t>(0, size - at));
            format.DataBytes = bytes / format.BlockAlign() * format.BlockAlign();
            return format.DataBytes > 0 ? WaveRead::Read : WaveRead::NoSound;
        }
        at += length + (length & 1);
    }
    return WaveRead::NotWave;
}

WaveRead ReadWaveEnvelope(const std::string& path, Envelope& envelope,
                          std::atomic<double>* progress, const std::atomic<bool>* cancel) {
    WaveFormat format;
    WaveRead header = ReadWaveFormat(path, format);
    if (header != WaveRead::Read)
        return header;
    InputFile file(path);
    if (!file.IsOpen() || !file.Seek(format.DataOffset))
        return WaveRead::NotAccessible;
    EnvelopeBuilder builder(format.SampleRate, format.Channels);
    builder.Current().Min.reserve(static_cast<size_t>(
        format.DataBytes / format.BlockAlign() / builder.Current().SliceFrames + 1));
    builder.Current().Max.reserve(builder.Current().Min.capacity());
    const size_t block = static_cast<size_t>(format.BlockAlign());
    std::vector<unsigned char> buffer(block * 65536);
    int64_t left = format.DataBytes;
    while (left > 0) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return WaveRead::Cancelled;
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, int64_t(buffer.size())));
        if (!ReadExactly(file, buffer.data(), want))
            return WaveRead::Failed;
        const size_t frames = want / block;
        const unsigned char* p = buffer.data();
        switch (format.Float ? 0 : format.Bits) {
        case 0:
            Scan<32, true>(p, frames, format.Channels, builder);
            break;
        case 8:
            Scan<8, false>(p, frames, format.Channels, builder);
            break;
        case 16:
            Scan<16, false>(p, frames, format.Channels, builder);
            break;
        case 24:
            Scan<24, false>(p, frames, format.Channels, builder);
            break;
        default:
            Scan<32, false>(p, frames, format.Channels, builder);
            break;
        }
        left -= static_cast<int64_t>(want);
        if (progress)
            progress->store(1.0 - double(left) / double(format.DataBytes),
                            std::memory_order_relaxed);
    }
    envelope = builder.Finish();
    return WaveRead::Read;
}

std::string WaveHeader(int channels, int sampleRate, uint32_t dataBytes) {
    std::string out = "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(channels));
    Put32(out, static_cast<uint32_t>(sampleRate));
    Put32(out, static_cast<uint32_t>(sampleRate * channels * 2));
    Put16(out, static_cast<uint16_t>(channels * 2));
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    return out;
}

std::string WaveBytes(const std::vector<int16_t>& samples, int channels, int sampleRate) {
    std::string out = WaveHeader(channels, sampleRate, static_cast<uint32_t>(samples.size() * 2));
    for (int16_t s : samples)
        Put16(out, static_cast<uint16_t>(s));
    return out;
}

} // namespace salvo
