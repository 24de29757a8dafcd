#include "model/products/Product.h"

#include "model/io/Text.h"

#include <array>
#include <tuple>

namespace salvo {

namespace {

constexpr std::array<const char*, CategoryCount> CategoryNames{"F1", "F2", "F3", "F4", "T1", "T2"};

auto Fields(const Product& p) {
    return std::tie(p.Name, p.Maker, p.Class, p.Reference, p.CalibreMm, p.MassGrams, p.DurationMs,
                    p.LiftMs, p.SafetyDistanceCm, p.Effect);
}

} // namespace

const char* CategoryName(Category c) {
    return CategoryNames[static_cast<size_t>(c)];
}

std::optional<Category> ParseCategory(std::string_view text) {
    text = TrimBlanks(text);
    if (text.size() != 2)
        return std::nullopt;
    const char first = text[0] >= 'a' && text[0] <= 'z' ? char(text[0] - 'a' + 'A') : text[0];
    for (size_t i = 0; i < CategoryNames.size(); ++i)
        if (CategoryNames[i][0] == first && CategoryNames[i][1] == text[1])
            return static_cast<Category>(i);
    return std::nullopt;
}

bool Product::operator==(const Product& o) const {
    return Fields(*this) == Fields(o);
}

std::optional<int64_t> ParseFixed(std::string_view text, int decimals, char separator) {
    text = TrimBlanks(text);
    int64_t value = 0;
    int after = -1; // digits read after the separator; -1 before it
    bool digits = false;
    for (char c : text) {
        if (c == separator && after < 0) {
            after = 0;
        } else if (c >= '0' && c <= '9') {
            if (after >= decimals || value > (INT64_MAX / 10 - 9))
                return std::nullopt;
            value = value * 10 + (c - '0');
            digits = true;
            if (after >= 0)
                ++after;
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    for (int k = after < 0 ? 0 : after; k < decimals; ++k) {
        if (value > INT64_MAX / 10)
            return std::nullopt;
        value *= 10;
    }
    return value;
}

std::string FormatFixed(int64_t value, int decimals, char separator) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() <= static_cast<size_t>(decimals))
        digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    std::string part = digits.substr(whole.size());
    while (!part.empty() && part.back() == '0')
        part.pop_back();
    return (value < 0 ? "-" : "") + whole + (part.empty() ? "" : separator + part);
}

std::string KilogramText(int64_t grams) {
    std::string part = std::to_string(grams % 1000);
    return std::to_string(grams / 1000) + "," + std::string(3 - part.size(), '0') + part + " kg";
}

} // namespace salvo
