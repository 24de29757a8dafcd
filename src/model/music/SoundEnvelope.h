#pragma once
// The envelope of a sound: its smallest and largest sample over short, equal slices of time,
// which is what a waveform under the timeline draws. WAV files (PCM, 8 to 32 bits, or 32-bit
// float) are read here directly, so they open on every machine; other formats are decoded by
// the windows and fed in through EnvelopeBuilder.

#include "model/io/Wave.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace salvo {

struct Envelope {
    int SampleRate = 0;
    int SliceFrames = 1;         // frames in each slice
    int64_t Frames = 0;          // in the whole sound
    std::vector<float> Min, Max; // per slice, -1 to 1, every channel together

    double Duration() const { return SampleRate > 0 ? double(Frames) / SampleRate : 0; }
    double SliceSeconds() const { return SampleRate > 0 ? double(SliceFrames) / SampleRate : 0; }
    // The extremes over [from, to) seconds; false where the range holds no slice.
    bool Range(double from, double to, float& low, float& high) const;
};

// Slices of a hundredth of a second: fine enough to zoom, small enough for hours of music.
int SliceFramesFor(int sampleRate);

class EnvelopeBuilder {
public:
    EnvelopeBuilder(int sampleRate, int channels);
    // Interleaved samples scaled to -1..1; any number of frames at a time.
    void AddSamples(const float* samples, size_t frames);
    Envelope Finish();
    Envelope& Current() { return Result; }

    // For the readers: one frame's extremes at a time.
    void AddFrame(float low, float high) {
        if (low < Low)
            Low = low;
        if (high > High)
            High = high;
        if (++InSlice == Result.SliceFrames)
            CloseSlice();
    }

private:
    void CloseSlice();

    Envelope Result;
    int Channels;
    int InSlice = 0;
    float Low = 1, High = -1;
};

// Reads the samples and builds the envelope. progress (0 to 1) and cancel may be watched and
// set from another thread while it runs.
WaveRead ReadWaveEnvelope(const std::string& path, Envelope& envelope,
                          std::atomic<double>* progress = nullptr,
                          const std::atomic<bool>* cancel = nullptr);

} // namespace salvo
