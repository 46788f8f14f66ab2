#include "AppSession.h"
#include "E2EMovies.h"
#include "RemoteSupport.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::OscClient;
using Status = OscClient::Status;

constexpr const char* kFullScreenTitle = "^Lumenarc Full Screen$";

// The real player under Xvfb, asked for the same thing again while it is still doing it: a
// command that comes in while the player runs an event loop of its own must find it in a state
// that takes it.
class ReentryE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name = "show.mp4", double seconds = 30) {
        return test::squareMovie(app, name, seconds);
    }
    std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) {
                out.push_back(line);
            }
        }
        return out;
    }
    // After several requests for full screen: still running, one full-screen window covering
    // the screen, the movie playing in it, and an orderly quit.
    void expectOneFullScreenWindowPlaying(OscClient& osc) {
        const auto full = app.x().waitForWindow(kFullScreenTitle, 10s);
        ASSERT_FALSE(full.empty()) << "running: " << app.process().running() << "\n"
                                   << app.process().errors();
        // Answering a status request means every request before it has been carried out.
        ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }))
            << "no answer after the requests; running: " << app.process().running() << "\n"
            << app.process().errors();
        EXPECT_EQ(
            lines(app.x().run({"/usr/bin/xdotool", "search", "--name", kFullScreenTitle})).size(),
            1u);
        const auto r = app.geometry(full);
        EXPECT_EQ(r.x, 0);
        EXPECT_EQ(r.y, 0);
        EXPECT_EQ(r.width, 1280);
        EXPECT_EQ(r.height, 1024);
        const auto area = app.viewArea();
        ASSERT_GT(area.width, 0);
        const auto first = app.viewPixels(area);
        EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != first; }), first)
            << "not playing in the full-screen window";
        osc.send("/lumenarc/quit", "");
        EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
    }

    AppSession app;
    uint16_t port = test::freeUdpPort();
};

TEST_F(ReentryE2E, FullScreenAskedAgainAndAgainOverOscGoesFullScreenOnce) {
    ASSERT_TRUE(app.ok());
    app.start({"--osc-port", std::to_string(port), movie()});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    // Requests a few milliseconds apart: some come while the window moves, as a controller's
    // repeated button does.
    for (int k = 0; k < 300; ++k) {
        osc.send("/lumenarc/fullscreen", "");
        std::this_thread::sleep_for(1ms);
    }
    expectOneFullScreenWindowPlaying(osc);
}

TEST_F(ReentryE2E, FullScreenKeyHeldDownGoesFullScreenOnce) {
    ASSERT_TRUE(app.ok());
    app.start({"--osc-port", std::to_string(port), movie()});
    const auto window = app.waitForMainWindow("show.mp4");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    // Auto-repeat: presses that come faster than the window moves.
    app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
    std::vector<std::string> keys{"/usr/bin/xdotool", "key", "--delay", "0"};
    keys.insert(keys.end(), 6, "F11");
    app.x().run(keys);
    expectOneFullScreenWindowPlaying(osc);
}

TEST_F(ReentryE2E, FullScreenAskedSixTimesOverMprisGoesFullScreenOnce) {
    ASSERT_TRUE(app.ok());
    test::PrivateBus bus;
    ASSERT_TRUE(bus.ok());
    app.start({"--osc-port", std::to_string(port), movie()}, "",
              {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    // Six property writes at once, as a desktop widget clicked repeatedly sends them.
    test::ProcessOptions options;
    options.env = app.environment();
    options.env["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
    const std::string set =
        "/usr/bin/dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.lumenarc "
        "/org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Set "
        "string:org.mpris.MediaPlayer2 string:Fullscreen variant:boolean:true";
    test::runProcess({"/bin/sh", "-c", "for k in 1 2 3 4 5 6; do " + set + " & done; wait"},
                     options);
    expectOneFullScreenWindowPlaying(osc);
}

// Nobody may be at the screen during a show: a file that is not a mesh sent
// every few milliseconds between plays put up an alert each time, one inside the other, until
// the show control stopped answering. Remote errors are logged and answered instead.
TEST_F(ReentryE2E, RemoteErrorsAreAnsweredNotPutUpAsAlerts) {
    ASSERT_TRUE(app.ok());
    const auto notMesh = app.home().write("notamesh.data", "this is no mesh\n");
    const auto notMovie = app.home().write("notamovie.mp4", "this is no movie\n");
    app.start({"--osc-port", std::to_string(port), movie()});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    std::vector<std::string> errors;
    lo_server_add_method(
        osc.server(), "/lumenarc/error", "s",
        [](const char*, const char*, lo_arg** argv, int, lo_message, void* data) {
            static_cast<std::vector<std::string>*>(data)->push_back(
                reinterpret_cast<const char*>(argv[0]));
            return 0;
        },
        &errors);

    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 500; ++k) {
        osc.send("/lumenarc/mesh", "s", notMesh.c_str());
        std::this_thread::sleep_for(2ms); // the pace of the fault: every 4 ms, mesh and play
        osc.send("/lumenarc/play", "");
        std::this_thread::sleep_for(2ms);
    }
    osc.send("/lumenarc/open", "s", notMovie.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Still answering, and no alert came up.
    ASSERT_TRUE(osc.status()) << "no answer after the requests\n" << app.process().errors();
    for (const char* title : {"File error", "Movie error"}) {
        EXPECT_EQ(lines(app.x().run({"/usr/bin/xdotool", "search", "--name", title})).size(), 0u)
            << title;
    }
    // The answers to the failed requests came.
    const auto s = osc.waitForStatus([&](const Status&) {
        return std::any_of(errors.begin(), errors.end(), [](const std::string& e) {
            return e.find("could not be opened") != std::string::npos;
        });
    });
    ASSERT_TRUE(s) << "no answer after the requests\n" << app.process().errors();
    EXPECT_EQ(s->path, (app.home().path() / "show.mp4").string()); // the movie on show plays on
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().find("not appear to be a valid data file"), std::string::npos)
        << errors.front();
    EXPECT_NE(errors.front().find("notamesh.data"), std::string::npos) << errors.front();
    EXPECT_NE(errors.back().find("notamovie.mp4"), std::string::npos) << errors.back();
    // Logged, at most a line a second.
    const auto log = app.process().errors();
    size_t lines = 0;
    for (size_t at = log.find("OSC: not done"); at != std::string::npos;
         at = log.find("OSC: not done", at + 1)) {
        ++lines;
    }
    EXPECT_GE(lines, 1u) << log;
    EXPECT_LE(lines, static_cast<size_t>(seconds + 3)) << log;
    osc.send("/lumenarc/quit", "");
    EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
}

// With vscreens 2 on one screen, full screen went up to y -1024, half of it off the screen.
TEST_F(ReentryE2E, FullScreenKeepsToTheScreensThereAre) {
    ASSERT_TRUE(app.ok());
    test::ProcessOptions options;
    options.env = app.environment();
    ASSERT_EQ(test::runProcess({test::binPath("lumenarc-prefs"), "set", "vscreens", "2"}, options)
                  .exitCode,
              0);
    app.start({"--fullscreen", movie()});
    const auto full = app.x().waitForWindow(kFullScreenTitle, 20s);
    ASSERT_FALSE(full.empty()) << app.process().errors();
    const auto r = app.geometry(full);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 1280);
    EXPECT_EQ(r.height, 1024);
    EXPECT_TRUE(app.waitForLog("vscreens 2 reaches where there is no screen", 5s))
        << app.process().errors();
}

// Joining a show that cannot work ends the start, as the other ways of failing to join do.
TEST_F(ReentryE2E, ASyncLogThatTakesNothingOrALeaderOfAnotherFamilyEndTheStart) {
    ASSERT_TRUE(app.ok());
    const auto path = movie();
    const std::vector<std::vector<std::string>> cases{
        {"--sync-log", "/dev/full", path},
        {"--sync-follow", "[::1]:" + std::to_string(port), "--sync-bind", "127.0.0.1", path},
    };
    for (const auto& args : cases) {
        app.start(args);
        EXPECT_EQ(app.process().wait(20s), 1) << args[0] << "\n" << app.process().errors();
        EXPECT_NE(app.process().errors().find("lumenarc: cannot join the show: "),
                  std::string::npos)
            << app.process().errors();
    }
}

// A follower taken along to another movie by its leader reports that movie, not the one it
// was started with.
TEST_F(ReentryE2E, AFollowerMovedOnByItsLeaderReportsItsNewMovie) {
    ASSERT_TRUE(app.ok());
    const auto first = movie("first.mp4", 20);
    const auto second = movie("second.mp4", 20);
    const uint16_t syncPort = test::freeUdpPort();
    const uint16_t followerPort = test::freeUdpPort();
    app.start(
        {"--sync-leader", std::to_string(syncPort), "--osc-port", std::to_string(port), first});
    test::BackgroundProcess follower({test::binPath("lumenarc"), "--sync-follow",
                                      "127.0.0.1:" + std::to_string(syncPort), "--osc-port",
                                      std::to_string(followerPort), first},
                                     app.environment());
    OscClient leaderOsc("127.0.0.1", port);
    OscClient followerOsc("127.0.0.1", followerPort);
    ASSERT_TRUE(followerOsc.waitForStatus([&](const Status& s) { return s.path == first; }, 20s))
        << follower.errors();
    ASSERT_TRUE(leaderOsc.waitForStatus([&](const Status& s) { return s.path == first; }));
    leaderOsc.send("/lumenarc/open", "s", second.c_str());
    const auto s = followerOsc.waitForStatus(
        [&](const Status& s) { return s.path == second && s.duration > 0; }, 20s);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->path, second) << follower.errors();
}

} // namespace
} // namespace lumenarc
