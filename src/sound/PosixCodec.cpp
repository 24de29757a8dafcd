// MP3, FLAC, OGG and other WAV encodings through libsndfile (1.1 and later read MP3).

#include "sound/Codec.h"
#include "sound/PosixLibrary.h"
#include "sound/SndfileRead.h"

#include <sndfile.h>

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
    return ReadSndfile(
        info,
        [&](short* buffer, sf_count_t frames) { return sf.sf_readf_short(file, buffer, frames); },
        [&] { return sf.sf_error(file) != SF_ERR_NO_ERROR; }, out, progress, cancel);
}

} // namespace salvo::sound
