#pragma once
// What Decode makes of a file, as one line of text, so that the Linux build (wine-sound-envelope)
// and the Windows build under Wine can be compared: the result, the format, the length and the
// envelope's slices in 16-bit steps.
#include "sound/Sound.h"

#include <cmath>
#include <string>

namespace salvo::sound {

inline std::string DecodedText(const std::string& path) {
    Samples s;
    const WaveRead r = Decode(path, s);
    std::string line = "result " + std::to_string(int(r));
    if (r != WaveRead::Read)
        return line;
    line += " rate " + std::to_string(s.Rate) + " channels " + std::to_string(s.Channels) +
            " frames " + std::to_string(s.Frames()) + " slices";
    const Envelope e = EnvelopeOf(s);
    for (size_t i = 0; i < e.Min.size(); ++i)
        line += " " + std::to_string(std::lround(e.Min[i] * 32768)) + ":" +
                std::to_string(std::lround(e.Max[i] * 32768));
    return line;
}

// The files scripts/test-windows makes, in this order.
inline const char* const DecodedNames[] = {"source.wav",  "source.flac", "Feux d'été.flac",
                                           "source.ogg",  "source.mp3",  "text.mp3",
                                           "empty.ogg",   "missing.flac"};

} // namespace salvo::sound
