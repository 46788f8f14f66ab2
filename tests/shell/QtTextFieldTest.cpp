#include "base/IntegerText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace lumenarc {
namespace {

TEST(QtTextField, LeadingIntTakesTheNumberAtTheStartOfTheText) {
    const std::pair<std::string, int> cases[] = {
        {"3", 3},   {"2abc", 2},   {"3.7", 3}, {"  42", 42}, {"\t-3", -3}, {"+5", 5},
        {"007", 7}, {"12 34", 12}, {"-0", 0},  {"", 0},      {"   ", 0},   {"abc", 0},
        {"x2", 0},  {"-", 0},      {"+-2", 0}, {"- 2", 0},   {".5", 0},    {"100000", 100000},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(IntegerText::typed(text), expected) << '"' << text << '"';
    }
}

TEST(QtTextField, LeadingIntSaturatesBeyondThirtyTwoBits) {
    constexpr int32_t max = std::numeric_limits<int32_t>::max();
    constexpr int32_t min = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(IntegerText::typed("2147483647"), max);
    EXPECT_EQ(IntegerText::typed("2147483648"), max);
    EXPECT_EQ(IntegerText::typed("99999999999999999999999999"), max);
    EXPECT_EQ(IntegerText::typed("-2147483648"), min);
    EXPECT_EQ(IntegerText::typed("-2147483649"), min);
    EXPECT_EQ(IntegerText::typed("-99999999999999999999999999x"), min);
}

} // namespace
} // namespace lumenarc
