#pragma once
// The text form of times: what the grid shows, what the user types, what files hold.
// The decimal separator is always passed in; the model never reads the locale.

#include <optional>
#include <string>
#include <string_view>

namespace salvo {

// Shortest decimal text of at most 15 significant digits, trailing zeros dropped.
std::string FormatTime(double seconds, char separator);
// The same form with as many digits as it takes to read back as the very same value (files).
std::string FormatTimeExactly(double seconds, char separator);

// Music times are kept and shown to the millisecond: finer is noise, not timing.
double RoundToMillisecond(double seconds);
// "254,417": the time rounded to the millisecond, trailing zeros dropped.
std::string FormatMilliseconds(double seconds, char separator);

// Blanks, optional sign, digits with at most one separator, optional exponent, blanks.
// A lone separator reads as 0. Anything else, or a value out of range, is not a number.
std::optional<double> ParseTime(std::string_view text, char separator);

// A decimal integer that must fit in a signed 32-bit value (blanks around it allowed).
std::optional<int32_t> ParseInt32(std::string_view text);

} // namespace salvo
