#pragma once
// Sound for the music: a file decoded to samples, and an output that plays them and tells,
// from its own sample clock, which instant of the sound is being heard.

#include "model/io/Wave.h"
#include "model/music/SoundEnvelope.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace salvo::sound {

// A whole sound, decoded: interleaved 16-bit samples (half the memory of floats; an hour of
// stereo at 44.1 kHz is 635 MB).
struct Samples {
    int Rate = 0;
    int Channels = 0;
    std::vector<int16_t> Data;
    int64_t Frames() const { return Channels > 0 ? int64_t(Data.size()) / Channels : 0; }
    double Duration() const { return Rate > 0 ? double(Frames()) / Rate : 0; }
};

// Decodes the whole file: WAV by our own reader, MP3, FLAC and OGG by the codec library.
// progress (0 to 1) and cancel may be watched and set from another thread while it runs.
WaveRead Decode(const std::string& path, Samples& out, std::atomic<double>* progress = nullptr,
                const std::atomic<bool>* cancel = nullptr);

// The file name extensions this build reads, lower case, without the dot.
std::vector<std::string> ReadableExtensions();

// The waveform's envelope of decoded samples.
Envelope EnvelopeOf(const Samples& sound);

using Instant = std::chrono::steady_clock::time_point;

class Output {
public:
    virtual ~Output() = default;
    // Plays sound from the given second on; false, with the system's own reason in why, when
    // no output can be opened.
    virtual bool Play(std::shared_ptr<const Samples> sound, double fromSeconds,
                      std::string& why) = 0;
    virtual void Pause() = 0;
    // False once paused, or once the end has been heard.
    virtual bool Playing() const = 0;
    // The second of the sound heard at the given instant: the sample clock less the output's
    // latency. Between plays, where the last play stopped.
    virtual double Position(Instant when) const = 0;
    double Position() const { return Position(std::chrono::steady_clock::now()); }
    // What the output last said of its delay from a sample written to that sample heard, in
    // seconds; 0 when it does not know (for the figures only: Position counts it already).
    virtual double Latency() const { return 0; }
};

// The platform's output. Nothing is opened before the first Play.
std::unique_ptr<Output> MakeOutput();

} // namespace salvo::sound
