#include "plugin/samples/sample_set_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(SampleText, TextToIntFollowsTheCommonRule) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"60", 60},
        {" 60", 60},
        {"\t+7", 7},
        {"-3", -3},
        {"12abc", 12},
        {"x", 0},
        {"", 0},
        {"- 5", 0},
        {"60 ", 60},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(sampletext::textToInt(text), expected) << '"' << text << '"';
    }
}

TEST(SampleText, TextToRealReadsOnlyDecimalNumbers) {
    const std::vector<std::pair<const char*, double>> cases = {
        {"1.0", 1.0},   {" 0.75", 0.75}, {"-2.5x", -2.5},     {".5", 0.5},     {"5.", 5.0},
        {"1e2", 100.0}, {"1E-1", 0.1},   {"2e", 2.0},         {"2e+", 2.0},    {"x", 0.0},
        {"", 0.0},      {".", 0.0},      {"inf", 0.0},        {"nan", 0.0},    {"0x10", 0.0},
        {"1,5", 1.0},   {"+3", 3.0},     {"1e999", HUGE_VAL}, {"1e-999", 0.0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(sampletext::textToReal(text), expected) << '"' << text << '"';
    }
}

TEST(SampleText, FieldsSkipEmptyOnesAndKeepSpaces) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(sampletext::splitFields("a.wav,,60"), (V{"a.wav", "60"}));
    EXPECT_EQ(sampletext::splitFields(",,S, 1 ,x.wav ,"), (V{"S", " 1 ", "x.wav "}));
    EXPECT_EQ(sampletext::splitFields(",,,"), V{});
    EXPECT_EQ(sampletext::splitFields(""), V{});
}

TEST(SampleText, JoinPathKeepsTheRoot) {
    EXPECT_EQ(sampletext::joinPath("/", "SampleData"), "/SampleData");
    EXPECT_EQ(sampletext::joinPath("/opt/vst", "SampleData"), "/opt/vst/SampleData");
}
