#pragma once
// The cue track for the firing line: a sound file with a spoken countdown before each sequence
// start ("Séquence 4", "trois", "deux", "un", "feu"), the words on whole seconds before the
// planned start so that "feu" begins exactly on it, to the sample. The words are recordings
// made once when the program is built; here they are only placed and mixed.

#include "model/music/MusicFit.h"
#include "model/program/DelayRules.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace salvo {

class InputFile;

constexpr int DefaultLeadSeconds = 5;
constexpr int MinLeadSeconds = 5;
constexpr int MaxLeadSeconds = 10;
constexpr int MaxSpokenNumber = SlotCount;

// Mono 16-bit recordings of the words, at the track's rate.
struct CueVoice {
    std::vector<int16_t> Sequence;                                 // "Séquence"
    std::array<std::vector<int16_t>, MaxSpokenNumber + 1> Numbers; // 1 to 30
    std::vector<int16_t> Three, Two, One, Fire;
};

// The samples from the first to the last above threshold (in size).
std::vector<int16_t> TrimSilence(const std::vector<int16_t>& samples, int threshold = 300);
// Linear interpolation from one rate to another; the first sample stays the first.
std::vector<int16_t> Resample(const std::vector<int16_t>& samples, int from, int to);
// A WAV file's bytes as mono 16-bit samples (PCM 8 or 16 bits, channels averaged).
bool MonoSamplesOfWave(const std::string& bytes, std::vector<int16_t>& samples, int& rate);

// The sample of a time, on the track's clock.
int64_t SampleAt(double seconds, int rate);

enum class CueVariant {
    Stereo,    // the music on the left, the spoken countdown on the right
    MonoMix,   // one channel: the music under the voice
    BeepsOnly, // the music on the left, beeps on the right instead of words
};

// A sequence start that gets a countdown.
struct CueStart {
    int Number = 0;     // the sequence's number, as spoken
    double Planned = 0; // seconds into the music
};

enum class CueWord { Sequence, Number, Three, Two, One, Fire, Beep, LongBeep };

struct CuePlacement {
    int64_t Sample = 0;
    CueWord Word = CueWord::Fire;
    int Number = 0; // the sequence's number
};

// Starts closer than the countdown: the second one's countdown would begin before the first
// one's "feu". Also a start before the previous one.
struct CueConflict {
    int First = 0, Second = 0; // indexes into the starts
    double Gap = 0;
};
std::vector<CueConflict> CueConflicts(const std::vector<CueStart>& starts, int leadSeconds);
std::string ConflictText(const std::vector<CueStart>& starts,
                         const std::vector<CueConflict>& conflicts, int leadSeconds,
                         char separator);

// Where each word goes, in sample order. The announcement starts leadSeconds before the start,
// "trois", "deux", "un" three, two and one seconds before it, "feu" on it. A countdown that
// would begin before the previous start (or before the music) is shortened: the words before
// that moment are left out, the announcement moved later when it still fits before "trois".
std::vector<CuePlacement> PlaceCues(const std::vector<CueStart>& starts, int leadSeconds, int rate,
                                    const CueVoice& voice, CueVariant variant);

// The beeps of the variant without words.
std::vector<int16_t> BeepSamples(bool longBeep, int rate);

// Where the music comes from: frames mixed down to one channel.
class MusicSource {
public:
    virtual ~MusicSource() = default;
    virtual int Rate() const = 0;
    virtual int64_t Frames() const = 0;
    // Up to count frames; fewer only at the end. Returns how many, -1 on a read error.
    virtual long long ReadMono(int16_t* into, size_t count) = 0;
};

// A PCM WAV file (8, 16, 24, 32 bits or 32-bit float) as a music source.
class WaveFileSource : public MusicSource {
public:
    WaveFileSource();
    ~WaveFileSource() override;
    bool Open(const std::string& path);
    int Rate() const override { return SampleRate; }
    int64_t Frames() const override { return TotalFrames; }
    long long ReadMono(int16_t* into, size_t count) override;

private:
    std::unique_ptr<InputFile> File;
    int SampleRate = 0, Channels = 0, Bits = 0;
    bool Float = false;
    int64_t TotalFrames = 0, Left = 0;
    std::vector<unsigned char> Buffer;
};

enum class CueWrite { Written, MusicUnreadable, NotWritten };

// Writes the cue track: the music (none when music is null) and the countdowns. The track
// lasts as long as the music, and at least until the last "feu" has been said.
CueWrite WriteCueTrack(const std::string& path, MusicSource* music,
                       const std::vector<CueStart>& starts, int leadSeconds, const CueVoice& voice,
                       CueVariant variant, int rate);

// The remedy for two starts too close: the second sequence's manual channel becomes automatic
// behind the first sequence, with the delay that keeps its planned start (to the 0.2 s grid).
// It goes through the editor's rules, so their corrections and warnings hold, and the second
// sequence's own delays are kept. starts loses the second sequence's entry.
enum class JoinResult {
    Joined,
    NoSequenceBefore, // the first sequence of the program
    NotAfterPrevious, // it would fire before the previous sequence's last channel
    TooFar,           // its delay would pass the longest one a channel can have
};
JoinResult JoinToPreviousSequence(ChannelTable& table, ShownTimeArray& shownTimes,
                                  ChannelServices& services, char separator,
                                  PlannedStartMap& starts, int manualIndex);

extern const char* const MsgCueConflict; // %1: the pairs, %2: the lead time

} // namespace salvo
