// The music beside a program: chains fitted to markers without drift, the refusals, marker
// lists from sound editors, the companion file and its faults, the envelope of a WAV file.

#include "TempFolder.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "model/io/SafeFile.h"
#include "model/io/Wave.h"
#include "model/music/CueTrack.h"
#include "model/music/MusicFile.h"
#include "model/music/MusicFit.h"
#include "model/music/SoundEnvelope.h"
#include "model/music/TapLag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace salvo;

namespace {

// A program whose channel 1 is manual and channels 2 to n + 1 automatic.
void Chain(ProgramDocument& doc, int automatic) {
    for (int row = 2; row <= automatic + 1; ++row)
        doc.ChooseType(row, Automatic);
    if (automatic + 2 <= 30)
        doc.ChooseType(automatic + 2, Manual);
}

std::vector<Marker> Beats(double first, double beat, int count) {
    std::vector<Marker> out;
    for (int k = 0; k < count; ++k)
        out.push_back({first + k * beat, "temps " + std::to_string(k + 1)});
    return out;
}

// A RIFF/WAVE file of any layout; without a data chunk when data is null.
std::string WaveOf(int tag, int channels, int rate, int bits, const char* data, size_t size) {
    auto put = [](std::string& out, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    std::string fmt;
    put(fmt, uint32_t(tag), 2);
    put(fmt, uint32_t(channels), 2);
    put(fmt, uint32_t(rate), 4);
    put(fmt, uint32_t(rate * channels * bits / 8), 4);
    put(fmt, uint32_t(channels * bits / 8), 2);
    put(fmt, uint32_t(bits), 2);
    std::string out = "RIFF";
    put(out, uint32_t(4 + 8 + fmt.size() + (data ? 8 + size : 0)), 4);
    out += "WAVEfmt ";
    put(out, uint32_t(fmt.size()), 4);
    out += fmt;
    if (data) {
        out += "data";
        put(out, uint32_t(size), 4);
        out.append(data, size);
    }
    return out;
}

} // namespace

// Channel k lands within half a step of the k-th beat after the press, through the delay
// rules, where rounding each delay on its own drifts by a second or more.
TEST(MusicFit, ChainsStayOnTheBeat) {
    // Automatic channels after the manual one; the least that rounding each delay drifts by.
    struct Case {
        double bpm;
        int channels;
        double naiveDrift;
    } cases[] = {{120, 10, 0.6}, {120, 29, 2.5}, {128, 10, 0.6}, {128, 29, 1.9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpm) + " bpm, " + std::to_string(c.channels));
        const double beat = 60.0 / c.bpm, start = 7.37;
        const std::vector<Marker> markers = Beats(start + beat, beat, c.channels);
        ProgramDocument doc;
        Chain(doc, c.channels);
        ChainFit fit = FitChain(start, 0, c.channels, markers);
        ASSERT_EQ(fit.Problem, FitProblem::None);
        for (int k = 0; k < c.channels; ++k)
            doc.ApplyChannelTime(k + 1, fit.Times[static_cast<size_t>(k)]);
        EXPECT_TRUE(doc.Warnings.empty());
        std::vector<double> fired;
        for (int k = 1; k <= c.channels; ++k)
            fired.push_back(doc.Table.GetChannelTime(k));
        const std::vector<double> residuals =
            FitResiduals(start, fired, markers, fit.MarkerIndexes);
        EXPECT_LE(LargestResidual(residuals), 0.1 + 1e-9);

        std::vector<double> times;
        for (const Marker& m : markers)
            times.push_back(m.Time);
        const std::vector<double> naive = RoundEachDelay(start, 0, times);
        EXPECT_GE(LargestResidual(FitResiduals(start, naive, markers, fit.MarkerIndexes)),
                  c.naiveDrift);
    }
}

// With lift times from 0 to 4,2 s along a 30-channel chain, every effect lands within half a
// step of its beat through the delay rules; fitted by the ignitions, the effects miss by the lift.
TEST(MusicFit, LiftTimesPutEachEffectOnItsMarker) {
    const int automatic = 29;
    const double start = 7.37, beat = 60.0 / 128;
    const std::vector<Marker> markers = Beats(start + beat, beat, automatic);
    std::vector<double> lifts;
    for (int k = 0; k < automatic; ++k)
        lifts.push_back(0.15 * k); // off the grid on purpose
    ProgramDocument doc;
    Chain(doc, automatic);
    const ChainFit fit = FitChain(start, 0, automatic, markers, lifts);
    ASSERT_EQ(fit.Problem, FitProblem::None);
    for (int k = 0; k < automatic; ++k)
        doc.ApplyChannelTime(k + 1, fit.Times[static_cast<size_t>(k)]);
    EXPECT_TRUE(doc.Warnings.empty());
    std::vector<double> fired;
    for (int k = 1; k <= automatic; ++k)
        fired.push_back(doc.Table.GetChannelTime(k));
    EXPECT_LE(LargestResidual(FitResiduals(start, fired, markers, fit.MarkerIndexes, lifts)),
              0.1 + 1e-9);

    const ChainFit byIgnition = FitChain(start, 0, automatic, markers);
    EXPECT_GE(LargestResidual(
                  FitResiduals(start, byIgnition.Times, markers, byIgnition.MarkerIndexes, lifts)),
              4.1);
    // No lifts: the fitting as it always was.
    EXPECT_EQ(FitChain(start, 0, automatic, markers, std::vector<double>(automatic, 0.0)).Times,
              byIgnition.Times);
}

TEST(MusicFit, RefusalsChangeNothingAndSayWhy) {
    const std::vector<Marker> markers = {{1.0, ""}, {2.0, ""}, {2.05, ""}, {3.0, ""}};
    struct Case {
        double start, manual;
        int automatic;
        FitProblem problem;
        const char* text;
        double lift = 0; // on the automatic channels from liftFrom on
        int liftFrom = 0;
    } cases[] = {
        {0, 0, 0, FitProblem::NoAutomaticChannel,
         "La séquence de la voie 4 n'a pas de voie automatique à caler sur les repères."},
        {3, 0, 2, FitProblem::NoMarker,
         "Il n'y a aucun repère après le début de la séquence de la voie 4 (3 s)."},
        {2.5, 0, 2, FitProblem::TooFewMarkers,
         "La séquence de la voie 4 a 2 voies automatiques, mais il n'y a que 1 repères après son "
         "début (2,5 s)."},
        {0, 0, 3, FitProblem::SameStep,
         "Les repères n°2 (2 s) et n°3 (2,05 s) tombent sur le même pas de 0,2 s : deux voies ne "
         "peuvent pas partir au même instant."},
        {0.5, 0.6, 1, FitProblem::NotAfterManual,
         "Le repère n°1 (1 s) tombe sur la voie manuelle 4 ou avant elle : la première voie "
         "automatique doit partir après elle."},
        // A lift that takes the ignition back onto or before the channel before it, or before
        // the press; markers too close stay the markers' fault, lifts or not.
        {0, 0, 2, FitProblem::LiftBeforePrevious,
         "La voie 6 ne peut pas être calée : avec son temps de levée de 1,4 s, elle partirait "
         "avant la voie 5.",
         1.4, 1},
        {0, 0, 2, FitProblem::LiftWithPrevious,
         "La voie 6 ne peut pas être calée : avec son temps de levée de 1 s, elle partirait en "
         "même temps que la voie 5.",
         1.0, 1},
        {0, 0, 1, FitProblem::LiftBeforeStart,
         "La voie 5 ne peut pas être calée : avec son temps de levée de 1,2 s, elle partirait "
         "avant le début de la séquence.",
         1.2},
        {0, 0, 3, FitProblem::SameStep,
         "Les repères n°2 (2 s) et n°3 (2,05 s) tombent sur le même pas de 0,2 s : deux voies ne "
         "peuvent pas partir au même instant.",
         0.4},
    };
    for (const Case& c : cases) {
        std::vector<double> lifts(size_t(std::max(c.automatic, 0)), c.lift);
        std::fill_n(lifts.begin(), std::min(c.liftFrom, c.automatic), 0.0);
        ChainFit fit = FitChain(c.start, c.manual, c.automatic, markers, lifts);
        EXPECT_EQ(fit.Problem, c.problem) << c.text;
        EXPECT_TRUE(fit.Times.empty()) << c.text;
        const bool lift = fit.LiftChannel >= 0;
        EXPECT_EQ(FitProblemText(fit, markers, c.start, 4, ','),
                  std::string(c.text) + (lift ? "" : "\n\nAucun retard n'a été modifié."));
    }
    // A start put on a marker presses the button there: the next marker is the first channel's.
    ChainFit onMarker = FitChain(1.0, 0, 1, markers);
    ASSERT_EQ(onMarker.Problem, FitProblem::None);
    EXPECT_EQ(onMarker.MarkerIndexes, std::vector<int>{1});
    EXPECT_DOUBLE_EQ(onMarker.Times[0], 1.0);
}

TEST(MusicFit, SequencesStartWhereTheOneBeforeEnds) {
    ProgramDocument doc;
    doc.ChooseModel(0);
    Chain(doc, 3);                // 1 to 4, then 5 manual
    doc.TypeDelay(4, "2");        // sequence 1 ends at 2 s
    doc.ChooseType(6, Automatic); // 5 and 6
    doc.TypeDelay(6, "1,4");
    std::vector<SequenceSpan> seq = SequencesOf(doc.Table);
    ASSERT_EQ(seq.size(), 11u); // 1-4, 5-6, then 7 to 15 alone
    EXPECT_EQ(seq[1].First, 4);
    EXPECT_EQ(seq[1].Last, 5);
    EXPECT_EQ(SequenceOfChannel(seq, 5), 1);
    EXPECT_EQ(SequenceOfChannel(seq, 15), -1);
    std::vector<double> starts = PlannedStarts(seq, {{5, 30.0}});
    EXPECT_DOUBLE_EQ(starts[0], 0);
    EXPECT_DOUBLE_EQ(starts[1], 30);
    EXPECT_DOUBLE_EQ(starts[2], 31.4);
    EXPECT_EQ(FormatResidual(0.0789, ',', false), "0,08");
    EXPECT_EQ(FormatResidual(-0.1, ',', true), "-0,10");
    EXPECT_EQ(FormatResidual(-0.001, ',', true), "+0,00");
}

TEST(MusicFile, LabelFilesGoodAndBadLines) {
    const std::string bytes = "\xEF\xBB\xBF"
                              "12.500000\t12.500000\tRefrain\r\n"
                              "\\\t300.0\t2000.0\n"
                              "\n"
                              "3.25\t4\tCoup de canon ; fort\n"
                              "abc\t1\tx\n"
                              "1,5\t1,5\tvirgule\n"
                              "7\t6\tfin avant le début\n"
                              "9\n"
                              "0\t0\n"
                              "1e308\t1e308\tau-delà d'un jour\n";
    LabelFile read = ParseLabels(bytes);
    ASSERT_EQ(read.Markers.size(), 3u);
    EXPECT_EQ(read.Markers[0].Time, 0);
    EXPECT_EQ(read.Markers[0].Text, "");
    EXPECT_EQ(read.Markers[1].Time, 3.25);
    EXPECT_EQ(read.Markers[1].Text, "Coup de canon ; fort");
    EXPECT_EQ(read.Markers[2].Text, "Refrain");
    EXPECT_EQ(read.Bad,
              (std::vector<std::string>{"ligne 5 : « abc 1 x »", "ligne 6 : « 1,5 1,5 virgule »",
                                        "ligne 7 : « 7 6 fin avant le début »", "ligne 8 : « 9 »",
                                        "ligne 10 : « 1e308 1e308 au-delà d'un jour »"}));
}

// Taps against clicks every 0.5 s from 1 s: each tap's lag behind the nearest click, taps
// too far from every click left out, the median proposed within 0 to 0.5 s, and a press
// corrected by the lag never placed before the music's start.
TEST(TapLag, MedianOfTheNearestClicksLags) {
    const ClickTrack clicks; // 1 s, 1.5 s, ... 60.5 s
    ASSERT_EQ(clicks.Time(0), 1.0);
    ASSERT_EQ(clicks.Interval, 0.5);
    struct Case {
        const char* what;
        std::vector<double> taps;
        size_t kept;
        double median, proposed;
    } cases[] = {
        {"none", {}, 0, 0, 0},
        {"odd count", {1.08, 1.59, 2.1, 2.5, 3.085}, 5, 0.085, 0.085},
        {"even count: the middle two's mean", {1.07, 1.58, 2.09, 2.6}, 4, 0.085, 0.085},
        {"nearest click, early or late", {1.74, 1.76, 2.02, 1.98}, 4, 0.0, 0.0},
        {"too far before the first click, after the last", {0.7, 1.01, 60.76, 61.0}, 1, 0.01, 0.01},
        {"an early operator: 0", {1.0 - 0.03, 1.48, 1.99}, 3, -0.02, 0},
        {"lags up to half a beat", {1.24, 1.74, 2.24}, 3, 0.24, 0.24},
        {"to the millisecond", {1.0801, 1.5802, 2.0803}, 3, 0.0802, 0.08},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<double> lags;
        for (double t : c.taps)
            if (std::optional<double> lag = TapLagOf(t, clicks))
                lags.push_back(*lag);
        EXPECT_EQ(lags.size(), c.kept);
        EXPECT_NEAR(MedianLag(lags), c.median, 1e-9);
        EXPECT_DOUBLE_EQ(ProposedTapLag(lags), c.proposed);
    }
    struct Press {
        double heard, lag, placed;
    } presses[] = {{3.0, 0.085, 2.915}, {0.05, 0.085, 0}, {0.085, 0.085, 0}, {12.5, 0, 12.5}};
    for (const Press& p : presses)
        EXPECT_DOUBLE_EQ(CorrectedForTapLag(p.heard, p.lag), p.placed) << p.heard;
    for (double v : {0.0, 0.085, 0.5})
        EXPECT_TRUE(ValidTapLag(v)) << v;
    for (double v : {-0.001, 0.5001, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(ValidTapLag(v)) << v;
    // The clicks are where the lags are measured from.
    const std::vector<int16_t> samples = ClickSamples(clicks, 8000);
    ASSERT_EQ(samples.size(), size_t(clicks.Duration() * 8000));
    EXPECT_EQ(samples[7999], 0);
    EXPECT_NE(samples[8001], 0);
    EXPECT_EQ(samples[8000 + 200], 0);
}

class Companion : public ::testing::Test {
protected:
    TempFolder Folder;

    MusicData Sample() const {
        MusicData m;
        m.SoundPath = Folder.Path("son/finale.wav");
        m.Starts = {{1, 0}, {11, 62.4}};
        AddMarkers(m.Markers, {{3.5, "Refrain ; fort"}, {1.25, ""}, {3.5, "Refrain ; fort"}});
        return m;
    }
};

TEST_F(Companion, RoundTripBesideAnUnchangedProgram) {
    ProgramDocument doc;
    Chain(doc, 4);
    const std::string show = Folder.Path("show.tir");
    ASSERT_EQ(doc.SaveTo(show), WriteResult::Written);
    const std::string programBytes = Folder.Read("show.tir");

    ASSERT_EQ(WriteMusicFile(Sample(), show), MusicWrite::Written);
    EXPECT_EQ(Folder.Read("show.musique"), "SalvodeskMusique ; 1\n"
                                           "Son ; son/finale.wav\n"
                                           "Début ; 1 ; 0\n"
                                           "Début ; 11 ; 62.4\n"
                                           "Repère ; 1.25 ; \n"
                                           "Repère ; 3.5 ; Refrain ; fort\n");
    EXPECT_EQ(Folder.Read("show.tir"), programBytes);
    EXPECT_EQ(ProgramFileBytes(doc), programBytes);

    // Without a tap lag the file is as before; with one, one line more, read back.
    MusicData tapped = Sample();
    tapped.TapLag = 0.085;
    ASSERT_EQ(WriteMusicFile(tapped, show), MusicWrite::Written);
    EXPECT_EQ(Folder.Read("show.musique"), Folder.Read("show.musique.Bak") + "Frappe ; 0.085\n");
    MusicData lagged;
    ASSERT_EQ(ReadMusicFile(show, lagged).Status, MusicRead::Read);
    EXPECT_EQ(lagged.TapLag, 0.085);
    EXPECT_EQ(MusicFileBytes(lagged, show), Folder.Read("show.musique"));
    // A tap lag alone is music to keep.
    MusicData onlyLag;
    onlyLag.TapLag = 0.2;
    EXPECT_FALSE(onlyLag.Empty());
    EXPECT_EQ(MusicFileBytes(onlyLag, show), "SalvodeskMusique ; 1\nFrappe ; 0.2\n");
    ASSERT_EQ(WriteMusicFile(Sample(), show), MusicWrite::Written);

    MusicData back;
    ASSERT_EQ(ReadMusicFile(show, back).Status, MusicRead::Read);
    EXPECT_EQ(back.TapLag, 0); // an older file: no tap lag
    EXPECT_EQ(back.SoundPath, Sample().SoundPath);
    EXPECT_EQ(back.Starts, Sample().Starts);
    ASSERT_EQ(back.Markers.size(), 2u);
    EXPECT_EQ(back.Markers[1].Text, "Refrain ; fort");

    // The replaced copy is kept; music emptied moves the file aside rather than leave it stale.
    MusicData fewer = Sample();
    fewer.Markers.clear();
    ASSERT_EQ(WriteMusicFile(fewer, show), MusicWrite::Written);
    EXPECT_NE(Folder.Read("show.musique.Bak").find("Repère ; 1.25 ; \n"), std::string::npos);
    EXPECT_EQ(WriteMusicFile(MusicData(), show), MusicWrite::Removed);
    EXPECT_FALSE(Folder.Exists("show.musique"));
    EXPECT_EQ(WriteMusicFile(MusicData(), show), MusicWrite::Nothing);
    EXPECT_EQ(ReadMusicFile(show, back).Status, MusicRead::None);
    EXPECT_TRUE(back.Empty());
}

TEST_F(Companion, SoundPathsRelativeWhenTheyCanBe) {
    // On Linux "\\" is a character of a name like any other (Windows: tests/windows).
    struct Case {
        const char *sound, *program, *written, *resolved;
    } cases[] = {
        {"/a/b/x.wav", "/a/b/show.tir", "x.wav", "/a/b/x.wav"},
        {"/a/m/x.wav", "/a/b/show.tir", "../m/x.wav", "/a/m/x.wav"},
        {"/x.wav", "/a/b/show.tir", "/x.wav", "/x.wav"},
        {"/a/b/x\\y.wav", "/a/b/show.tir", "x\\y.wav", "/a/b/x\\y.wav"},
        {"/a/b\\c/x.wav", "/a/b\\c/show.tir", "x.wav", "/a/b\\c/x.wav"},
        {"/a/m/x.wav", "/a/b\\c/show.tir", "../m/x.wav", "/a/m/x.wav"},
        {"C:x.wav", "/a/b/show.tir", "C:x.wav", "/a/b/C:x.wav"},
        // Written as they are unless plain, so that they read back as they were.
        {"/a/b//x.wav", "/a/b/show.tir", "/a/b//x.wav", "/a/b//x.wav"},
        {"/a/b/./x.wav", "/a/b/show.tir", "/a/b/./x.wav", "/a/b/./x.wav"},
        {"/a/m/x.wav", "/a/b/../c/show.tir", "/a/m/x.wav", "/a/m/x.wav"},
        {"//srv/a/x.wav", "//srv/a/show.tir", "x.wav", "//srv/a/x.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelativeSoundPath(c.sound, c.program), c.written) << c.sound;
        EXPECT_EQ(ResolveSoundPath(c.written, c.program), c.resolved) << c.sound;
    }
    EXPECT_EQ(CompanionName("/a/b.c/show.tir"), "/a/b.c/show.musique");
    EXPECT_EQ(CompanionName("/a/b.c/show"), "/a/b.c/show.musique");
}

TEST_F(Companion, FaultsAreNamedAndLoseNothing) {
    const std::string show = Folder.Path("show.tir");
    struct Case {
        const char* bytes;
        MusicRead status;
        int line;
    } cases[] = {
        {"", MusicRead::Invalid, 1},
        {"\x89PNG\r\n\x1a\n garbage", MusicRead::Invalid, 1},
        {"SalvodeskMusique ; 2\n", MusicRead::Invalid, 1},
        {"SalvodeskMusique ; 1\nRepère ; -1 ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\n# note\nDébut ; 31 ; 1\n", MusicRead::Invalid, 3},
        {"SalvodeskMusique ; 1\nDébut ; 2 ; 1\nDébut ; 2 ; 3\n", MusicRead::Invalid, 3},
        {"SalvodeskMusique ; 1\r\nSon ; a.wav\r\nSon ; b.wav\r\n", MusicRead::Invalid, 3},
        // Notepad's byte order mark; times that no music has.
        {"\xEF\xBB\xBFSalvodeskMusique ; 1\r\nRepère ; 86400 ; x\r\n", MusicRead::Read, 0},
        {"SalvodeskMusique ; 1\nRepère ; 1 ; x\nRepère ; 1e308 ; x\n", MusicRead::Invalid, 3},
        {"SalvodeskMusique ; 1\nRepère ; 86400.001 ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nDébut ; 2 ; 1E6\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nRepère ; nan ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nRepère ; -inf ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\r\nSon ; absent.wav\r\nRepère ; 2 ; x\r\n", MusicRead::Read, 0},
        // The tap lag: 0 to 0.5 s, once, with a point.
        {"SalvodeskMusique ; 1\nRepère ; 2 ; x\nFrappe ; 0.5\n", MusicRead::Read, 0},
        {"SalvodeskMusique ; 1\nFrappe ; 0.085\n", MusicRead::Read, 0},
        {"SalvodeskMusique ; 1\nRepère ; 2 ; x\nFrappe ; 0.501\n", MusicRead::Invalid, 3},
        {"SalvodeskMusique ; 1\nFrappe ; -0.01\nRepère ; 2 ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nFrappe ; 0,085\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nFrappe ; \n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nFrappe ; nan\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nFrappe ; 0.1 ; x\n", MusicRead::Invalid, 2},
        {"SalvodeskMusique ; 1\nFrappe ; 0.1\nFrappe ; 0.1\n", MusicRead::Invalid, 3},
    };
    for (const Case& c : cases) {
        Folder.Write("show.musique", c.bytes);
        MusicData music;
        music.Markers = {{1, "old"}};
        MusicReadResult r = ReadMusicFile(show, music);
        EXPECT_EQ(r.Status, c.status) << c.bytes;
        EXPECT_EQ(r.Line, c.line) << c.bytes;
        EXPECT_EQ(music.Empty(), c.status != MusicRead::Read) << c.bytes;
    }
    // A missing sound is still named, with the markers read.
    MusicData music;
    Folder.Write("show.musique", "SalvodeskMusique ; 1\nFrappe ; 0.085\n");
    ASSERT_EQ(ReadMusicFile(show, music).Status, MusicRead::Read);
    EXPECT_EQ(music.TapLag, 0.085);
    Folder.Write("show.musique", "SalvodeskMusique ; 1\r\nSon ; absent.wav\r\nRepère ; 2 ; x\r\n");
    ReadMusicFile(show, music);
    EXPECT_EQ(music.SoundPath, Folder.Path("absent.wav"));
    EXPECT_EQ(music.Markers.size(), 1u);

    Folder.Write("show.musique", std::string(MaxMusicFileBytes + 1, '#'));
    EXPECT_EQ(ReadMusicFile(show, music).Status, MusicRead::TooLarge);

    std::remove(Folder.Path("show.musique").c_str());
    ASSERT_EQ(::mkdir(Folder.Path("show.musique").c_str(), 0755), 0);
    EXPECT_EQ(ReadMusicFile(show, music).Status, MusicRead::Unreadable);
    EXPECT_EQ(WriteMusicFile(Sample(), show), MusicWrite::Failed);
}

// What is written reads back as it was: every marker, however close its neighbour, texts with
// carriage returns, names holding a "\\" where that is no separator, equal times in their order.
TEST_F(Companion, WhatIsWrittenReadsBack) {
    const std::string show = Folder.Path("show.tir");
    const double one = 1.0, next = std::nextafter(1.0, 2.0);
    struct Case {
        const char* what;
        MusicData music;
        std::vector<std::string> textsBack; // when not the texts written
    } cases[] = {
        {"times agreeing to 15 digits",
         {"", {{2, 62.400000000000006}, {3, 0.1 + 0.2}}, {{one, "a"}, {next, "a"}, {7, "b"}}},
         {}},
        {"equal times", {"", {}, {{2, "b"}, {2, "a"}, {2, "c"}, {2.5, ""}}}, {}},
        {"carriage returns",
         {Folder.Path("son\r"), {}, {{1, "fin\r"}, {2, "a\rb"}, {3, "\r"}, {4, "x\r\r"}}},
         {}},
        {"a line feed, which a line cannot hold", {"", {}, {{1, "a\nb"}}}, {"a b"}},
        {"backslashes in names", {Folder.Path("a\\b.wav"), {}, {}}, {}},
        {"a doubled separator", {Folder.Path("/x.wav"), {}, {}}, {}},
        {"backslashes elsewhere", {"/elsewhere\\a/x\\b.wav", {}, {{1, "\\"}}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(WriteMusicFile(c.music, show), MusicWrite::Written);
        MusicData back;
        ASSERT_EQ(ReadMusicFile(show, back).Status, MusicRead::Read) << Folder.Read("show.musique");
        EXPECT_EQ(back.SoundPath, c.music.SoundPath);
        EXPECT_EQ(back.Starts, c.music.Starts);
        EXPECT_EQ(back.Markers.size(), c.music.Markers.size()) << Folder.Read("show.musique");
        for (size_t i = 0; i < back.Markers.size() && back.Markers.size() == c.music.Markers.size();
             ++i) {
            EXPECT_EQ(back.Markers[i].Time, c.music.Markers[i].Time) << i;
            EXPECT_EQ(back.Markers[i].Text,
                      c.textsBack.empty() ? c.music.Markers[i].Text : c.textsBack[i])
                << i;
        }
    }
}

// A folder that cannot be written: read-only for the user, and for root a read-only bind mount
// in a mount namespace of this test's own.
TEST_F(Companion, ReadOnlyFolderKeepsTheOldFiles) {
    ::mkdir(Folder.Path("ro").c_str(), 0755);
    const std::string show = Folder.Path("ro/show.tir");
    ASSERT_EQ(WriteMusicFile(Sample(), show), MusicWrite::Written);
    const std::string before = Folder.Read("ro/show.musique");
    ::chmod(Folder.Path("ro").c_str(), 0555);
    if (::access(Folder.Path("ro").c_str(), W_OK) == 0) {
        const std::string ro = Folder.Path("ro");
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(ro.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            GTEST_SKIP() << "the folder stays writable: " << std::strerror(errno);
    }
    MusicData changed = Sample();
    changed.Markers.push_back({99, "nouveau"});
    EXPECT_EQ(WriteMusicFile(changed, show), MusicWrite::Failed);
    EXPECT_EQ(WriteMusicFile(MusicData(), show), MusicWrite::Failed);
    EXPECT_EQ(Folder.Read("ro/show.musique"), before);
    ::umount2(Folder.Path("ro").c_str(), MNT_DETACH);
    ::chmod(Folder.Path("ro").c_str(), 0755);
}

// Clicks at known times in silence: the slices holding them and only those stand out.
TEST(SoundEnvelope, GeneratedWaveClicks) {
    TempFolder folder;
    const int rate = 44100;
    std::vector<int16_t> samples(static_cast<size_t>(rate * 3) * 2, 0);
    const double clicks[] = {0.5, 1.25, 2.004};
    for (double t : clicks)
        for (int i = 0; i < 20; ++i) {
            const auto frame = static_cast<size_t>(t * rate) + static_cast<size_t>(i);
            samples[frame * 2] = 16384;      // left up
            samples[frame * 2 + 1] = -32768; // right down
        }
    const std::string path = folder.Write("clicks.wav", WaveBytes(samples, 2, rate));

    Envelope env;
    std::atomic<double> progress{0};
    ASSERT_EQ(ReadWaveEnvelope(path, env, &progress), WaveRead::Read);
    EXPECT_EQ(progress.load(), 1.0);
    EXPECT_EQ(env.Frames, rate * 3);
    EXPECT_DOUBLE_EQ(env.Duration(), 3.0);
    ASSERT_EQ(env.Min.size(), 300u);
    for (size_t i = 0; i < env.Min.size(); ++i) {
        const bool click = i == 50 || i == 125 || i == 200;
        EXPECT_EQ(env.Max[i], click ? 0.5f : 0.0f) << i;
        EXPECT_EQ(env.Min[i], click ? -1.0f : 0.0f) << i;
    }
    float low = 0, high = 0;
    ASSERT_TRUE(env.Range(1.2, 1.3, low, high));
    EXPECT_EQ(high, 0.5f);
    ASSERT_TRUE(env.Range(1.3, 1.9, low, high));
    EXPECT_EQ(high, 0.0f);

    // What is not a PCM wave says so; a file cut short gives what it holds.
    folder.Write("text.wav", "not a sound at all");
    std::string adpcm = WaveBytes(samples, 2, rate);
    adpcm[20] = 2;
    folder.Write("adpcm.wav", adpcm);
    folder.Write("cut.wav", WaveBytes(samples, 2, rate).substr(0, 44 + 4 * rate));
    EXPECT_EQ(ReadWaveEnvelope(folder.Path("text.wav"), env), WaveRead::NotWave);
    EXPECT_EQ(ReadWaveEnvelope(folder.Path("adpcm.wav"), env), WaveRead::Unsupported);
    EXPECT_EQ(ReadWaveEnvelope(folder.Path("absent.wav"), env), WaveRead::NotAccessible);
    ASSERT_EQ(ReadWaveEnvelope(folder.Path("cut.wav"), env), WaveRead::Read);
    EXPECT_EQ(env.Frames, rate);
    std::atomic<bool> cancel{true};
    EXPECT_EQ(ReadWaveEnvelope(path, env, nullptr, &cancel), WaveRead::Cancelled);
}

// Each way a sound can fail to read has its own result, for the window to say which; what is
// not a regular file is never opened (a FIFO's open would wait for a writer for ever).
TEST(SoundEnvelope, EachFaultHasItsOwnResult) {
    TempFolder folder;
    const char frames[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(::mkfifo(folder.Path("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(folder.Path("folder.wav").c_str(), 0755), 0);
    const std::string wave = folder.Write("wave.wav", WaveOf(1, 2, 44100, 16, frames, 8));
    ASSERT_EQ(::symlink(wave.c_str(), folder.Path("link.wav").c_str()), 0);
    struct Case {
        const char* name;
        std::string bytes; // written unless empty
        WaveRead read;
    } cases[] = {
        {"wave.wav", "", WaveRead::Read},
        {"link.wav", "", WaveRead::Read},
        {"fifo.wav", "", WaveRead::NotAccessible},
        {"folder.wav", "", WaveRead::NotAccessible},
        {"absent.wav", "", WaveRead::NotAccessible},
        {"no-data-chunk.wav", WaveOf(1, 2, 44100, 16, nullptr, 0), WaveRead::NoSound},
        {"empty-data.wav", WaveOf(1, 2, 44100, 16, frames, 0), WaveRead::NoSound},
        {"half-a-frame.wav", WaveOf(1, 2, 44100, 16, frames, 2), WaveRead::NoSound},
        {"33-channels.wav", WaveOf(1, 33, 44100, 16, frames, 8), WaveRead::TooManyChannels},
        {"500-hz.wav", WaveOf(1, 1, 500, 16, frames, 8), WaveRead::UnsupportedRate},
        {"a-law.wav", WaveOf(6, 1, 8000, 8, frames, 8), WaveRead::Unsupported},
        {"no-channel.wav", WaveOf(1, 0, 44100, 16, frames, 8), WaveRead::NotWave},
        {"garbage.wav", "RIFF\x10\0\0\0WAVE\xff\xfe garbage", WaveRead::NotWave},
    };
    ::alarm(20); // a blocked open ends the test rather than hang it
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            c.bytes.empty() ? folder.Path(c.name) : folder.Write(c.name, c.bytes);
        WaveFormat format;
        EXPECT_EQ(ReadWaveFormat(path, format), c.read);
        Envelope env;
        EXPECT_EQ(ReadWaveEnvelope(path, env), c.read);
        EXPECT_EQ(IsFile(path), c.read != WaveRead::NotAccessible);
        WaveFileSource source;
        EXPECT_EQ(source.Open(path), c.read == WaveRead::Read || c.read == WaveRead::NoSound);
    }
    ::alarm(0);
}

// 8-bit samples are offset binary: 0 is the most negative, 128 silence.
TEST(SoundEnvelope, EightBitWave) {
    TempFolder folder;
    const unsigned char samples[] = {0, 128, 255, 64, 128, 128};
    const std::string path = folder.Write(
        "u8.wav", WaveOf(1, 1, 8000, 8, reinterpret_cast<const char*>(samples), sizeof samples));
    Envelope env;
    ASSERT_EQ(ReadWaveEnvelope(path, env), WaveRead::Read);
    ASSERT_EQ(env.Min.size(), 1u);
    EXPECT_EQ(env.Min[0], -1.0f);
    EXPECT_EQ(env.Max[0], 127.0f / 128);
    WaveFileSource source;
    ASSERT_TRUE(source.Open(path));
    int16_t mono[6] = {};
    ASSERT_EQ(source.ReadMono(mono, 6), 6);
    EXPECT_EQ(std::vector<int16_t>(mono, mono + 6),
              (std::vector<int16_t>{-32768, 0, 32512, -16384, 0, 0}));
}
