#pragma once
// What both systems do with a file libsndfile has opened: the checks, the read to the end,
// progress and cancelling. Each system brings its own calls (loaded at run time on Linux,
// linked in on Windows).

#include "sound/Sound.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace salvo::sound {

// readFrames(short* buffer, sf_count_t frames) -> frames read; failed() -> true on a read error.
template <class ReadFrames, class Failed>
WaveRead ReadSndfile(const SF_INFO& info, ReadFrames readFrames, Failed failed, Samples& out,
                     std::atomic<double>* progress, const std::atomic<bool>* cancel) {
    if (info.channels < 1 || info.samplerate < 1)
        return WaveRead::NotWave;
    if (info.channels > MaxWaveChannels)
        return WaveRead::TooManyChannels;
    if (info.samplerate < MinWaveRate || info.samplerate > MaxWaveRate)
        return WaveRead::UnsupportedRate;
    Samples s;
    s.Rate = info.samplerate;
    s.Channels = info.channels;
    // The length is an estimate for some formats (MP3): read until the end.
    if (info.frames > 0 && info.frames < (int64_t(1) << 31))
        s.Data.reserve(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    constexpr sf_count_t chunk = 16384;
    std::vector<short> buffer(size_t(chunk) * static_cast<size_t>(info.channels));
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return WaveRead::Cancelled;
        const sf_count_t got = readFrames(buffer.data(), chunk);
        if (got <= 0)
            break;
        s.Data.insert(s.Data.end(), buffer.begin(),
                      buffer.begin() + static_cast<long>(got) * info.channels);
        if (progress && info.frames > 0)
            progress->store(std::min(1.0, double(s.Frames()) / double(info.frames)),
                            std::memory_order_relaxed);
    }
    if (failed())
        return s.Data.empty() ? WaveRead::NotWave : WaveRead::Failed;
    if (s.Data.empty())
        return WaveRead::NoSound;
    out = std::move(s);
    return WaveRead::Read;
}

} // namespace salvo::sound
