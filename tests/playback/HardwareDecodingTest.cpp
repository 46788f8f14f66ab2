#include "playback/HardwareDecoding.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

TEST(HardwareDecoding, OnlyAHardwareGlOnTheGlPathDecodesOnTheCardAndTheSettingWins) {
    EXPECT_EQ(HardwareDecoding::choose(false, true, nullptr), "auto-safe");
    EXPECT_EQ(HardwareDecoding::choose(true, true, nullptr), "no");   // software rasteriser
    EXPECT_EQ(HardwareDecoding::choose(false, false, nullptr), "no"); // frames on the processor
    EXPECT_EQ(HardwareDecoding::choose(true, false, nullptr), "no");
    EXPECT_EQ(HardwareDecoding::choose(true, false, "vaapi-copy"), "vaapi-copy");
    EXPECT_EQ(HardwareDecoding::choose(false, true, "no"), "no");
    EXPECT_EQ(HardwareDecoding::choose(false, true, ""), "auto-safe"); // an empty setting: none
    EXPECT_EQ(HardwareDecoding::describe("no", ""),
              "Hardware decoding: no (software GL or frames converted on the processor)");
    EXPECT_EQ(HardwareDecoding::describe("auto-safe", "auto-safe"),
              "Hardware decoding: auto-safe (LUMENARC_HWDEC)");
}

} // namespace
} // namespace lumenarc
