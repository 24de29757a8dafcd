#include "model/program/TimeText.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace salvo;

TEST(FormatTime, ShortestTextWithTheGivenSeparator) {
    struct Case {
        double value;
        char sep;
        const char* text;
    };
    const Case cases[] = {
        {0.0, ',', "0"},
        {-0.0, ',', "0"},
        {1.2000000000000002, ',', "1,2"},
        {6553.400000000001, ',', "6553,4"},
        {12.4, ',', "12,4"},
        {12.0, ',', "12"},
        {10.2, '.', "10.2"},
        {0.2, ',', "0,2"},
        {1e20, ',', "1E20"},
        {1.5e-7, ',', "1,5E-7"},
        {123456789012.2, ',', "123456789012,2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTime(c.value, c.sep), c.text) << c.value;
}

TEST(FormatTime, EveryStepCountRoundTripsThroughItsText) {
    for (uint32_t steps = 0; steps <= 32767; ++steps) {
        double t = steps * 0.2;
        auto back = ParseTime(FormatTime(t, ','), ',');
        ASSERT_TRUE(back.has_value()) << steps;
        ASSERT_EQ(std::nearbyint(*back / 0.2), steps);
    }
}

TEST(ParseTime, AcceptsTheTypedForms) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {{"12,34", 12.34}, {" 1,5 ", 1.5},  {"+3", 3.0},    {"-2", -2.0},
                          {"5,", 5.0},      {",", 0.0},      {",5", 0.5},    {"1e3", 1000.0},
                          {"1,5E-1", 0.15}, {"2e+2", 200.0}, {"\t7\t", 7.0}, {"007", 7.0}};
    for (const Case& c : cases) {
        auto v = ParseTime(c.text, ',');
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
    }
}

TEST(ParseTime, RefusesEverythingElse) {
    const char* cases[] = {"",    "   ", "1,2,3", "1.5",  "1 000", "abc",   "1e",
                           "e5",  "--1", "+-1",   "1,5x", "1e999", "-",     "+",
                           "1 2", ",,",  "0x10",  "inf",  "nan",   "-1e999"};
    for (const char* text : cases)
        EXPECT_FALSE(ParseTime(text, ',').has_value()) << text;
    // Too small for a double is 0, not a stranger; too large stays one.
    const std::string tiny = "0," + std::string(400, '0') + "1";
    for (const std::string& text : {std::string("1e-400"), std::string("-1e-99999"), tiny,
                                    std::string("100e-99999999999999999999")})
        EXPECT_EQ(ParseTime(text, ','), 0.0) << text;
    EXPECT_FALSE(ParseTime("0,001e999", ',').has_value());
    // With a point for separator, the comma becomes the stranger.
    EXPECT_FALSE(ParseTime("1,5", '.').has_value());
    EXPECT_DOUBLE_EQ(*ParseTime("1.5", '.'), 1.5);
}

TEST(ParseInt32, SignedDecimalThatFits) {
    EXPECT_EQ(ParseInt32(" 7 "), 7);
    EXPECT_EQ(ParseInt32("-1"), -1);
    EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
    EXPECT_FALSE(ParseInt32("2147483648").has_value());
    EXPECT_FALSE(ParseInt32("x").has_value());
    EXPECT_FALSE(ParseInt32("1.0").has_value());
    EXPECT_FALSE(ParseInt32("").has_value());
    EXPECT_FALSE(ParseInt32("+-3").has_value());
}
