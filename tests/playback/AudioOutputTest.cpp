#include "playback/AudioOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace lumenarc {
namespace {

TEST(AudioOutput, DelaysBeyondTwoSecondsEitherWayOrNotANumberAreRefusedWithTheValue) {
    EXPECT_EQ(AudioOutput::checkDelay(0.25), "");
    EXPECT_EQ(AudioOutput::checkDelay(-2.0), "");
    EXPECT_EQ(AudioOutput::checkDelay(2.0), "");
    EXPECT_EQ(AudioOutput::checkDelay(2.5),
              "the audio delay must be between -2 and 2 seconds, not 2.5");
    EXPECT_EQ(AudioOutput::checkDelay(-3),
              "the audio delay must be between -2 and 2 seconds, not -3");
    EXPECT_NE(AudioOutput::checkDelay(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_NE(AudioOutput::checkDelay(std::numeric_limits<double>::infinity()), "");
}

// Without a display or a sound server libmpv still lists its own choices, one line each.
TEST(AudioOutput, TheDevicesLibmpvSeesAreListedWithoutADisplay) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string error;
    const auto devices = AudioOutput::devices(&error);
    ASSERT_FALSE(devices.empty()) << error;
    EXPECT_TRUE(std::any_of(devices.begin(), devices.end(),
                            [](const auto& device) { return device.name == "auto"; }));
    const std::string listing = AudioOutput::listing(devices);
    EXPECT_EQ(static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')),
              devices.size());
    EXPECT_EQ(listing.substr(0, listing.find('\n')),
              devices.front().name + "  " + devices.front().description);
}

} // namespace
} // namespace lumenarc
