// Random bytes as a sound editor's label file. Whatever they hold, every line is either a
// marker or named as bad; the markers are sorted, within a day, with no marker twice; and
// written into a companion file they read back exactly, times and texts.

#include "FuzzCheck.h"
#include "model/music/MusicFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace salvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const LabelFile labels = ParseLabels(bytes);
    size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n';
    FUZZ_CHECK(labels.Markers.size() + labels.Bad.size() <= lines);
    for (size_t i = 0; i < labels.Markers.size(); ++i) {
        const Marker& m = labels.Markers[i];
        FUZZ_CHECK(std::isfinite(m.Time) && m.Time >= 0 && m.Time <= MaxMusicSeconds);
        FUZZ_CHECK(m.Text.find('\n') == std::string::npos);
        if (i > 0) {
            const Marker& before = labels.Markers[i - 1];
            FUZZ_CHECK(before.Time <= m.Time);
            FUZZ_CHECK(before.Time != m.Time || before.Text != m.Text);
        }
    }

    MusicData music;
    music.Markers = labels.Markers;
    MusicData back;
    FUZZ_CHECK(
        ParseMusicFile(MusicFileBytes(music, "/show/show.tir"), "/show/show.tir", back).Status ==
        MusicRead::Read);
    FUZZ_CHECK(back.Markers.size() == music.Markers.size());
    for (size_t i = 0; i < back.Markers.size(); ++i) {
        FUZZ_CHECK(back.Markers[i].Time == music.Markers[i].Time);
        FUZZ_CHECK(back.Markers[i].Text == music.Markers[i].Text);
    }
    return 0;
}
