#include "AppSession.h"
#include "E2EMovies.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::OscClient;
using Status = OscClient::Status;

// The real player under Xvfb as a show runs it, watched through OSC status and its pixels.
class ShowE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name, double seconds = 30) {
        return test::squareMovie(app, name, seconds);
    }
    // Waits for the movie's position to come within 1.5 s of `seconds`.
    bool positionNear(OscClient& osc, double seconds) {
        return osc
            .waitForStatus([seconds](const Status& s) {
                return std::fabs(s.position - seconds) < 1.5 && s.duration > 0;
            })
            .has_value();
    }

    AppSession app;
    uint16_t port = test::freeUdpPort();
};

// Home goes back to the start, also after the end of a movie that does not loop; the
// ten-second jumps keep inside the movie. The view's own arrows still step frames.
TEST_F(ShowE2E, HomeAndTheTenSecondJumps) {
    ASSERT_TRUE(app.ok());
    app.start({"--osc-port", std::to_string(port), "--paused", movie("a.mp4", 30)});
    const auto window = app.waitForMainWindow("a.mp4");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(positionNear(osc, 0.0)) << app.process().errors();

    app.key(window, "ctrl+Right");
    EXPECT_TRUE(positionNear(osc, 10.0));
    app.key(window, "ctrl+Right");
    EXPECT_TRUE(positionNear(osc, 20.0));
    app.key(window, "ctrl+Left");
    EXPECT_TRUE(positionNear(osc, 10.0));
    app.key(window, "ctrl+Left");
    app.key(window, "ctrl+Left"); // not before the start
    EXPECT_TRUE(positionNear(osc, 0.0));

    // Played to its end, the movie stands there; Home brings it back and Space plays it.
    osc.send("/lumenarc/seek", "f", 29.0f);
    osc.send("/lumenarc/play", "");
    ASSERT_TRUE(
        osc.waitForStatus([](const Status& s) { return s.rate == 0 && s.position > 29; }, 10s))
        << app.process().errors();
    app.key(window, "Home");
    EXPECT_TRUE(positionNear(osc, 0.0));
    app.key(window, "space");
    EXPECT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1 && s.position > 0.2; }));
}

} // namespace
} // namespace lumenarc
