#include "model/files/SheetCells.h"

#include "model/io/Text.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace salvo {

namespace {

const char* const Bom = "\xEF\xBB\xBF";

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The spaces spreadsheets put between thousands: blank, non-breaking, narrow non-breaking.
size_t GroupSpaceAt(std::string_view s, size_t i) {
    if (s[i] == ' ')
        return 1;
    if (StartsWith(s.substr(i), "\xC2\xA0"))
        return 2;
    if (StartsWith(s.substr(i), "\xE2\x80\xAF"))
        return 3;
    return 0;
}

const char* const WhyNotANumber = "n'est pas un nombre";
const char* const WhyClockFormat = "n'est pas une heure (format heure:minutes non reconnu)";
const char* const WhyClockRange = "n'est pas une heure (minutes et secondes vont de 0 à 59)";

std::optional<uint64_t> Digits(std::string_view t, size_t most) {
    if (t.empty() || t.size() > most || !std::all_of(t.begin(), t.end(), IsDigit))
        return std::nullopt;
    uint64_t n = 0;
    for (char c : t)
        n = n * 10 + static_cast<uint64_t>(c - '0');
    return n;
}

// "00:03,52", "1:02:03.5", "00:00:03:13": minutes and seconds, hours first when three,
// frames last when four.
SheetSeconds ClockSeconds(std::string_view t, int frameRate) {
    SheetSeconds r;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative)
        t.remove_prefix(1);
    std::vector<std::string_view> parts;
    for (size_t from = 0;;) {
        size_t colon = t.find(':', from);
        parts.push_back(t.substr(from, colon == std::string_view::npos ? colon : colon - from));
        if (colon == std::string_view::npos)
            break;
        from = colon + 1;
    }
    const size_t n = parts.size();
    if (n < 2 || n > 4) {
        r.Why = WhyClockFormat;
        return r;
    }
    // Seconds may carry decimals (either mark: no thousands here), except before frames.
    std::string_view wholeSeconds = parts[2 - (n == 2)];
    std::string_view fraction;
    if (n < 4) {
        size_t mark = wholeSeconds.find_first_of(".,");
        if (mark != std::string_view::npos) {
            fraction = wholeSeconds.substr(mark + 1);
            wholeSeconds = wholeSeconds.substr(0, mark);
            if (!Digits(fraction, 15)) {
                r.Why = WhyClockFormat;
                return r;
            }
        }
    }
    std::vector<uint64_t> values;
    for (size_t k = 0; k < n; ++k) {
        std::string_view part = k == (n == 2 ? 1u : 2u) ? wholeSeconds : parts[k];
        std::optional<uint64_t> v = Digits(part, k == 0 ? 6 : 2);
        if (!v) {
            r.Why = WhyClockFormat;
            return r;
        }
        values.push_back(*v);
    }
    double seconds = 0;
    if (n == 2) {
        if (values[1] > 59) {
            r.Why = WhyClockRange;
            return r;
        }
        seconds = static_cast<double>(values[0] * 60 + values[1]);
    } else {
        if (values[1] > 59 || values[2] > 59) {
            r.Why = WhyClockRange;
            return r;
        }
        seconds = static_cast<double>(values[0] * 3600 + values[1] * 60 + values[2]);
        if (n == 4) {
            if (values[3] >= static_cast<uint64_t>(frameRate)) {
                r.Why = "n'est pas une heure (à " + std::to_string(frameRate) +
                        " images par seconde, l'image va de 0 à " + std::to_string(frameRate - 1) +
                        ")";
                return r;
            }
            seconds += static_cast<double>(values[3]) / frameRate;
        }
    }
    if (!fraction.empty())
        seconds += ParseTime("0." + std::string(fraction), '.').value_or(0);
    r.Value = negative ? -seconds : seconds;
    return r;
}

} // namespace

bool IsUtf16(std::string_view bytes) {
    return StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF");
}

std::string SheetField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string_view TrimAllSpaces(std::string_view t) {
    for (;;) {
        t = TrimSpaceAndControls(t);
        if (StartsWith(t, "\xC2\xA0"))
            t.remove_prefix(2);
        else if (StartsWith(t, "\xE2\x80\xAF"))
            t.remove_prefix(3);
        else if (t.size() >= 2 && t.substr(t.size() - 2) == "\xC2\xA0")
            t.remove_suffix(2);
        else if (t.size() >= 3 && t.substr(t.size() - 3) == "\xE2\x80\xAF")
            t.remove_suffix(3);
        else
            return t;
    }
}

std::string Utf16AsUtf8(std::string_view bytes) {
    if (!IsUtf16(bytes))
        return std::string(bytes);
    const bool little = bytes[0] == '\xFF';
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]),
                   b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(little ? a | b << 8 : b | a << 8);
    };
    std::string out = Bom;
    out.reserve(bytes.size());
    const uint32_t replacement = 0xFFFD;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = replacement; // half of a pair
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0)
        AppendUtf8(out, replacement); // a byte short of a character
    return out;
}

SheetSeconds ReadSheetSeconds(std::string_view text, char decimalSeparator, int frameRate) {
    std::string_view t = TrimAllSpaces(text);
    // "3,52 s": the unit after a number.
    if (t.size() > 1 && t.back() == 's') {
        std::string_view number = TrimAllSpaces(t.substr(0, t.size() - 1));
        if (!number.empty() && IsDigit(number.back()))
            t = number;
    }
    if (t.find(':') != std::string_view::npos)
        return ClockSeconds(t, frameRate);
    SheetSeconds r;
    // "1 233,52": groups of three digits after the first, one kind of space between them.
    std::string plain(t);
    size_t start = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
    size_t end = start;
    bool spaced = false;
    while (end < t.size() && (IsDigit(t[end]) || GroupSpaceAt(t, end) > 0)) {
        spaced = spaced || !IsDigit(t[end]);
        end += IsDigit(t[end]) ? 1 : GroupSpaceAt(t, end);
    }
    if (spaced) {
        std::string digits(t.substr(0, start));
        size_t group = 0, groups = 0, space = 0;
        bool well = true;
        for (size_t i = start; i < end;) {
            if (IsDigit(t[i])) {
                digits += t[i++];
                ++group;
                continue;
            }
            const size_t kind = GroupSpaceAt(t, i);
            well = well && group >= 1 && group <= 3 && (groups == 0 || group == 3) &&
                   (space == 0 || space == kind);
            space = kind;
            group = 0;
            ++groups;
            i += kind;
        }
        if (!well || group != 3) {
            r.Why = "n'est pas un nombre (espace ailleurs qu'entre les milliers)";
            return r;
        }
        plain = digits + std::string(t.substr(end));
    }
    r.Value = ParseTime(plain, decimalSeparator);
    if (r.Value)
        return r;
    const char other = decimalSeparator == ',' ? '.' : ',';
    if (plain.find(other) != std::string::npos && ParseTime(plain, other))
        r.Why = decimalSeparator == ',' ? "n'est pas un nombre (décimales choisies : la virgule)"
                                        : "n'est pas un nombre (décimales choisies : le point)";
    else
        r.Why = WhyNotANumber;
    return r;
}

} // namespace salvo
