#pragma once
// The codec library that reads what our own WAV reader does not: per platform.

#include "sound/Sound.h"

namespace salvo::sound {

// Decodes a file with the codec library. NotWave when the library makes nothing of it.
WaveRead CodecDecode(const std::string& path, Samples& out, std::atomic<double>* progress,
                     const std::atomic<bool>* cancel);
// The extensions the codec library reads beside WAV; none when it is missing.
std::vector<std::string> CodecExtensions();

} // namespace salvo::sound
