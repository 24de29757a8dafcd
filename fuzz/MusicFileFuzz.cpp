// Random bytes as a program's companion music file. Whatever they hold, the reading either
// names the first line it does not understand and gives no music, or gives music that keeps
// the rules (sorted markers within a day, starts of channels 1 to 30, a tap lag of 0 to
// 0.5 s); and that music, written and read again, is the same, then writes the same bytes.
// Read as a show (products and declaration beside the music), they give the same music, and a
// show that reads writes bytes that read back to the same show and the same bytes.

#include "FuzzCheck.h"
#include "model/music/MusicFile.h"
#include "model/products/ShowFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace salvo;

namespace {

const char* const Program = "/spectacle/final/show.tir";

bool Same(const MusicData& a, const MusicData& b) {
    if (a.SoundPath != b.SoundPath || a.Starts != b.Starts || a.TapLag != b.TapLag ||
        a.Markers.size() != b.Markers.size())
        return false;
    for (size_t i = 0; i < a.Markers.size(); ++i)
        if (a.Markers[i].Time != b.Markers[i].Time || a.Markers[i].Text != b.Markers[i].Text)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    MusicData music;
    music.Markers = {{1, "avant"}};
    const MusicReadResult r = ParseMusicFile(bytes, Program, music);
    ShowData show;
    show.Declaration.Place = "avant";
    const MusicReadResult s = ParseShowFile(bytes, Program, show);
    if (s.Status == MusicRead::Read) {
        const std::string written = ShowFileBytes(show, Program);
        ShowData back;
        FUZZ_CHECK(ParseShowFile(written, Program, back).Status == MusicRead::Read);
        FUZZ_CHECK(back.Channels == show.Channels && back.Declaration == show.Declaration &&
                   Same(back.Music, show.Music));
        FUZZ_CHECK(ShowFileBytes(back, Program) == written);
    } else {
        FUZZ_CHECK(s.Status == MusicRead::Invalid && s.Line >= 1 && show.Empty());
    }
    if (r.Status != MusicRead::Read) {
        FUZZ_CHECK(r.Status == MusicRead::Invalid && r.Line >= 1 && music.Empty());
        return 0;
    }
    FUZZ_CHECK(r.Line == 0);
    FUZZ_CHECK(s.Status == MusicRead::Read && Same(show.Music, music) && show.Channels.empty());
    FUZZ_CHECK(music.TapLag >= 0 && music.TapLag <= 0.5);
    for (const auto& [channel, start] : music.Starts)
        FUZZ_CHECK(channel >= 1 && channel <= 30 && start >= 0 && start <= MaxMusicSeconds);
    for (size_t i = 0; i < music.Markers.size(); ++i) {
        const double t = music.Markers[i].Time;
        FUZZ_CHECK(std::isfinite(t) && t >= 0 && t <= MaxMusicSeconds);
        FUZZ_CHECK(i == 0 || music.Markers[i - 1].Time <= t);
    }

    const std::string written = MusicFileBytes(music, Program);
    MusicData back;
    FUZZ_CHECK(ParseMusicFile(written, Program, back).Status == MusicRead::Read);
    FUZZ_CHECK(Same(back, music));
    FUZZ_CHECK(MusicFileBytes(back, Program) == written);
    return 0;
}
