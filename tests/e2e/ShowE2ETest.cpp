#include "AppSession.h"
#include "E2EMovies.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

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

    // Gives the keyboard to `window`, then to another application's window, as a notification
    // taking the focus would.
    void takeFocusFrom(const std::string& window) {
        app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
        other = std::make_unique<test::BackgroundProcess>(
            std::vector<std::string>{"/usr/bin/xmessage", "-name", "other", "a notification"},
            app.environment());
        const auto notification = app.x().waitForWindow("^other$", 10s);
        ASSERT_FALSE(notification.empty());
        app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", notification});
    }
    // Still playing: the position goes on by a second at the normal rate.
    bool playsOn(OscClient& osc) {
        const auto now = osc.status();
        return now && osc.waitForStatus([from = now->position](const Status& s) {
            return s.rate == 1 && s.position > from + 1.0;
        });
    }
    // The window of the player with this process id, once it shows.
    std::string windowOf(int pid) {
        for (const auto deadline = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < deadline;) {
            const auto found = app.x().run({"/usr/bin/xdotool", "search", "--onlyvisible", "--pid",
                                            std::to_string(pid), "--name", "mp4"});
            if (!found.empty()) {
                return found.substr(0, found.find('\n'));
            }
            std::this_thread::sleep_for(100ms);
        }
        return {};
    }

    AppSession app;
    uint16_t port = test::freeUdpPort();
    std::unique_ptr<test::BackgroundProcess> other;
};

// In a show nothing on the desktop stops the picture: a missing mesh, a movie of the list that
// does not open and a bad mesh over OSC are logged with their reasons, no alert comes up, and
// a window taking the focus does not pause it. A mesh sent over OSC comes in while it plays.
TEST_F(ShowE2E, AShowGoesOnThroughBadInputAndFocusLoss) {
    ASSERT_TRUE(app.ok());
    const auto bad = app.home().write("bad.mp4", "not a movie");
    const auto junk = app.home().write("junk.data", "2 4 4 0 0");
    const auto good = app.home().write("good.data", "2 2 1 -1 0 0 0 1 1 0 1 0 1");
    app.start({"--show", "--osc-port", std::to_string(port), "--mesh", "/nonexistent.data",
               movie("a.mp4", 2), bad, movie("c.mp4")});
    const auto window = app.waitForMainWindow("a.mp4 \\(1/3\\)");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    EXPECT_TRUE(app.waitForLog("missing: no such file (/nonexistent.data)", 5s))
        << app.process().errors();
    OscClient osc("127.0.0.1", port);
    // The short first movie ends, the bad one is skipped with a line, the third plays.
    EXPECT_TRUE(osc.waitForStatus([](const Status& s) { return s.path.ends_with("c.mp4"); }));
    EXPECT_TRUE(app.waitForLog("Movie error: The movie \"bad.mp4\" could not be opened", 5s));
    ASSERT_TRUE(playsOn(osc)) << app.process().errors();

    takeFocusFrom(app.waitForMainWindow("c.mp4 \\(3/3\\)"));
    EXPECT_TRUE(playsOn(osc)) << "paused when the focus went elsewhere";

    osc.send("/lumenarc/mesh", "s", junk.c_str());
    EXPECT_TRUE(app.waitForLog("too short: 0 nodes found of 16 expected", 5s))
        << app.process().errors();
    osc.send("/lumenarc/mesh", "s", good.c_str());
    EXPECT_TRUE(playsOn(osc)) << "a mesh sent over OSC stopped the show";
    EXPECT_TRUE(app.x().waitForWindowGone("^File error$|^Movie error$", 1s));
    EXPECT_EQ(app.x().run({"/usr/bin/xdotool", "search", "--name", "error$"}), "");
}

// The overlay band goes and comes back, by the command line and by OSC, seen in the pixels
// just above the bottom of the mesh square; a show without a movie asks for none.
TEST_F(ShowE2E, TheOverlayBandTurnsOffAndOn) {
    ASSERT_TRUE(app.ok());
    app.start({"--show", "--no-overlay", "--osc-port", std::to_string(port)});
    ASSERT_FALSE(app.waitForMainWindow().empty()) << app.process().errors();
    EXPECT_TRUE(app.waitForLog("no movie to show yet", 5s));
    const auto area = app.viewArea();
    ASSERT_GT(area.width, 100);
    const int side = std::min(area.width, area.height);
    const auto band = [&](const std::vector<uint8_t>& pixels) {
        const size_t x = static_cast<size_t>(area.width / 2);
        const size_t y = static_cast<size_t>(area.height / 2 + side * 3 / 8);
        const uint8_t* p = &pixels[(y * static_cast<size_t>(area.width) + x) * 3];
        return p[0] > 40 && p[0] > p[1]; // lit, tinted red
    };
    const auto shown = [&](bool on) {
        const auto pixels =
            app.waitForView(area, [&](const auto& p) { return !p.empty() && band(p) == on; });
        return !pixels.empty() && band(pixels) == on;
    };
    EXPECT_TRUE(shown(false));
    OscClient osc("127.0.0.1", port);
    osc.send("/lumenarc/overlay", "i", 1);
    EXPECT_TRUE(shown(true));
    osc.send("/lumenarc/overlay", "i", 0);
    EXPECT_TRUE(shown(false));
}

// Full screen starts from the output asked for, here the second screen of the display, and
// a second player can take the first.
TEST(ShowScreensE2E, FullScreenGoesToTheOutputAskedFor) {
    AppSession app(800, 600, 640, 480);
    ASSERT_TRUE(app.ok());
    const auto listed = test::runProcess({test::binPath("lumenarc"), "--list-screens"},
                                         {.env = app.environment(), .input = {}, .timeout = 20s});
    EXPECT_NE(listed.out.find("1  screen  640x480"), std::string::npos) << listed.out;
    app.start({"--screen", "1", "--fullscreen", test::squareMovie(app, "a.mp4")});
    // The full-screen window covers screen 1, which the first screen's search does not see.
    std::string geometry;
    for (const auto deadline = std::chrono::steady_clock::now() + 20s;
         geometry.find("640x480") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(200ms)) {
        const auto found = app.x().run(
            {"/usr/bin/xdotool", "search", "--screen", "1", "--onlyvisible", "--name", "."});
        geometry.clear();
        for (size_t at = 0; at < found.size();) {
            const size_t end = found.find('\n', at);
            geometry +=
                app.x().run({"/usr/bin/xdotool", "getwindowgeometry", found.substr(at, end - at)});
            at = end == std::string::npos ? found.size() : end + 1;
        }
    }
    EXPECT_NE(geometry.find("640x480"), std::string::npos) << geometry << app.process().errors();
}

// A machine of a synchronised show never pauses on losing the focus, leader or follower: the
// pause would stop every machine.
TEST_F(ShowE2E, NeitherLeaderNorFollowerPausesOnLosingFocus) {
    ASSERT_TRUE(app.ok());
    const auto a = movie("a.mp4");
    const auto syncPort = std::to_string(test::freeUdpPort());
    app.start({"--sync-leader", syncPort, "--osc-port", std::to_string(port), a});
    const auto leader = windowOf(app.process().pid());
    ASSERT_FALSE(leader.empty()) << app.process().errors();
    test::BackgroundProcess follower(
        {test::binPath("lumenarc"), "--sync-follow", "127.0.0.1:" + syncPort, a},
        app.environment());
    const auto followerWindow = windowOf(follower.pid());
    ASSERT_FALSE(followerWindow.empty()) << follower.errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(playsOn(osc)) << app.process().errors();

    takeFocusFrom(followerWindow);
    EXPECT_TRUE(playsOn(osc)) << follower.errors();
    other.reset();
    takeFocusFrom(leader);
    EXPECT_TRUE(playsOn(osc)) << app.process().errors();
}

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
