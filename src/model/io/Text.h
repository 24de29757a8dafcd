#pragma once
// Small text helpers shared by the readers of our files.

#include <string_view>

namespace salvo {

// Without the spaces and control characters (bytes 0 to 32) at either end: program file fields
// and spreadsheet cells.
std::string_view TrimSpaceAndControls(std::string_view s);

// Without the blanks (space, tab, carriage return) at either end: music and label file fields.
std::string_view TrimBlanks(std::string_view s);

} // namespace salvo
