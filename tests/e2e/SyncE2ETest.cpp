#include "AppSession.h"
#include "RemoteSupport.h"
#include "sync/FrameCode.h"
#include "sync/FrameCodeReader.h"
#include "sync/MildMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::FrameCode;
using test::OscClient;
using Status = OscClient::Status;

constexpr int kFps = 30;
constexpr double kMovieSeconds = 20;

// One player, no sync: the frame it shows, read from a screenshot, is the frame it was told
// to show.
TEST(SyncE2E, APausedPlayerShowsItsFrameNumberThroughItsMesh) {
    test::AppSession app;
    ASSERT_TRUE(app.ok());
    const auto movie = (app.home().path() / "frames.mp4").string();
    ASSERT_TRUE(FrameCode::makeMovie(movie, kMovieSeconds, kFps));
    const auto mesh = app.home().write("mild.data", test::MildMeshes::text(1));
    const uint16_t port = test::freeUdpPort();
    app.start(
        {"--paused", "--volume", "0", "--mesh", mesh, "--osc-port", std::to_string(port), movie});
    ASSERT_FALSE(app.waitForMainWindow("frames.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.duration > 0; }))
        << app.process().errors();
    const auto area = app.viewArea();
    ASSERT_GT(area.width, 0);
    const auto shown = [&](int frame) {
        const auto pixels = app.waitForView(area, [&](const std::vector<uint8_t>& p) {
            return test::FrameCodeReader(
                       {p.data(), area.width * 3, 3, 0, 0, area.width, area.height})
                       .frame() == frame;
        });
        return test::FrameCodeReader(
                   {pixels.data(), area.width * 3, 3, 0, 0, area.width, area.height})
            .frame();
    };
    EXPECT_EQ(shown(0), 0);
    // A seek shows the first frame at or after the time asked for.
    for (const auto& [seconds, frame] :
         std::vector<std::pair<float, int>>{{7.0f, 210}, {12.51f, 376}, {0.5f, 15}}) {
        osc.send("/lumenarc/seek", "f", seconds);
        EXPECT_EQ(shown(frame), frame) << seconds << " s";
    }
    // Playing, then paused where it happens to be: the picture is the frame at the position.
    osc.send("/lumenarc/play", "");
    osc.waitForStatus([](const Status& s) { return s.rate == 1 && s.position >= 2.0f; });
    osc.send("/lumenarc/pause", "");
    const auto paused = osc.waitForStatus([](const Status& s) { return s.rate == 0; });
    ASSERT_TRUE(paused);
    const auto at = static_cast<int>(std::lround(paused->position * kFps));
    const auto frame = shown(at);
    ASSERT_TRUE(frame) << "nothing read at " << paused->position << " s";
    EXPECT_LE(std::abs(*frame - at), 1) << paused->position << " s";
}
} // namespace
} // namespace lumenarc
