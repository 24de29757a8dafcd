#pragma once
// The operator's sheet: when to press the box's button, sequence after sequence. With music,
// each press at its planned start in the music and the marker there; without, the sequences
// in order. Products play no part in it.

#include "model/music/MusicFit.h"

#include <optional>
#include <string>
#include <vector>

namespace salvo {

struct OperatorRow {
    int Number = 0;              // of the sequence, from 1
    std::optional<double> Start; // the press in the music, in seconds; none without music
    std::string Marker;          // the text of the marker at the press, if any
    int FirstChannel = 0, LastChannel = 0; // numbered from 1
    double Duration = 0;         // from the press to its last channel
};

// starts: one per sequence, or empty for a program without music.
std::vector<OperatorRow> OperatorRows(const std::vector<SequenceSpan>& sequences,
                                      const std::vector<double>& starts,
                                      const std::vector<Marker>& markers);

// "2:31,4": minutes and seconds to the tenth.
std::string MinutesText(double seconds, char separator);
// "1 à 10", or "7" for a sequence of one channel.
std::string ChannelRange(int first, int last);

} // namespace salvo
