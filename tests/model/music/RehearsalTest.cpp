// Rehearsing with the music: the score of scripted presses; the cue track's words placed to the
// sample in the written file, in each variant; starts too close for a countdown and the two
// ways out.

#include "model/music/Rehearsal.h"
#include "RecordingServices.h"
#include "TempFolder.h"
#include "model/io/Wave.h"
#include "model/music/CueTrack.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace salvo;

namespace {

// Channels 1-3, 4-5, 6 and 7-8 as four sequences.
ChannelTable FourSequences() {
    ChannelTable t;
    const int32_t types[] = {Manual,    Automatic, Automatic, Manual,
                             Automatic, Manual,    Manual,    Automatic};
    for (int i = 0; i < 8; ++i) {
        t.SetChannelType(i, types[i]);
        t.Slots[size_t(i)].Steps = uint32_t(i + 1);
    }
    for (int i = 8; i < 30; ++i)
        t.Slots[size_t(i)].Type = Automatic; // the tail belongs to the last sequence
    return t;
}

std::vector<int16_t> Clip(int16_t base, size_t length) {
    std::vector<int16_t> c(length);
    for (size_t i = 0; i < length; ++i)
        c[i] = static_cast<int16_t>(base + int(i % 50));
    return c;
}

CueVoice TestVoice(int rate) {
    CueVoice v;
    v.Sequence = Clip(1000, size_t(rate) * 4 / 10);
    for (int n = 1; n <= MaxSpokenNumber; ++n)
        v.Numbers[size_t(n)] = Clip(int16_t(2000 + 100 * n), size_t(rate) / 2);
    v.Three = Clip(6000, size_t(rate) / 3);
    v.Two = Clip(7000, size_t(rate) / 3);
    v.One = Clip(8000, size_t(rate) / 3);
    v.Fire = Clip(9000, size_t(rate) * 4 / 10);
    return v;
}

struct Track {
    int Channels = 0, Rate = 0;
    std::vector<int16_t> Samples;
    int16_t At(int64_t frame, int channel) const {
        return Samples[size_t(frame * Channels + channel)];
    }
};

Track ReadTrack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Track t;
    EXPECT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    uint32_t riff, data;
    uint16_t format, bits;
    std::memcpy(&riff, bytes.data() + 4, 4);
    std::memcpy(&format, bytes.data() + 20, 2);
    std::memcpy(&bits, bytes.data() + 34, 2);
    std::memcpy(&data, bytes.data() + 40, 4);
    EXPECT_EQ(riff, bytes.size() - 8);
    EXPECT_EQ(data, bytes.size() - 44);
    EXPECT_EQ(format, 1);
    EXPECT_EQ(bits, 16);
    uint16_t channels;
    uint32_t rate;
    std::memcpy(&channels, bytes.data() + 22, 2);
    std::memcpy(&rate, bytes.data() + 24, 4);
    t.Channels = channels;
    t.Rate = int(rate);
    t.Samples.resize((bytes.size() - 44) / 2);
    std::memcpy(t.Samples.data(), bytes.data() + 44, t.Samples.size() * 2);
    return t;
}

// Whether the clip lies in the track's channel from frame on (mixed over what lies under it).
bool ClipAt(const Track& t, int channel, int64_t frame, const std::vector<int16_t>& clip,
            const std::vector<int16_t>& under = {}) {
    for (size_t i = 0; i < clip.size(); ++i) {
        const int32_t beneath = under.empty() ? 0 : under[size_t(frame) + i] / 2;
        if (t.At(frame + int64_t(i), channel) != clip[i] + beneath)
            return false;
    }
    return true;
}

} // namespace

TEST(RehearsalScore, ScriptedPressesGiveTheGapsAndTheirMeanAndLargest) {
    RehearsalRun run(RehearsalSequences(FourSequences(), {{1, 10}, {4, 20.5}, {6, 31}, {7, 40}}));
    ASSERT_EQ(run.Sequences().size(), 4u);
    EXPECT_EQ(run.Next(), 0);
    EXPECT_DOUBLE_EQ(*run.Countdown(7.5), 2.5);
    EXPECT_EQ(run.Press(9.8), 0);
    EXPECT_EQ(run.Press(20.75), 1);
    // Seeking back to before the second start: it can be pressed again, replacing the first try.
    run.Seek(15);
    EXPECT_EQ(run.Next(), 1);
    EXPECT_FALSE(run.Pending());
    EXPECT_EQ(run.Press(20.5), 1);
    EXPECT_EQ(run.Press(32.13), 2);
    // The last sequence is never pressed (stopped before it).
    const Score score = ScoreOf(run.Sequences(), run.Presses());
    struct Row {
        int number, channel;
        const char *gap, *verdict;
    };
    const Row rows[] = {{1, 0, "-0,20", "en avance"},
                        {2, 3, "+0,00", "à l'heure"},
                        {3, 5, "+1,13", "en retard"},
                        {4, 6, nullptr, nullptr}};
    ASSERT_EQ(score.Rows.size(), 4u);
    for (const Row& r : rows) {
        const ScoreRow& got = score.Rows[size_t(r.number - 1)];
        EXPECT_EQ(got.Number, r.number);
        EXPECT_EQ(got.ManualChannel, r.channel);
        EXPECT_EQ(got.Gap.has_value(), r.gap != nullptr);
        if (r.gap) {
            EXPECT_EQ(GapText(*got.Gap, ','), r.gap);
            EXPECT_EQ(GapVerdict(*got.Gap), r.verdict);
        }
    }
    EXPECT_EQ(score.PressedCount, 3);
    EXPECT_NEAR(score.MeanGap, (0.2 + 0 + 1.13) / 3, 1e-12);
    EXPECT_EQ(ScoreSummary(score, ','),
              "Écart moyen : 0,44 s ; écart le plus grand : +1,13 s (séquence 3)");
    EXPECT_EQ(ScoreSummary(ScoreOf(run.Sequences(), {}), '.'), "Aucune séquence n'a été lancée.");

    const PlannedStartMap adopted = AdoptedStarts(score, {{1, 10}, {4, 20.5}});
    const PlannedStartMap expected = {{1, 9.8}, {4, 20.5}, {6, 32.13}, {7, 40}};
    EXPECT_EQ(adopted, expected);
}

// A product's lift time puts its channel's effect that long after the device fires it, and the
// chain's effects come in the order they show, not in channel order.
TEST(RehearsalRun, EffectsShowTheirLiftTimeAfterTheIgnition) {
    // Sequence 1: channels 1 to 3 fired 0,2, 0,6 and 1,2 s after the press.
    RehearsalRun run(RehearsalSequences(FourSequences(), {{1, 10}}, {{2, 1500}, {3, 0}}));
    EXPECT_EQ(run.Press(10), 0);
    auto channels = [](const std::vector<RehearsalRun::Fired>& fired) {
        std::vector<std::pair<int, double>> out;
        for (const RehearsalRun::Fired& f : fired)
            out.push_back({f.Channel, f.Due});
        return out;
    };
    using Due = std::vector<std::pair<int, double>>;
    EXPECT_EQ(channels(run.Advance(12.09)), (Due{{0, 10.2}, {2, 11.2}}));
    EXPECT_EQ(channels(run.Advance(12.1)), (Due{{1, 12.1}}));
}

TEST(CueTrack, EachFireBeginsOnItsPlannedStartToTheSampleInEveryVariant) {
    TempFolder folder;
    const int rate = 8000;
    // Sixteen seconds of music in stereo: a ramp on the left, its negative on the right.
    std::vector<int16_t> music;
    std::vector<int16_t> mono;
    for (int i = 0; i < rate * 16; ++i) {
        const auto v = static_cast<int16_t>((i % 4000) - 2000);
        music.push_back(v);
        music.push_back(static_cast<int16_t>(v / 3));
        mono.push_back(static_cast<int16_t>((v + v / 3) / 2));
    }
    const std::string musicPath = folder.Write("music.wav", WaveBytes(music, 2, rate));
    const CueVoice voice = TestVoice(rate);
    // The second start is 7 s after the first: a full countdown each.
    const std::vector<CueStart> starts = {{1, 5.0}, {2, 12.0003}, {3, 14.5}};
    EXPECT_TRUE(CueConflicts({starts[0], starts[1]}, 5).empty());

    for (CueVariant variant : {CueVariant::Stereo, CueVariant::MonoMix, CueVariant::BeepsOnly}) {
        const std::string out = folder.Path("cues.wav");
        WaveFileSource source;
        ASSERT_TRUE(source.Open(musicPath));
        ASSERT_EQ(WriteCueTrack(out, &source, {starts[0], starts[1]}, 5, voice, variant, 44100),
                  CueWrite::Written);
        const Track t = ReadTrack(out);
        EXPECT_EQ(t.Rate, rate);
        const int cue = variant == CueVariant::MonoMix ? 0 : 1;
        EXPECT_EQ(t.Channels, cue + 1);
        EXPECT_EQ(t.Samples.size(), size_t(rate * 16 * t.Channels));
        const std::vector<int16_t> under = cue == 0 ? mono : std::vector<int16_t>();
        for (const CueStart& s : {starts[0], starts[1]}) {
            const int64_t fire = SampleAt(s.Planned, rate);
            if (variant == CueVariant::BeepsOnly) {
                EXPECT_TRUE(ClipAt(t, 1, fire, BeepSamples(true, rate)));
                EXPECT_TRUE(ClipAt(t, 1, fire - rate, BeepSamples(false, rate)));
                EXPECT_TRUE(ClipAt(t, 1, fire - 3 * rate, BeepSamples(false, rate)));
                EXPECT_EQ(t.At(fire - 1, 1), 0);
                continue;
            }
            EXPECT_TRUE(ClipAt(t, cue, fire, voice.Fire, under)) << s.Number;
            EXPECT_TRUE(ClipAt(t, cue, fire - rate, voice.One, under));
            EXPECT_TRUE(ClipAt(t, cue, fire - 2 * rate, voice.Two, under));
            EXPECT_TRUE(ClipAt(t, cue, fire - 3 * rate, voice.Three, under));
            EXPECT_TRUE(ClipAt(t, cue, fire - 5 * rate, voice.Sequence, under));
            EXPECT_TRUE(ClipAt(t, cue, fire - 5 * rate + int64_t(voice.Sequence.size()),
                               voice.Numbers[size_t(s.Number)], under));
            // Nothing said just before "feu" nor just before the countdown.
            EXPECT_EQ(t.At(fire - 1, cue), cue == 0 ? mono[size_t(fire - 1)] / 2 : 0);
        }
        if (cue == 1) {
            for (size_t i = 0; i < mono.size(); i += 997)
                ASSERT_EQ(t.At(int64_t(i), 0), mono[i]) << i;
        }
    }

    // Without music, at the rate asked: the track lasts until the last "feu" has been said.
    const std::string beeps = folder.Path("bips.wav");
    ASSERT_EQ(WriteCueTrack(beeps, nullptr, starts, 5, voice, CueVariant::BeepsOnly, rate),
              CueWrite::Written);
    EXPECT_EQ(ReadTrack(beeps).Samples.size(),
              size_t(2 * (SampleAt(14.5, rate) + int64_t(BeepSamples(true, rate).size()))));
    // A folder that does not exist: nothing written, nothing left.
    EXPECT_EQ(WriteCueTrack(folder.Path("none/cues.wav"), nullptr, starts, 5, voice,
                            CueVariant::Stereo, rate),
              CueWrite::NotWritten);
}

TEST(CueTrack, StartsTooCloseAreNamedAndTheirCountdownsShortened) {
    const int rate = 1000;
    const CueVoice voice = TestVoice(rate);
    const std::vector<CueStart> starts = {{1, 3.5},  {2, 20},   {3, 24.2},
                                          {4, 26.4}, {5, 26.6}, {6, 40}};
    const auto conflicts = CueConflicts(starts, 5);
    ASSERT_EQ(conflicts.size(), 3u);
    EXPECT_EQ(ConflictText(starts, conflicts, 5, ','),
              "Ces départs sont trop proches pour un décompte de 5 secondes :\n\n"
              "Séquence 2 (20 s) et séquence 3 (24,2 s) : 4,20 s d'écart\n"
              "Séquence 3 (24,2 s) et séquence 4 (26,4 s) : 2,20 s d'écart\n"
              "Séquence 4 (26,4 s) et séquence 5 (26,6 s) : 0,20 s d'écart\n\n"
              "Le décompte d'une séquence commencerait avant le « feu » de la précédente.");
    EXPECT_TRUE(CueConflicts(starts, 0).empty());

    // Which words each start keeps: none before the music or the previous start; the
    // announcement moves later when it still ends before "trois".
    std::map<int, std::vector<std::pair<CueWord, int64_t>>> words;
    for (const CuePlacement& p : PlaceCues(starts, 5, rate, voice, CueVariant::Stereo))
        words[p.Number].push_back({p.Word, p.Sample});
    using W = CueWord;
    const std::map<int, std::vector<std::pair<CueWord, int64_t>>> expected = {
        {1, {{W::Three, 500}, {W::Two, 1500}, {W::One, 2500}, {W::Fire, 3500}}},
        {2,
         {{W::Sequence, 15000},
          {W::Number, 15400},
          {W::Three, 17000},
          {W::Two, 18000},
          {W::One, 19000},
          {W::Fire, 20000}}},
        {3,
         {{W::Sequence, 20200},
          {W::Number, 20600},
          {W::Three, 21200},
          {W::Two, 22200},
          {W::One, 23200},
          {W::Fire, 24200}}},
        {4, {{W::Two, 24400}, {W::One, 25400}, {W::Fire, 26400}}},
        {5, {{W::Fire, 26600}}},
        {6,
         {{W::Sequence, 35000},
          {W::Number, 35400},
          {W::Three, 37000},
          {W::Two, 38000},
          {W::One, 39000},
          {W::Fire, 40000}}}};
    EXPECT_EQ(words, expected);
}

TEST(CueTrack, JoiningTheSecondSequenceKeepsItsPlannedStartThroughTheRules) {
    struct Case {
        double secondStart;
        JoinResult result;
        uint16_t joinedWord; // channel 4 afterwards
    };
    // Sequence 1: channels 1-3 at 0, 1 and 2 s; sequence 2: channels 4-5 at 0,6 and 1,6 s.
    const Case cases[] = {
        // 13,35 + 0,6 - (10 + 2) = 1,95 s: 10 steps, channel 4 fires at 14 s instead of 13,95.
        {13.35, JoinResult::Joined, 0x8000 | 10},
        // Channel 4 would fire before channel 3: refused, nothing changes.
        {10.5, JoinResult::NotAfterPrevious, 3},
        // Farther than the longest delay: refused, where the rules would move it next to channel 3.
        {7000, JoinResult::TooFar, 3},
    };
    for (const Case& c : cases) {
        ChannelTable table;
        ShownTimeArray shown{};
        RecordingServices cells;
        DelayRules rules(table, shown, cells, ',');
        const std::pair<int32_t, double> program[] = {
            {Manual, 0}, {Automatic, 1}, {Automatic, 2}, {Manual, 0.6}, {Automatic, 1.6}};
        for (int i = 0; i < 5; ++i) {
            rules.ChangeChannelType(i, program[i].first);
            rules.ApplyChannelTime(i, program[i].second);
        }
        PlannedStartMap starts = {{1, 10}, {4, c.secondStart}, {6, 30}};
        EXPECT_EQ(JoinToPreviousSequence(table, shown, cells, ',', starts, 3), c.result);
        EXPECT_EQ(table.ChannelWord(3), c.joinedWord) << c.secondStart;
        EXPECT_EQ(table.ChannelWord(4), 0x8000 | 5) << c.secondStart; // own delay kept
        EXPECT_TRUE(cells.Warnings.empty());
        EXPECT_EQ(starts.count(4), c.result == JoinResult::Joined ? 0u : 1u);
        EXPECT_EQ(starts.at(6), 30);
        if (c.result == JoinResult::Joined) {
            EXPECT_EQ(cells.TypeCells[3], "Automatique");
            EXPECT_EQ(cells.DelayCells[3], "4");
            EXPECT_EQ(cells.DelayCells[4], "5");
            // Sequence 1 now runs on to channel 5, channel 4 within half a step of its plan.
            const auto run = RehearsalSequences(table, starts);
            ASSERT_EQ(run[0].Chain.size(), 5u);
            EXPECT_NEAR(10 + run[0].Chain[3].Milliseconds / 1000.0, c.secondStart + 0.6, 0.1);
        }
    }
    ChannelTable table;
    ShownTimeArray shown{};
    RecordingServices cells;
    PlannedStartMap starts;
    EXPECT_EQ(JoinToPreviousSequence(table, shown, cells, ',', starts, 0),
              JoinResult::NoSequenceBefore);
}
