#include "model/program/TimeText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace salvo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a number that a double cannot hold is too small rather than too large: the power of
// ten of its first significant digit, exponent included, is negative.
bool TooSmall(const std::string& normal) {
    size_t start = normal[0] == '-' ? 1 : 0;
    size_t end = std::min(normal.find('e'), normal.size());
    long long units = 0; // digits before the point
    while (start + units < end && IsDigit(normal[start + units]))
        ++units;
    long long exponent = 0;
    if (end < normal.size()) {
        for (size_t j = end + 1; j < normal.size(); ++j)
            if (IsDigit(normal[j]) && exponent < 1000000000)
                exponent = exponent * 10 + (normal[j] - '0');
        if (normal[end + 1] == '-')
            exponent = -exponent;
    }
    long long index = 0; // of the digit in the mantissa, the point skipped
    for (size_t j = start; j < end; ++j) {
        if (normal[j] == '.')
            continue;
        if (normal[j] != '0')
            return units - 1 - index + exponent < 0;
        ++index;
    }
    return false;
}

// With at most precision significant digits, trailing zeros dropped.
std::string Format(double seconds, char separator, int precision) {
    if (std::isnan(seconds))
        return "NAN";
    if (std::isinf(seconds))
        return seconds > 0 ? "INF" : "-INF";
    if (seconds == 0.0)
        seconds = 0.0; // no "-0"
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::general, precision);
    std::string raw(buf, res.ptr);
    // to_chars writes "1.5e+20"; show "1,5E20" and "1E-5".
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '.') {
            out += separator;
        } else if (c == 'e') {
            out += 'E';
            size_t j = i + 1;
            bool negative = j < raw.size() && raw[j] == '-';
            if (j < raw.size() && (raw[j] == '+' || raw[j] == '-'))
                ++j;
            while (j + 1 < raw.size() && raw[j] == '0')
                ++j;
            if (negative)
                out += '-';
            out.append(raw, j, std::string::npos);
            break;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string FormatTime(double seconds, char separator) {
    return Format(seconds, separator, 15);
}

double RoundToMillisecond(double seconds) {
    if (!std::isfinite(seconds))
        return seconds;
    const double rounded = std::round(seconds * 1000) / 1000;
    return rounded == 0 ? 0.0 : rounded; // no "-0"
}

std::string FormatMilliseconds(double seconds, char separator) {
    return FormatTime(RoundToMillisecond(seconds), separator);
}

std::string FormatTimeExactly(double seconds, char separator) {
    // 15 digits first, so that whatever they already held exactly is written as before.
    for (int precision = 15; precision < 17; ++precision) {
        char buf[64];
        auto res =
            std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::general, precision);
        double back = 0;
        std::from_chars(buf, res.ptr, back);
        if (back == seconds || !std::isfinite(seconds))
            return Format(seconds, separator, precision);
    }
    return Format(seconds, separator, 17);
}

std::optional<double> ParseTime(std::string_view text, char separator) {
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    std::string normal;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            normal += '-';
        ++i;
    }
    bool mantissa = false;
    while (i < n && IsDigit(text[i])) {
        normal += text[i++];
        mantissa = true;
    }
    if (i < n && text[i] == separator) {
        ++i;
        mantissa = true;
        normal += '.';
        while (i < n && IsDigit(text[i]))
            normal += text[i++];
    }
    if (!mantissa)
        return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        normal += 'e';
        if (i < n && (text[i] == '+' || text[i] == '-'))
            normal += text[i++];
        bool digits = false;
        while (i < n && IsDigit(text[i])) {
            normal += text[i++];
            digits = true;
        }
        if (!digits)
            return std::nullopt;
    }
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i != n)
        return std::nullopt;
    // from_chars wants a digit somewhere in the mantissa: "," and "5," and ",5" all read fine
    // once a zero stands on each side of the point.
    std::string ready;
    for (size_t k = 0; k < normal.size(); ++k) {
        char c = normal[k];
        if (c == '.' && (k == 0 || !IsDigit(normal[k - 1])))
            ready += '0';
        ready += c;
        if (c == '.' && (k + 1 == normal.size() || !IsDigit(normal[k + 1])))
            ready += '0';
    }
    double value = 0.0;
    auto res = std::from_chars(ready.data(), ready.data() + ready.size(), value);
    if (res.ec == std::errc::result_out_of_range && TooSmall(normal))
        return 0.0; // far below any step: a user means 0
    if (res.ec != std::errc() || res.ptr != ready.data() + ready.size())
        return std::nullopt;
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int32_t> ParseInt32(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    std::string_view t = text.substr(b, e - b);
    if (!t.empty() && t[0] == '+') {
        t.remove_prefix(1);
        if (!t.empty() && t[0] == '-')
            return std::nullopt;
    }
    if (t.empty())
        return std::nullopt;
    int32_t value = 0;
    auto res = std::from_chars(t.data(), t.data() + t.size(), value);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size())
        return std::nullopt;
    return value;
}

} // namespace salvo
