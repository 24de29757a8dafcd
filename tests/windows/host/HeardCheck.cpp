// Whether a recording of the null sink's monitor, from byte `from` on, holds a sound file as the
// Linux build decodes it, unchanged and in order (tests/windows-gui/run: the installed Windows
// program playing it). Reads the recording again until it holds the sound's end or `seconds`
// have passed; prints what it found. Exits 0 when every sample was heard unchanged, 1 otherwise.
//
//   wine-heard-check <recording.raw> <from> <sound file> <seconds>
#include "../sound/Heard.h"
#include "sound/Sound.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <recording.raw> <from> <sound file> <seconds>\n", argv[0]);
        return 2;
    }
    salvo::sound::Samples played;
    if (salvo::sound::Decode(argv[3], played) != salvo::WaveRead::Read || played.Rate != 44100 ||
        played.Channels != 2) {
        std::fprintf(stderr, "%s: not 44.1 kHz stereo sound here\n", argv[3]);
        return 2;
    }
    const std::streamoff from = std::stoll(argv[2]);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::stoi(argv[4]));
    salvo::sound::Heard h;
    for (;;) {
        const std::vector<int16_t> heard = salvo::sound::ReadRaw(argv[1], from);
        h = salvo::sound::FindHeard(played.Data, heard, 44100); // a skip of up to a second
        if (h.Next + 12 >= played.Data.size() || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const size_t frames = played.Data.size() / 2;
    std::printf("%zu of %zu frames heard in order, %zu missing at the start, %zu lost, %zu "
                "differing, %zu of silence between\n",
                h.Next / 2 - h.Skipped / 2 - h.Lost, frames, h.Skipped / 2, h.Lost, h.Differing,
                h.Silent);
    // What was heard must be the music, unchanged and in order, from its start to its end. A
    // stream Wine starved skips what came late: frames lost are said, and judged only when
    // they are most of the music.
    const bool right = h.Skipped < 441 * 2 && h.Next + 12 >= played.Data.size() &&
                       h.Differing == 0 && h.Lost < frames / 2;
    if (right && h.Lost > frames / 100)
        std::printf("the stream was starved: %zu frames skipped\n", h.Lost);
    return right ? 0 : 1;
}
