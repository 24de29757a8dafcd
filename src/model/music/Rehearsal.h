#pragma once
// Rehearsing a show with its music: the operator presses where the device's button would be
// pressed, and each sequence's automatic chain then fires as the device times it. The times
// come from the channel words the transfer sends, counted in whole steps as the device counts
// them, never from the texts shown in the grid.

#include "model/music/MusicFit.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace salvo {

constexpr int64_t StepMilliseconds = 200;

// The words of the channels in use, as the transfer sends them.
std::vector<uint16_t> ChannelWords(const ChannelTable& table);

// One channel of a chain: when it fires after the press, in milliseconds.
struct ChainShot {
    int Channel = 0; // 0-based slot index
    int64_t Milliseconds = 0;
    int64_t LiftMilliseconds = 0; // from its ignition to its effect
};

// The products' lift times by channel number (from 1), in milliseconds.
using LiftMap = std::map<int, int64_t>;

// The chain started by the manual channel at first: that channel and the automatic ones after
// it, each firing after the sum of the step counts from the manual channel up to itself.
std::vector<ChainShot> ChainFromWords(const std::vector<uint16_t>& words, int first);

// One sequence of the rehearsal: its chain and where it is meant to start in the music.
struct RehearsalSequence {
    int Number = 0;        // 1 for the first sequence of the program
    int ManualChannel = 0; // 0-based slot index
    double Planned = 0;    // seconds into the music
    std::vector<ChainShot> Chain;
};

std::vector<RehearsalSequence> RehearsalSequences(const ChannelTable& table,
                                                  const PlannedStartMap& starts,
                                                  const LiftMap& lifts = {});

// A rehearsal run, driven by the music's position: presses start sequences in order, and
// Advance reports the channels whose time has come.
class RehearsalRun {
public:
    explicit RehearsalRun(std::vector<RehearsalSequence> sequences);

    const std::vector<RehearsalSequence>& Sequences() const { return Items; }
    // Pressed times in seconds of music, one per sequence; empty where not pressed.
    const std::vector<std::optional<double>>& Presses() const { return Pressed; }

    // Playing from position: the next sequence is the first whose planned start is at or after
    // position (a press again replaces the earlier one); chains under way are dropped.
    void Seek(double position);
    // The sequence the next press starts, or -1 when every sequence is behind.
    int Next() const { return NextIndex; }
    // Seconds from position to the next sequence's planned start.
    std::optional<double> Countdown(double position) const;
    // A press at position: starts the next sequence. Returns its index, or -1.
    int Press(double position);

    struct Fired {
        int Channel = 0;
        int Sequence = 0;
        double Due = 0; // seconds of music at which its effect shows (ignition + lift)
    };
    // The channels whose effect is due at or before position since the last call, in order.
    std::vector<Fired> Advance(double position);
    // Channels pressed but not yet fired.
    bool Pending() const { return !Queue.empty(); }

private:
    std::vector<RehearsalSequence> Items;
    std::vector<std::optional<double>> Pressed;
    std::vector<Fired> Queue; // sorted by due time
    int NextIndex = -1;
};

// The score of a rehearsal.
struct ScoreRow {
    int Number = 0;
    int ManualChannel = 0;
    double Planned = 0;
    std::optional<double> Pressed;
    std::optional<double> Gap; // pressed - planned: positive is late
};

struct Score {
    std::vector<ScoreRow> Rows;
    int PressedCount = 0;
    double MeanGap = 0;    // of the gaps' sizes
    double LargestGap = 0; // signed: the gap whose size is largest
    int LargestNumber = 0; // its sequence
};

Score ScoreOf(const std::vector<RehearsalSequence>& sequences,
              const std::vector<std::optional<double>>& presses);

// Texts of the score: gaps with their sign and two decimals, "0,25 s en retard".
std::string GapText(double gap, char separator);
std::string GapVerdict(double gap);
std::string ScoreSummary(const Score& score, char separator);

// The pressed times as planned starts (keyed by manual channel number); sequences not pressed
// keep their entries.
PlannedStartMap AdoptedStarts(const Score& score, const PlannedStartMap& starts);

} // namespace salvo
