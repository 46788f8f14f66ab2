#include "mesh/NumberReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumenarc {
namespace {

std::vector<std::string> numbersOf(std::string_view text) {
    NumberReader reader(text);
    std::vector<std::string> out;
    while (auto number = reader.GetNumberyBit()) {
        out.emplace_back(*number);
    }
    return out;
}

using Numbers = std::vector<std::string>;

// Two probes tell the four byte classes apart by what they do to the numbers around them:
// "1?2" separates (separator, neutral), joins (number character) or hides (letter) the 2;
// "x?5" finds the 5 only after a separator, which alone switches numbers back on.
TEST(NumberReader, EveryByteActsByItsClass) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool separator = c == ' ' || c == '\n' || c == '\r' || c == ',' || c == ';';
        const bool numberChar = (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 'e';
        const bool letter = b >= 0x42 && b <= 0x7F && !numberChar;
        const std::string between = std::string("1") + c + "2";
        const std::string afterWord = std::string("x") + c + "5";
        SCOPED_TRACE(b);
        if (numberChar) {
            EXPECT_EQ(numbersOf(between), Numbers{between});
        } else if (letter) {
            EXPECT_EQ(numbersOf(between), Numbers{"1"});
            EXPECT_EQ(numbersOf(afterWord), Numbers{});
        } else if (separator) {
            EXPECT_EQ(numbersOf(between), (Numbers{"1", "2"}));
            EXPECT_EQ(numbersOf(afterWord), Numbers{"5"});
        } else {
            EXPECT_EQ(numbersOf(between), (Numbers{"1", "2"}));
            EXPECT_EQ(numbersOf(afterWord), Numbers{});
        }
        EXPECT_EQ(static_cast<int>(NumberReader::classify(static_cast<unsigned char>(b))),
                  static_cast<int>(separator    ? NumberReader::ByteClass::Separator
                                   : numberChar ? NumberReader::ByteClass::NumberChar
                                   : letter     ? NumberReader::ByteClass::Letter
                                                : NumberReader::ByteClass::Neutral));
    }
}

TEST(NumberReader, WordsHideGluedDigitsUntilTheNextSeparator) {
    EXPECT_EQ(numbersOf("x1.5"), Numbers{});
    EXPECT_EQ(numbersOf("x 1.5"), Numbers{"1.5"});
    EXPECT_EQ(numbersOf("width 4"), Numbers{"4"});
    EXPECT_EQ(numbersOf("width\t4"), Numbers{}); // a tab is neutral: numbers stay off
    EXPECT_EQ(numbersOf("A5"), Numbers{"5"});    // capital A is neutral
    EXPECT_EQ(numbersOf("B5"), Numbers{});
    EXPECT_EQ(numbersOf("3D"), Numbers{"3"});
    EXPECT_EQ(numbersOf("2nd"), Numbers{"2"});
    EXPECT_EQ(numbersOf("end each"), (Numbers{"e", "e"})); // a word starting with e yields its e
    EXPECT_EQ(numbersOf("grid: 3;4"), (Numbers{"3", "4"}));
}

TEST(NumberReader, ExponentsSignsAndSlashes) {
    EXPECT_EQ(numbersOf("1E5 7"), (Numbers{"1", "7"})); // capital E hides the 5
    EXPECT_EQ(numbersOf("1e5"), Numbers{"1e5"});
    EXPECT_EQ(numbersOf("1e+5"), (Numbers{"1e", "5"})); // the plus sign is neutral
    EXPECT_EQ(numbersOf("3-4"), Numbers{"3-4"});
    EXPECT_EQ(numbersOf("1/2"), (Numbers{"1", "2"}));
    EXPECT_EQ(numbersOf(" e . - "), (Numbers{"e", ".", "-"}));
}

TEST(NumberReader, RunsToTheEndOfTheTextAndNoFurther) {
    NumberReader reader("12 34");
    EXPECT_EQ(reader.GetNumberyBit(), "12");
    EXPECT_EQ(reader.GetNumberyBit(), "34");
    EXPECT_EQ(reader.GetNumberyBit(), std::nullopt);
    EXPECT_EQ(reader.GetNumberyBit(), std::nullopt);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(numbersOf(""), Numbers{});
    EXPECT_EQ(numbersOf("only words here"), Numbers{});
    const std::string withNul("1\0"
                              "2",
                              3);
    EXPECT_EQ(numbersOf(withNul), (Numbers{"1", "2"}));
}

TEST(NumberReader, ScansConvertTheNextNumber) {
    NumberReader reader("type 2.9, -.5 1e3");
    EXPECT_EQ(reader.scanInt(), 2);
    EXPECT_EQ(reader.scanDouble(), -0.5);
    EXPECT_EQ(reader.scanInt(), 1);
    EXPECT_EQ(reader.scanInt(), std::nullopt);
    EXPECT_EQ(reader.scanDouble(), std::nullopt);
}

// The quick conversion stops where the decimal number ends; the rest of its run is still
// part of it and must not become the next number.
TEST(NumberReader, AScannedNumberSwallowsTheRestOfItsRun) {
    NumberReader reader("0.25-1 0.75 2e3e4 5");
    EXPECT_EQ(reader.scanDouble(), 0.25);
    EXPECT_EQ(reader.scanDouble(), 0.75);
    EXPECT_EQ(reader.scanDouble(), 2000.0);
    EXPECT_EQ(reader.scanDouble(), 5.0);
    EXPECT_EQ(reader.scanDouble(), std::nullopt);
}

} // namespace
} // namespace lumenarc
