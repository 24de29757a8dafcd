#include "model/music/Rehearsal.h"

#include <algorithm>
#include <cmath>

namespace salvo {

std::vector<uint16_t> ChannelWords(const ChannelTable& table) {
    std::vector<uint16_t> words;
    for (int i = 0; i < table.ChannelCount(); ++i)
        words.push_back(table.ChannelWord(i));
    return words;
}

std::vector<ChainShot> ChainFromWords(const std::vector<uint16_t>& words, int first) {
    std::vector<ChainShot> chain;
    int64_t steps = 0;
    for (size_t i = static_cast<size_t>(first); i < words.size(); ++i) {
        const bool automatic = (words[i] & 0x8000u) != 0;
        if (i > static_cast<size_t>(first) && !automatic)
            break;
        steps += words[i] & 0x7FFF;
        chain.push_back({static_cast<int>(i), steps * StepMilliseconds});
    }
    return chain;
}

std::vector<RehearsalSequence>
RehearsalSequences(const ChannelTable& table, const PlannedStartMap& starts, const LiftMap& lifts) {
    const std::vector<SequenceSpan> spans = SequencesOf(table);
    const std::vector<double> planned = PlannedStarts(spans, starts);
    const std::vector<uint16_t> words = ChannelWords(table);
    std::vector<RehearsalSequence> out;
    for (size_t s = 0; s < spans.size(); ++s) {
        std::vector<ChainShot> chain = ChainFromWords(words, spans[s].First);
        for (ChainShot& shot : chain) {
            auto lift = lifts.find(shot.Channel + 1);
            if (lift != lifts.end())
                shot.LiftMilliseconds = std::max<int64_t>(0, lift->second);
        }
        out.push_back({static_cast<int>(s) + 1, spans[s].First, planned[s], std::move(chain)});
    }
    return out;
}

RehearsalRun::RehearsalRun(std::vector<RehearsalSequence> sequences)
    : Items(std::move(sequences)), Pressed(Items.size()) {
    Seek(0);
}

void RehearsalRun::Seek(double position) {
    Queue.clear();
    NextIndex = -1;
    for (size_t s = 0; s < Items.size(); ++s)
        if (Items[s].Planned >= position) {
            NextIndex = static_cast<int>(s);
            break;
        }
}

std::optional<double> RehearsalRun::Countdown(double position) const {
    if (NextIndex < 0)
        return std::nullopt;
    return Items[static_cast<size_t>(NextIndex)].Planned - position;
}

int RehearsalRun::Press(double position) {
    if (NextIndex < 0)
        return -1;
    const int s = NextIndex;
    Pressed[static_cast<size_t>(s)] = position;
    for (const ChainShot& shot : Items[static_cast<size_t>(s)].Chain) {
        // Whole milliseconds from the press, added once: no error piles up along a chain.
        Fired f{shot.Channel, s,
                position + double(shot.Milliseconds + shot.LiftMilliseconds) / 1000.0};
        Queue.insert(std::upper_bound(Queue.begin(), Queue.end(), f,
                                      [](const Fired& a, const Fired& b) { return a.Due < b.Due; }),
                     f);
    }
    NextIndex = s + 1 < static_cast<int>(Items.size()) ? s + 1 : -1;
    return s;
}

std::vector<RehearsalRun::Fired> RehearsalRun::Advance(double position) {
    auto end = std::find_if(Queue.begin(), Queue.end(),
                            [position](const Fired& f) { return f.Due > position; });
    std::vector<Fired> due(Queue.begin(), end);
    Queue.erase(Queue.begin(), end);
    return due;
}

Score ScoreOf(const std::vector<RehearsalSequence>& sequences,
              const std::vector<std::optional<double>>& presses) {
    Score score;
    double total = 0;
    for (size_t s = 0; s < sequences.size(); ++s) {
        ScoreRow row{sequences[s].Number, sequences[s].ManualChannel, sequences[s].Planned, {}, {}};
        if (s < presses.size() && presses[s]) {
            row.Pressed = *presses[s];
            const double gap = *presses[s] - sequences[s].Planned;
            row.Gap = gap;
            total += std::fabs(gap);
            if (score.PressedCount == 0 || std::fabs(gap) > std::fabs(score.LargestGap)) {
                score.LargestGap = gap;
                score.LargestNumber = row.Number;
            }
            ++score.PressedCount;
        }
        score.Rows.push_back(row);
    }
    if (score.PressedCount > 0)
        score.MeanGap = total / score.PressedCount;
    return score;
}

std::string GapText(double gap, char separator) {
    return FormatResidual(gap, separator, true);
}

std::string GapVerdict(double gap) {
    const double hundredths = std::nearbyint(gap * 100);
    if (hundredths == 0)
        return "à l'heure";
    return hundredths > 0 ? "en retard" : "en avance";
}

std::string ScoreSummary(const Score& score, char separator) {
    if (score.PressedCount == 0)
        return "Aucune séquence n'a été lancée.";
    return "Écart moyen : " + FormatResidual(score.MeanGap, separator, false) +
           " s ; écart le plus grand : " + GapText(score.LargestGap, separator) + " s (séquence " +
           std::to_string(score.LargestNumber) + ")";
}

PlannedStartMap AdoptedStarts(const Score& score, const PlannedStartMap& starts) {
    PlannedStartMap out = starts;
    for (const ScoreRow& row : score.Rows) {
        if (row.Pressed)
            out[row.ManualChannel + 1] = *row.Pressed;
        else if (!out.count(row.ManualChannel + 1))
            out[row.ManualChannel + 1] = row.Planned; // keeps its place when others move
    }
    return out;
}

} // namespace salvo
