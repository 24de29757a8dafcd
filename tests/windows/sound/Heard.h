#pragma once
// Where the samples played are in a recording of the null sink's monitor, and how faithfully.
// A starved stream (a machine too busy for Wine's own threads) goes silent a while and may lose
// the few frames that came too late: silence may come in between and a few frames go missing,
// but what is heard must be the samples played, in order, unchanged. Both are interleaved
// 16-bit stereo.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace salvo::sound {

// A recording's 16-bit samples (interleaved), from byte `from` on.
inline std::vector<int16_t> ReadRaw(const std::string& path, std::streamoff from = 0) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

struct Heard {
    size_t First = 0;     // the recording's first sample that is not silence
    size_t Skipped = 0;   // samples played before it that were not recorded
    size_t Next = 0;      // the first sample played not found in the recording
    size_t Differing = 0; // frames heard that were not played
    size_t Silent = 0;    // frames of silence heard in between
    size_t Lost = 0;      // frames played and never heard
};

// `resync`: how far ahead (in frames) lost frames are looked for. A recording that differs in
// more than a thousand frames is given up on.
inline Heard FindHeard(const std::vector<int16_t>& played, const std::vector<int16_t>& heard,
                       size_t resync = 441) {
    auto same = [&](size_t r, size_t n) {
        return r + 5 < heard.size() && n + 5 < played.size() &&
               std::equal(played.begin() + n, played.begin() + n + 6, heard.begin() + r);
    };
    Heard h;
    while (h.First < heard.size() && heard[h.First] == 0)
        ++h.First;
    h.First -= h.First % 2;
    // Lined up on 32 frames: a sound that fades in starts with small values, few enough to
    // match by chance.
    constexpr size_t Lineup = 64;
    while (h.Skipped < 4410 * 2 && h.Skipped + Lineup < played.size() &&
           h.First + Lineup < heard.size() &&
           !std::equal(played.begin() + h.Skipped, played.begin() + h.Skipped + Lineup,
                       heard.begin() + h.First))
        h.Skipped += 2;
    h.Next = h.Skipped;
    for (size_t r = h.First; r + 1 < heard.size() && h.Next < played.size() && h.Differing <= 1000;
         r += 2) {
        if (heard[r] == played[h.Next] && heard[r + 1] == played[h.Next + 1]) {
            h.Next += 2;
        } else if (heard[r] == 0 && heard[r + 1] == 0) {
            ++h.Silent;
        } else {
            size_t ahead = h.Next + 2;
            while (ahead < h.Next + resync * 2 && ahead < played.size() && !same(r, ahead))
                ahead += 2;
            if (ahead < h.Next + resync * 2 && ahead < played.size()) {
                h.Lost += (ahead - h.Next) / 2;
                h.Next = ahead + 2;
            } else {
                ++h.Differing;
            }
        }
    }
    return h;
}

} // namespace salvo::sound
