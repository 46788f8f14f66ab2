#include "mesh/NumberConversion.h"

#include "base/IntegerText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace lumenarc {
namespace {

void expectSameAsAtof(const std::string& text) {
    // The test process runs in the C locale, so atof here is the reference.
    const double expected = std::atof(text.c_str());
    const double actual = NumberConversion::toDouble(text);
    EXPECT_EQ(std::bit_cast<uint64_t>(actual), std::bit_cast<uint64_t>(expected))
        << "'" << text << "' gave " << actual << ", atof " << expected;
}

TEST(NumberConversion, IntegersFollowAtoi) {
    EXPECT_EQ(IntegerText::leading("12"), 12);
    EXPECT_EQ(IntegerText::leading("-3"), -3);
    EXPECT_EQ(IntegerText::leading("2.9"), 2);
    EXPECT_EQ(IntegerText::leading("1e3"), 1);
    EXPECT_EQ(IntegerText::leading("3-4"), 3);
    EXPECT_EQ(IntegerText::leading("-"), 0);
    EXPECT_EQ(IntegerText::leading("."), 0);
    EXPECT_EQ(IntegerText::leading("e"), 0);
    EXPECT_EQ(IntegerText::leading("--5"), 0);
    EXPECT_EQ(IntegerText::leading("2147483647"), 2147483647);
    EXPECT_EQ(IntegerText::leading("-2147483648"), std::numeric_limits<int32_t>::min());
}

TEST(NumberConversion, IntegersBeyondTheRangeSaturate) {
    EXPECT_EQ(IntegerText::leading("2147483648"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(IntegerText::leading("4294967298"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(IntegerText::leading(std::string(500, '9')), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(IntegerText::leading("-" + std::string(500, '9')),
              std::numeric_limits<int32_t>::min());
}

TEST(NumberConversion, FloatsTakeTheLongestDecimalBeginning) {
    EXPECT_EQ(NumberConversion::toDouble("0.25"), 0.25);
    EXPECT_EQ(NumberConversion::toDouble("-.5"), -0.5);
    EXPECT_EQ(NumberConversion::toDouble("5."), 5.0);
    EXPECT_EQ(NumberConversion::toDouble("1e5"), 1e5);
    EXPECT_EQ(NumberConversion::toDouble("1e-3"), 0.001);
    EXPECT_EQ(NumberConversion::toDouble("1e"), 1.0);
    EXPECT_EQ(NumberConversion::toDouble("1e-"), 1.0);
    EXPECT_EQ(NumberConversion::toDouble("1.5.2"), 1.5);
    EXPECT_EQ(NumberConversion::toDouble("3-4"), 3.0);
    EXPECT_EQ(NumberConversion::toDouble("e5"), 0.0);
    EXPECT_EQ(NumberConversion::toDouble("-"), 0.0);
    EXPECT_FALSE(std::signbit(NumberConversion::toDouble("-")));
    EXPECT_TRUE(std::signbit(NumberConversion::toDouble("-0")));
}

TEST(NumberConversion, FloatsEqualAtofAtTheEdgesOfTheRange) {
    for (const char* text : {"1e308",
                             "1.7976931348623157e308",
                             "1.7976931348623159e308",
                             "1e309",
                             "-1e309",
                             "1e400",
                             "-1e99999999999",
                             "2.2250738585072014e-308",
                             "2.2250738585072011e-308",
                             "4.9406564584124654e-324",
                             "2.4703282292062327e-324",
                             "2.4703282292062328e-324",
                             "1e-320",
                             "-1e-310",
                             "1e-400",
                             "-1e-400",
                             "1e-99999999999",
                             "0e99999999999",
                             "0.000000000000000000000000000000001e-300",
                             "9007199254740993",
                             "0.1e-",
                             "-.e5"}) {
        expectSameAsAtof(text);
    }
    EXPECT_EQ(NumberConversion::toDouble("1e400"), HUGE_VAL);
    EXPECT_EQ(NumberConversion::toDouble("-1e400"), -HUGE_VAL);
    expectSameAsAtof("1" + std::string(400, '0'));
    expectSameAsAtof("0." + std::string(400, '0') + "1");
    expectSameAsAtof("1." + std::string(800, '3') + "e-5");
}

// Every string the number reader can produce is a run of '-', '.', digits and 'e'.
TEST(NumberConversion, FloatsEqualAtofOnRandomNumberRuns) {
    std::mt19937 random(20261207);
    const std::string alphabet = "-.0123456789e";
    const std::string likely = "0123456789012345.e-";
    for (int round = 0; round < 200000; ++round) {
        const auto& chars = round % 2 == 0 ? alphabet : likely;
        std::string text;
        const int length = 1 + static_cast<int>(random() % 24);
        for (int k = 0; k < length; ++k) {
            text += chars[random() % chars.size()];
        }
        expectSameAsAtof(text);
        if (HasFailure()) {
            return;
        }
    }
}

} // namespace
} // namespace lumenarc
