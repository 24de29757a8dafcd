#pragma once
// Windows-1252 at the file and wire boundary; UTF-8 everywhere inside the program.

#include <string>
#include <string_view>

namespace salvo {

// Every byte maps to one character, so any file survives a read and a write unchanged.
std::string Windows1252ToUtf8(std::string_view bytes);

// Characters that Windows-1252 cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToWindows1252(std::string_view text);

// Whether a text goes through a file unchanged.
bool FitsWindows1252(std::string_view text);

} // namespace salvo
