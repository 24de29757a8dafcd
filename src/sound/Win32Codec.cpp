// Windows: no codec library in this build yet, so WAV files only (read by our own reader).

#include "sound/Codec.h"

namespace salvo::sound {

std::vector<std::string> CodecExtensions() {
    return {};
}

WaveRead CodecDecode(const std::string&, Samples&, std::atomic<double>*, const std::atomic<bool>*) {
    return WaveRead::NotWave;
}

} // namespace salvo::sound
