// Windows: MP3, FLAC, OGG and other WAV encodings through libsndfile and its codecs, linked in
// statically (scripts/build-sound-windows builds them from Debian's sources), so that this build
// reads what the Linux one reads, with the same library, and the program needs no DLL of ours.
// Wine's Media Foundation decodes through GStreamer: the same files would give other samples,
// or none, under Wine than on Windows.

// First, so that sndfile.h declares sf_wchar_open: our paths are UTF-8, and the narrow sf_open
// reads them in the ANSI code page.
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <sndfile.h>

#include "sound/Codec.h"
#include "sound/SndfileRead.h"

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
    return ReadSndfile(
        info,
        [&](short* buffer, sf_count_t frames) { return sf_readf_short(file, buffer, frames); },
        [&] { return sf_error(file) != SF_ERR_NO_ERROR; }, out, progress, cancel);
}

} // namespace salvo::sound
