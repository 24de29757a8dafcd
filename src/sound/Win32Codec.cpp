// Windows: MP3, FLAC, OGG and other WAV encodings through libsndfile and its codecs, linked in
// statically (scripts/build-sound-windows builds them from Debian's sources), so that this build
// reads what the Linux one reads, with the same library, and the program needs no DLL of ours.
// Wine's Media Foundation decodes through GStreamer: the same files would give other samples,
// or none, under Wine than on Windows.

#include "sound/Codec.h"

#include <windows.h>
// sf_wchar_open: our paths are UTF-8, and the narrow sf_open reads them in the ANSI code page.
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <sndfile.h>

#include <algorithm>

namespace salvo::sound {

std::vector<std::string> CodecExtensions() {
    return {"mp3", "flac", "ogg"};
}

WaveRead CodecDecode(const std::string& path, Samples& out, std::atomic<double>* progress,
                     const std::atomic<bool>* cancel) {
    std::wstring wide(path.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), int(path.size()),
                                wide.data(), int(wide.size()));
    if (n <= 0)
        return WaveRead::NotAccessible;
    wide.resize(size_t(n));
    SF_INFO info{};
    SNDFILE* file = sf_wchar_open(wide.c_str(), SFM_READ, &info);
    if (!file)
        return WaveRead::NotWave;
    struct Closer {
        SNDFILE* File;
        ~Closer() { sf_close(File); }
    } closer{file};
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
    std::vector<short> buffer(size_t(16384) * static_cast<size_t>(info.channels));
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return WaveRead::Cancelled;
        const sf_count_t got = sf_readf_short(file, buffer.data(), 16384);
        if (got <= 0)
            break;
        s.Data.insert(s.Data.end(), buffer.begin(),
                      buffer.begin() + static_cast<long>(got) * info.channels);
        if (progress && info.frames > 0)
            progress->store(std::min(1.0, double(s.Frames()) / double(info.frames)),
                            std::memory_order_relaxed);
    }
    if (sf_error(file) != SF_ERR_NO_ERROR)
        return s.Data.empty() ? WaveRead::NotWave : WaveRead::Failed;
    if (s.Data.empty())
        return WaveRead::NoSound;
    out = std::move(s);
    return WaveRead::Read;
}

} // namespace salvo::sound
