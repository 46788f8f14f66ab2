#include "shell/QtGlyphSource.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

// Before a GUI application exists Qt has no fonts; asking must not abort.
TEST(QtGlyphSourceWithoutGui, AnswersNoFont) {
    EXPECT_EQ(QtGlyphSource::create(), nullptr);
}

} // namespace
} // namespace lumenarc
