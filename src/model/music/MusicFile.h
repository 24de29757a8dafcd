#pragma once
// The music of a program, kept beside its ".tir" and never in it: a companion text file of the
// same name with the extension ".musique", UTF-8, one fact a line, that a person can read:
//
//   SalvodeskMusique ; 1
//   Son ; musique/final.wav
//   Début ; 11 ; 62.4
//   Repère ; 3.5 ; Refrain
//   Frappe ; 0.085
//
// "Son" is the sound file, relative to the program's folder when it can be; "Début" the
// planned start of the sequence whose manual channel has that number; "Repère" a marker and its
// text (the rest of the line); "Frappe" the operator's tap lag in seconds (0 to 0.5), written
// only when there is one. Numbers always with a point, whatever the locale. The same file
// reads marker lists as sound editors export them ("label" files).

#include "model/music/MusicFit.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace salvo {

struct MusicData {
    std::string SoundPath; // absolute (or as the user gave it); empty: no sound
    PlannedStartMap Starts;
    std::vector<Marker> Markers; // sorted by time
    double TapLag = 0;           // seconds the operator presses after the beat heard

    bool Empty() const {
        return SoundPath.empty() && Starts.empty() && Markers.empty() && TapLag == 0;
    }
};

constexpr size_t MaxMusicFileBytes = size_t(8) << 20;
// A time beyond a day is a fault of the file, not music.
constexpr double MaxMusicSeconds = 24 * 3600.0;

// show.tir -> show.musique; the backup is show.musique.Bak.
std::string CompanionName(const std::string& programPath);
std::string CompanionBackupName(const std::string& programPath);

// The sound's path as written for a program in programPath's folder, and back.
std::string RelativeSoundPath(const std::string& soundPath, const std::string& programPath);
std::string ResolveSoundPath(const std::string& written, const std::string& programPath);

// Version 2 says that the file holds lines of the show beyond its music (its products), which
// a reader of music alone refuses at its header rather than at some later line.
std::string MusicFileBytes(const MusicData& music, const std::string& programPath, int version = 1);

enum class MusicRead { Read, None, Unreadable, Invalid, TooLarge };
struct MusicReadResult {
    MusicRead Status = MusicRead::None;
    int Line = 0; // the first line that is not understood (Invalid)
};
// Parses bytes written for a program at programPath; on Invalid, music is left empty.
MusicReadResult ParseMusicFile(const std::string& bytes, const std::string& programPath,
                               MusicData& music);
// The same, handing the lines of keys the music does not know to other, which says whether it
// understood them; with it, version 2 files are read too.
using OtherLineReader = std::function<bool(std::string_view key, std::string_view rest)>;
MusicReadResult ParseMusicFile(const std::string& bytes, const std::string& programPath,
                               MusicData& music, const OtherLineReader& other);
// The companion's bytes (Read), or why there are none: None, Unreadable or TooLarge.
MusicRead ReadCompanionBytes(const std::string& programPath, std::string& bytes);
// Reads the companion of programPath: None when there is none.
MusicReadResult ReadMusicFile(const std::string& programPath, MusicData& music);

enum class MusicWrite { Written, Removed, Nothing, Failed };
// Writes the companion with the program file's care (the replaced copy kept as its backup).
// Music that is empty writes nothing, and a companion left from before moves to its backup
// (Failed when it cannot: it would be read again with the program).
MusicWrite WriteMusicFile(const MusicData& music, const std::string& programPath);

// The box texts; %1 is the file's name.
extern const char* const MsgMusicUnreadable;
extern const char* const MsgMusicInvalid;  // %2: the line number
extern const char* const MsgMusicTooLarge; // beyond MaxMusicFileBytes
extern const char* const MsgMusicNotWritten;
extern const char* const MsgSoundMissing;

// Marker lists: start time, end time, text, separated by tabs, a point as decimal separator.
// Lines that do not read are named in Bad ("ligne 4 : ..."); blank lines and the frequency lines
// that some editors add under a label (starting with "\") are skipped.
struct LabelFile {
    std::vector<Marker> Markers;
    std::vector<std::string> Bad;
};
LabelFile ParseLabels(const std::string& bytes);

} // namespace salvo
