// MP3, FLAC, OGG and other WAV encodings through libsndfile (1.1 and later read MP3).

#include "sound/Codec.h"
#include "sound/PosixLibrary.h"

#include <sndfile.h>

#include <algorithm>
#include <mutex>

namespace salvo::sound {

namespace {

#define SALVO_SNDFILE(X) X(sf_open) X(sf_close) X(sf_readf_short) X(sf_error) X(sf_command)

struct Sndfile {
#define SALVO_DECLARE(f) decltype(&::f) f = nullptr;
    SALVO_SNDFILE(SALVO_DECLARE)
#undef SALVO_DECLARE
    bool Loaded = false;
    bool Mp3 = false;
};

const Sndfile& Api() {
    static Sndfile api;
    static std::once_flag once;
    std::call_once(once, [] {
        static Library library;
        std::string why;
        if (!library.Open("libsndfile.so.1", why))
            return;
        bool all = true;
#define SALVO_LOAD(f) all = library.Get(#f, api.f, why) && all;
        SALVO_SNDFILE(SALVO_LOAD)
#undef SALVO_LOAD
        if (!all)
            return;
        api.Loaded = true;
        // MP3 only from the version that reads it.
        int count = 0;
        api.sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
        for (int i = 0; i < count; ++i) {
            SF_FORMAT_INFO info{};
            info.format = i;
            api.sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
            if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
                api.Mp3 = true;
        }
    });
    return api;
}

} // namespace

std::vector<std::string> CodecExtensions() {
    const Sndfile& sf = Api();
    if (!sf.Loaded)
        return {};
    std::vector<std::string> e = {"flac", "ogg"};
    if (sf.Mp3)
        e.insert(e.begin(), "mp3");
    return e;
}

WaveRead CodecDecode(const std::string& path, Samples& out, std::atomic<double>* progress,
                     const std::atomic<bool>* cancel) {
    const Sndfile& sf = Api();
    if (!sf.Loaded)
        return WaveRead::NotWave;
    SF_INFO info{};
    SNDFILE* file = sf.sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return WaveRead::NotWave;
    struct Closer {
        const Sndfile& Sf;
        SNDFILE* File;
        ~Closer() { Sf.sf_close(File); }
    } closer{sf, file};
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
        const sf_count_t got = sf.sf_readf_short(file, buffer.data(), 16384);
        if (got <= 0)
            break;
        s.Data.insert(s.Data.end(), buffer.begin(),
                      buffer.begin() + static_cast<long>(got) * info.channels);
        if (progress && info.frames > 0)
            progress->store(std::min(1.0, double(s.Frames()) / double(info.frames)),
                            std::memory_order_relaxed);
    }
    if (sf.sf_error(file) != SF_ERR_NO_ERROR)
        return s.Data.empty() ? WaveRead::NotWave : WaveRead::Failed;
    if (s.Data.empty())
        return WaveRead::NoSound;
    out = std::move(s);
    return WaveRead::Read;
}

} // namespace salvo::sound
