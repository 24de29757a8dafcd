#include "model/music/MusicFile.h"

#include "model/io/Paths.h"
#include "model/io/SafeFile.h"
#include "model/io/Text.h"
#include "model/music/TapLag.h"
#include "model/program/Document.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>

namespace salvo {

const char* const MsgMusicUnreadable =
    "Le fichier de musique « %1 » n'a pas pu être lu.\n\nLe programme est ouvert sans musique.";
const char* const MsgMusicInvalid = "Le fichier de musique « %1 » n'est pas valide (ligne %2)."
                                    "\n\nLe programme est ouvert sans musique.";
static_assert(MaxMusicFileBytes == size_t(8) << 20, "the message names the limit");
const char* const MsgMusicTooLarge =
    "Le fichier de musique « %1 » dépasse 8 Mo, la taille qu'un fichier de musique peut "
    "avoir.\n\nLe programme est ouvert sans musique.";
const char* const MsgMusicNotWritten =
    "La musique du programme n'a pas pu être enregistrée dans « %1 ».\n\nLe programme "
    "lui-même est enregistré ; la musique reste dans la fenêtre.";
const char* const MsgSoundMissing =
    "Le fichier son « %1 » est introuvable.\n\nLes repères et les débuts des séquences sont "
    "gardés ; associez de nouveau la musique pour l'entendre.";

namespace {

const char* const Header = "SalvodeskMusique";
const char* const SoundKey = "Son";
const char* const StartKey = "Début";
const char* const MarkerKey = "Repère";
const char* const TapLagKey = "Frappe";

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> out(1);
    for (char c : path) {
        if (IsPathSeparator(c))
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// No doubled separator, "." or ".." past the root (two separators may open a network path):
// only then does a path relative to another say the same thing once read back.
bool Plain(const std::vector<std::string>& parts) {
    for (size_t i = 1; i < parts.size(); ++i)
        if ((parts[i].empty() && !(i == 1 && parts[0].empty())) || parts[i] == "." ||
            parts[i] == "..")
            return false;
    return true;
}

std::string Folder(const std::string& path) {
    for (size_t at = path.size(); at-- > 0;)
        if (IsPathSeparator(path[at]))
            return path.substr(0, at);
    return {};
}

// Splits at the first " ; ": the key and the rest.
bool Split(std::string_view line, std::string_view& key, std::string_view& rest) {
    size_t at = line.find(" ; ");
    if (at == std::string_view::npos)
        return false;
    key = line.substr(0, at);
    rest = line.substr(at + 3);
    return true;
}

std::optional<double> Seconds(std::string_view text) {
    std::optional<double> t = ParseTime(TrimBlanks(text), '.');
    if (!t || !std::isfinite(*t) || *t < 0 || *t > MaxMusicSeconds)
        return std::nullopt;
    return t;
}

// Lines without their end, LF or CRLF; a byte order mark (Notepad writes one) is not text.
std::vector<std::string_view> Lines(const std::string& bytes) {
    std::vector<std::string_view> out;
    out.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    std::string_view all(bytes);
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        all.remove_prefix(3);
    while (!all.empty()) {
        size_t end = all.find('\n');
        std::string_view line = all.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.push_back(line);
        if (end == std::string_view::npos)
            break;
        all.remove_prefix(end + 1);
    }
    return out;
}

// A line's text as written: a line feed cannot be held and becomes a blank; a carriage return
// is kept, and one that ends the text gets another after it, since the reader takes a last one
// as half of a CRLF line end.
std::string LineText(std::string text) {
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    if (!text.empty() && text.back() == '\r')
        text += '\r';
    return text;
}

} // namespace

std::string CompanionName(const std::string& programPath) {
    const std::string name = PathName(programPath);
    size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos
                                 ? programPath
                                 : programPath.substr(0, programPath.size() - (name.size() - dot));
    return stem + ".musique";
}

std::string CompanionBackupName(const std::string& programPath) {
    return CompanionName(programPath) + ".Bak";
}

std::string RelativeSoundPath(const std::string& soundPath, const std::string& programPath) {
    if (!IsAbsolutePath(soundPath) || programPath.empty())
        return soundPath;
    const std::vector<std::string> from = Components(Folder(programPath));
    const std::vector<std::string> to = Components(soundPath);
    if (!Plain(from) || !Plain(to))
        return soundPath;
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    // Sharing only the root (or another drive) says nothing about moving them together.
    if (common < 2)
        return soundPath;
    std::string out;
    for (size_t i = common; i < from.size(); ++i)
        out += "../";
    for (size_t i = common; i < to.size(); ++i)
        out += to[i] + (i + 1 < to.size() ? "/" : "");
    return out;
}

std::string ResolveSoundPath(const std::string& written, const std::string& programPath) {
    if (written.empty() || IsAbsolutePath(written))
        return written;
    const std::string folder = Folder(programPath);
    std::string out = folder.empty() ? written : folder + "/" + written;
    // Folded "name/../" pieces, so the path shown in messages is the one a person would write.
    std::vector<std::string> parts = Components(out), kept;
    for (const std::string& p : parts) {
        if (p == ".." && !kept.empty() && kept.back() != ".." && !kept.back().empty())
            kept.pop_back();
        else if (p != "." || kept.empty())
            kept.push_back(p);
    }
    out.clear();
    for (size_t i = 0; i < kept.size(); ++i)
        out += kept[i] + (i + 1 < kept.size() ? "/" : "");
    return out;
}

std::string MusicFileBytes(const MusicData& music, const std::string& programPath, int version) {
    std::string out = std::string(Header) + " ; " + std::to_string(version) + "\n";
    if (!music.SoundPath.empty())
        out += std::string(SoundKey) + " ; " +
               LineText(RelativeSoundPath(music.SoundPath, programPath)) + "\n";
    for (const auto& [channel, start] : music.Starts)
        out += std::string(StartKey) + " ; " + std::to_string(channel) + " ; " +
               FormatTimeExactly(start, '.') + "\n";
    for (const Marker& m : music.Markers)
        out += std::string(MarkerKey) + " ; " + FormatTimeExactly(m.Time, '.') + " ; " +
               LineText(m.Text) + "\n";
    if (music.TapLag != 0)
        out += std::string(TapLagKey) + " ; " + FormatTimeExactly(music.TapLag, '.') + "\n";
    return out;
}

MusicReadResult ParseMusicFile(const std::string& bytes, const std::string& programPath,
                               MusicData& music) {
    return ParseMusicFile(bytes, programPath, music, nullptr);
}

MusicReadResult ParseMusicFile(const std::string& bytes, const std::string& programPath,
                               MusicData& music, const OtherLineReader& other) {
    MusicData read;
    std::vector<Marker> markers;
    bool headerSeen = false;
    bool tapLagSeen = false;
    int number = 0;
    const std::vector<std::string_view> lines = Lines(bytes);
    markers.reserve(lines.size());
    for (std::string_view line : lines) {
        ++number;
        if (TrimBlanks(line).empty() || line[0] == '#')
            continue;
        std::string_view key, rest;
        bool ok = Split(line, key, rest);
        key = TrimBlanks(key);
        if (ok && !headerSeen) {
            const std::optional<int32_t> version = ParseInt32(rest);
            ok = key == Header && (version == 1 || (other && version == 2));
            headerSeen = ok;
        } else if (ok && key == SoundKey && read.SoundPath.empty()) {
            read.SoundPath = ResolveSoundPath(std::string(rest), programPath);
            ok = !read.SoundPath.empty();
        } else if (ok && key == StartKey) {
            std::string_view channel, time;
            ok = Split(rest, channel, time);
            std::optional<int32_t> n = ok ? ParseInt32(channel) : std::nullopt;
            std::optional<double> t = ok ? Seconds(time) : std::nullopt;
            ok = n && t && *n >= 1 && *n <= SlotCount && !read.Starts.count(*n);
            if (ok)
                read.Starts[*n] = *t;
        } else if (ok && key == MarkerKey) {
            std::string_view time, text;
            if (!Split(rest, time, text))
                time = rest, text = {};
            std::optional<double> t = Seconds(time);
            ok = t.has_value();
            if (ok)
                markers.push_back({*t, std::string(text)});
        } else if (ok && key == TapLagKey && !tapLagSeen) {
            std::optional<double> t = ParseTime(TrimBlanks(rest), '.');
            ok = t && ValidTapLag(*t);
            tapLagSeen = true;
            if (ok)
                read.TapLag = *t;
        } else {
            ok = ok && other && other(key, rest);
        }
        if (!ok) {
            music = MusicData();
            return {MusicRead::Invalid, number};
        }
    }
    if (!headerSeen) {
        music = MusicData();
        return {MusicRead::Invalid, number == 0 ? 1 : number};
    }
    AddMarkers(read.Markers, markers);
    music = std::move(read);
    return {MusicRead::Read, 0};
}

MusicRead ReadCompanionBytes(const std::string& programPath, std::string& bytes) {
    switch (ReadSmallFile(CompanionName(programPath), MaxMusicFileBytes, bytes)) {
    case SmallFileResult::Missing:
        return MusicRead::None;
    case SmallFileResult::Unreadable:
        return MusicRead::Unreadable;
    case SmallFileResult::TooLarge:
        return MusicRead::TooLarge;
    case SmallFileResult::Read:
        break;
    }
    return MusicRead::Read;
}

MusicReadResult ReadMusicFile(const std::string& programPath, MusicData& music) {
    music = MusicData();
    std::string bytes;
    if (const MusicRead r = ReadCompanionBytes(programPath, bytes); r != MusicRead::Read)
        return {r, 0};
    return ParseMusicFile(bytes, programPath, music);
}

MusicWrite WriteMusicFile(const MusicData& music, const std::string& programPath) {
    if (programPath.empty())
        return MusicWrite::Nothing;
    const std::string path = CompanionName(programPath);
    if (music.Empty()) {
        if (!IsFile(path))
            return MusicWrite::Nothing;
        return MoveFileAside(path, CompanionBackupName(programPath)) ? MusicWrite::Removed
                                                                     : MusicWrite::Failed;
    }
    return WriteFileSafely(path, MusicFileBytes(music, programPath),
                           CompanionBackupName(programPath))
               ? MusicWrite::Written
               : MusicWrite::Failed;
}

LabelFile ParseLabels(const std::string& bytes) {
    LabelFile out;
    int number = 0;
    for (std::string_view line : Lines(bytes)) {
        ++number;
        if (TrimBlanks(line).empty() || line[0] == '\\')
            continue;
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        std::optional<double> start, end;
        if (tab1 != std::string_view::npos) {
            start = Seconds(line.substr(0, tab1));
            end = Seconds(line.substr(tab1 + 1, tab2 == std::string_view::npos
                                                    ? std::string_view::npos
                                                    : tab2 - tab1 - 1));
        }
        if (start && end && *end >= *start) {
            std::string text =
                tab2 == std::string_view::npos ? std::string() : std::string(line.substr(tab2 + 1));
            out.Markers.push_back({*start, text});
            continue;
        }
        std::string shown(line.substr(0, 40));
        if (line.size() > 40)
            shown += "…";
        for (char& c : shown)
            if (c == '\t')
                c = ' ';
        out.Bad.push_back("ligne " + std::to_string(number) + " : « " + shown + " »");
    }
    std::vector<Marker> sorted;
    AddMarkers(sorted, out.Markers);
    out.Markers = std::move(sorted);
    return out;
}

} // namespace salvo
