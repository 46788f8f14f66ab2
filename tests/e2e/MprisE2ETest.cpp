#include "AppSession.h"
#include "E2EMovies.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;

// The real player on a private session bus, driven with playerctl as a desktop would.
class MprisE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name) { return test::squareMovie(app, name); }
    std::map<std::string, std::string> env() {
        auto env = app.environment();
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
        return env;
    }
    // Runs playerctl against the player; returns its output without the line break.
    std::string playerctl(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"/usr/bin/playerctl", "-p", "lumenarc"};
        argv.insert(argv.end(), args.begin(), args.end());
        test::ProcessOptions options;
        options.env = env();
        options.timeout = 10s;
        auto out = test::runProcess(argv, options).out;
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }
    // Asks until the answer is `wanted` (or the time is up); returns the last answer.
    std::string waitFor(const std::vector<std::string>& args, const std::string& wanted,
                        std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        auto answer = playerctl(args);
        while (answer != wanted && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(200ms);
            answer = playerctl(args);
        }
        return answer;
    }
    std::string prefs() {
        test::ProcessOptions options;
        options.env = app.environment();
        return test::runProcess({test::binPath("lumenarc-prefs"), "show"}, options).out;
    }
    std::unique_ptr<test::BackgroundProcess> startPlayer(const std::vector<std::string>& args) {
        std::vector<std::string> argv{test::binPath("lumenarc")};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<test::BackgroundProcess>(argv, env());
    }

    AppSession app;
    test::PrivateBus bus;
};

TEST_F(MprisE2E, PlayerctlDrivesThePlayer) {
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(bus.ok());
    const auto a = movie("a.mp4"), b = movie("b.mp4");
    auto player = startPlayer({"--volume", "0.3", a, b});
    ASSERT_FALSE(app.waitForMainWindow("a.mp4 \\(1/2\\)").empty()) << player->errors();

    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing") << player->errors();
    EXPECT_EQ(playerctl({"metadata", "title"}), "a.mp4");
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), "file://" + a);
    EXPECT_EQ(playerctl({"metadata", "mpris:length"}), "30000000");
    EXPECT_EQ(playerctl({"volume"}), "0.300000"); // --volume
    EXPECT_GT(std::stod(playerctl({"position"})), 0.0);

    playerctl({"pause"});
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");
    const auto area = app.viewArea();
    const auto paused = app.waitForStill(area);
    EXPECT_TRUE(app.staysAs(area, paused, 800ms)) << "moving after playerctl pause";
    playerctl({"play"});
    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing");
    playerctl({"play-pause"});
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");

    playerctl({"position", "12"});
    EXPECT_NEAR(std::stod(playerctl({"position"})), 12.0, 0.3);
    playerctl({"volume", "0.5"});
    EXPECT_EQ(waitFor({"volume"}, "0.500000"), "0.500000");
    playerctl({"loop", "Track"});
    EXPECT_EQ(waitFor({"loop"}, "Track"), "Track");
    playerctl({"loop", "None"});
    EXPECT_EQ(waitFor({"loop"}, "None"), "None");

    playerctl({"next"});
    EXPECT_FALSE(app.waitForMainWindow("b.mp4 \\(2/2\\)").empty());
    EXPECT_EQ(waitFor({"metadata", "title"}, "b.mp4"), "b.mp4");
    playerctl({"previous"});
    EXPECT_FALSE(app.waitForMainWindow("a.mp4 \\(1/2\\)").empty());

    // A second player takes a name of its own.
    auto second = startPlayer({a});
    const auto own = "lumenarc.instance" + std::to_string(second->pid());
    std::string names;
    for (int k = 0; k < 50 && names.find(own) == std::string::npos; ++k) {
        std::this_thread::sleep_for(200ms);
        test::ProcessOptions options;
        options.env = env();
        names = test::runProcess({"/usr/bin/playerctl", "-l"}, options).out;
    }
    EXPECT_NE(names.find(own), std::string::npos) << names;
    second.reset();

    // Quit over the bus, in order: the preferences are saved, with the volume set through the
    // volume slider's path, and the loop left as the preferences had it.
    test::ProcessOptions options;
    options.env = env();
    const auto quit = test::runProcess({"/usr/bin/dbus-send", "--session", "--print-reply",
                                        "--dest=org.mpris.MediaPlayer2.lumenarc",
                                        "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"},
                                       options);
    EXPECT_EQ(quit.exitCode, 0) << quit.err;
    EXPECT_EQ(player->wait(20s), 0) << player->errors();
    const auto saved = prefs();
    EXPECT_NE(saved.find("Volume=0.5"), std::string::npos) << saved;
    EXPECT_NE(saved.find("LoopByDefault=NO"), std::string::npos) << saved;
}

// Keys, menu shortcuts, OSC and MPRIS all end in the one command table: each route's command
// does the same, and a later one by another route starts from where the last one left off.
TEST_F(MprisE2E, OneCommandDoesTheSameByEveryRoute) {
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(bus.ok());
    const uint16_t port = test::freeUdpPort();
    auto player = startPlayer({"--osc-port", std::to_string(port), movie("a.mp4")});
    const auto window = app.waitForMainWindow("a.mp4");
    ASSERT_FALSE(window.empty()) << player->errors();
    test::OscClient osc("127.0.0.1", port);
    const auto rate = [&osc](float wanted) {
        const auto s = osc.waitForStatus([wanted](const auto& s) { return s.rate == wanted; });
        return s ? s->rate : -1.0f;
    };
    const auto looping = [&osc](int wanted) {
        const auto s = osc.waitForStatus([wanted](const auto& s) { return s.looping == wanted; });
        return s ? s->looping : -1;
    };
    ASSERT_EQ(rate(1.0f), 1.0f) << player->errors();

    // Pause or resume: Space, then OSC, then MPRIS, each turning the last one's state over.
    app.key(window, "space");
    EXPECT_EQ(rate(0.0f), 0.0f);
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");
    osc.send("/lumenarc/toggle", "");
    EXPECT_EQ(rate(1.0f), 1.0f);
    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing");
    playerctl({"play-pause"});
    EXPECT_EQ(rate(0.0f), 0.0f);

    // Looping: the menu's shortcut, OSC and MPRIS, each seen by the other two.
    app.key(window, "ctrl+l");
    EXPECT_EQ(looping(1), 1);
    EXPECT_EQ(waitFor({"loop"}, "Track"), "Track");
    osc.send("/lumenarc/loop", "i", 0);
    EXPECT_EQ(waitFor({"loop"}, "None"), "None");
    playerctl({"loop", "Track"});
    EXPECT_EQ(looping(1), 1);
    app.key(window, "ctrl+l");
    EXPECT_EQ(looping(0), 0);

    // A step is taken while paused, by the key as by nothing else: the movie stays paused.
    app.key(window, "Right");
    EXPECT_EQ(rate(0.0f), 0.0f);
    EXPECT_EQ(playerctl({"status"}), "Paused") << player->errors();
}

TEST_F(MprisE2E, WithoutABusItRunsWithOneLogLine) {
    ASSERT_TRUE(app.ok());
    auto env = app.environment();
    env["DBUS_SESSION_BUS_ADDRESS"] = "";
    test::BackgroundProcess player({test::binPath("lumenarc"), movie("a.mp4")}, env);
    ASSERT_FALSE(app.waitForMainWindow("a.mp4").empty()) << player.errors();
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         player.errors().find("MPRIS") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(player.running());
    const auto log = player.errors();
    const auto first = log.find("MPRIS: no session bus");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("MPRIS", first + 1), std::string::npos) << log;
}

} // namespace
} // namespace lumenarc
