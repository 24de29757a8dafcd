#pragma once
// A pyrotechnic article as its label and its maker's sheet describe it, and the copy of it that
// a channel carries, so that a show stays complete without the catalogue it came from.
//
// Numbers are kept as integers of their smallest unit, so that totals, limits and file round
// trips are exact:
// - masses in grams: the regulatory figures (35 kg, 500 g) are whole grams;
// - calibres in whole millimetres: labels give them so (30, 50, 105 mm), and the limits of
//   50 and 105 mm are then exact comparisons;
// - safety distances in centimetres, written as decimal metres ("12,5"): labels give whole or
//   half metres, and a fixed point keeps the largest distance and the text exact;
// - durations and lift times in milliseconds, as the music's times are.
// A missing figure is std::nullopt and is never counted as zero.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace salvo {

enum class Category { F1, F2, F3, F4, T1, T2 };
constexpr int CategoryCount = 6;

const char* CategoryName(Category c);
std::optional<Category> ParseCategory(std::string_view text); // "F3", "t1"...

struct Product {
    std::string Name;  // nom commercial
    std::string Maker; // fabricant
    Category Class = Category::F2;
    std::string Reference; // CE number or approval
    std::optional<int32_t> CalibreMm;
    std::optional<int64_t> MassGrams; // net active mass of one article
    std::optional<int64_t> DurationMs;
    std::optional<int64_t> LiftMs; // from ignition to the effect
    std::optional<int64_t> SafetyDistanceCm;
    std::string Effect;

    bool operator==(const Product& o) const;
    bool operator!=(const Product& o) const { return !(*this == o); }
};

// Beyond these a figure is a typing fault, not an article; they also keep every total far from
// overflowing.
constexpr int64_t MaxMassGrams = 1000000000;
constexpr int64_t MaxMilliseconds = 24 * 3600 * 1000;
constexpr int64_t MaxDistanceCm = 100000000;
constexpr int32_t MaxCalibreMm = 10000;
constexpr int32_t MaxQuantity = 1000000;

struct ChannelProduct {
    Product Item;
    int32_t Quantity = 1; // at least 1

    bool operator==(const ChannelProduct& o) const {
        return Item == o.Item && Quantity == o.Quantity;
    }
};

// Fixed-point texts: value counts units of 10^-decimals ("12,5" at 2 decimals is 1250).
// Reading takes blanks around, no sign, at most `decimals` digits after the separator;
// writing drops trailing zeros ("12,5", "3").
std::optional<int64_t> ParseFixed(std::string_view text, int decimals, char separator);
std::string FormatFixed(int64_t value, int decimals, char separator);

// "35,001 kg": grams as kilograms with three decimals and a decimal comma.
std::string KilogramText(int64_t grams);

} // namespace salvo
