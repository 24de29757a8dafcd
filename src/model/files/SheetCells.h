#pragma once
// The cells of spreadsheets as other programs write them: text in UTF-16, blanks of every kind
// around a cell, and seconds in the forms show tools use.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace salvo {

// Times in hours:minutes:seconds:frames count frames at one of these rates.
constexpr std::array<int, 3> FrameRates{24, 25, 30};
constexpr int DefaultFrameRate = 25;

// Whether the bytes start with a UTF-16 byte-order mark.
bool IsUtf16(std::string_view bytes);

// A text in UTF-16 with its byte-order mark (the "texte Unicode" of spreadsheets), as UTF-8
// with its own mark; any other bytes as they are.
std::string Utf16AsUtf8(std::string_view bytes);

// A cell as written into our ";" files: quoted (quotes doubled) when it holds ";", a quote or
// a line break.
std::string SheetField(const std::string& text);

// Without blanks, control characters and the two non-breaking spaces at either end.
std::string_view TrimAllSpaces(std::string_view text);

// A cell's seconds as show tools write them: "3,52", "1 233,52" (blank, non-breaking or narrow
// non-breaking space between thousands), "3,52 s", "00:03,52", "1:02:03,5", "00:00:03:13"
// (frames at frameRate). Why says what is wrong when it is not read, in the words of a
// refusal ("n'est pas un nombre", ...).
struct SheetSeconds {
    std::optional<double> Value;
    std::string Why;
};
SheetSeconds ReadSheetSeconds(std::string_view text, char decimalSeparator, int frameRate);

} // namespace salvo
