#include "model/music/SoundEnvelope.h"

#include <algorithm>
#include <cmath>

namespace salvo {

namespace {

// One frame's extremes, sample format by sample format; integer samples compare as integers
// and are scaled once per frame.
template <int Bits, bool IsFloat>
void Scan(const unsigned char* p, size_t frames, int channels, EnvelopeBuilder& b) {
    for (size_t f = 0; f < frames; ++f) {
        if constexpr (IsFloat) {
            float low = 1, high = -1;
            for (int c = 0; c < channels; ++c, p += 4) {
                const float v = FloatSample(p);
                low = std::min(low, v);
                high = std::max(high, v);
            }
            b.AddFrame(low, high);
        } else {
            int32_t low = INT32_MAX, high = INT32_MIN;
            for (int c = 0; c < channels; ++c, p += Bits / 8) {
                const int32_t v = PcmSample<Bits>(p);
                low = std::min(low, v);
                high = std::max(high, v);
            }
            constexpr float Scale = 1.0f / 2147483648.0f;
            b.AddFrame(float(low) * Scale, float(high) * Scale);
        }
    }
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
        if (!file.ReadExactly(buffer.data(), want))
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

} // namespace salvo
