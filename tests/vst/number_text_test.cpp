#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "recording_effect.h"

namespace {

enum class Op { Db, Hz, Ms, Float, Int };

struct TextRow {
    Op op;
    double value;
    int32_t maxLen;
    const char* expected;
};

const TextRow kRows[] = {
    {Op::Float, 0.0, 8, "0.000000"},
    {Op::Float, 20.0 * std::log10(0.5), 8, "-6.02059"},
    {Op::Float, 12.5, 8, "12.50000"},
    {Op::Float, -12.25, 8, "-12.2500"},
    {Op::Float, 0.999999999, 8, "0.999999"},  // cut, never rounded
    {Op::Float, 1234567.89, 8, "1234567."},
    {Op::Float, -123456.5, 8, "-123456."},
    {Op::Float, 99999999.0, 10, "99999999."},  // no digit is lost
    {Op::Float, -9999999.0, 10, "-9999999."},
    {Op::Float, 100000000.0, 8, "Huge!"},
    {Op::Float, -10000000.0, 8, "Huge!"},
    {Op::Float, 100000000.0, 3, "Hug"},
    {Op::Float, 12.5, 4, "12.5"},
    {Op::Float, -12.25, 2, "-1"},
    {Op::Float, 12.5, 0, ""},
    {Op::Db, 0.0, 8, "-oo"},
    {Op::Db, -1.0, 8, "-oo"},
    {Op::Db, 0.0, 2, "-o"},
    {Op::Db, 1.0, 8, "0.000000"},
    {Op::Db, 0.5, 8, "-6.02059"},
    {Op::Db, 10.0, 8, "20.00000"},
    {Op::Hz, 0.0, 8, "0.000000"},
    {Op::Hz, 441.0, 8, "100.0000"},
    {Op::Ms, 441.0, 8, "10.00000"},
    {Op::Ms, 0.0, 8, "0.000000"},
    {Op::Int, 0, 8, "0"},
    {Op::Int, -42, 8, "-42"},
    {Op::Int, 99999999, 8, "99999999"},
    {Op::Int, 100000000, 8, "Huge!"},
    {Op::Int, -2147483648.0, 11, "-2147483648"},
    {Op::Int, 123456, 3, "123"},
};

TEST(NumberText, ExamplesAndLimits) {
    RecordingEffect effect;
    for (const TextRow& row : kRows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.op)) + " " + std::to_string(row.value) +
                     " maxLen " + std::to_string(row.maxLen));
        // A guard band shows any write past maxLen + 1 bytes.
        char buffer[32];
        std::memset(buffer, '#', sizeof(buffer));
        switch (row.op) {
            case Op::Db:
                effect.dbToText(static_cast<float>(row.value), buffer, row.maxLen);
                break;
            case Op::Hz:
                effect.hzToText(static_cast<float>(row.value), buffer, row.maxLen);
                break;
            case Op::Ms:
                effect.msToText(static_cast<float>(row.value), buffer, row.maxLen);
                break;
            case Op::Float:
                effect.floatToText(row.value, buffer, row.maxLen);
                break;
            case Op::Int:
                effect.intToText(static_cast<int32_t>(row.value), buffer, row.maxLen);
                break;
        }
        EXPECT_STREQ(buffer, row.expected);
        for (size_t i = static_cast<size_t>(row.maxLen) + 1; i < sizeof(buffer); ++i) {
            ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
        }
    }
}

}  // namespace
