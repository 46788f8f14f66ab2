#include "AppSession.h"
#include "E2EPictures.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::E2EPictures;

class CommandLineE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name, double seconds) {
        const auto path = (app.home().path() / name).string();
        EXPECT_TRUE(test::TestMovies::make(
            path, {.seconds = seconds, .width = 320, .height = 320, .audio = false}));
        return path;
    }
    std::string prefs() {
        test::ProcessOptions options;
        options.env = app.environment();
        return test::runProcess({test::binPath("lumenarc-prefs"), "show"}, options).out;
    }
    // Runs the player to its end without a display.
    test::ProcessResult runWithoutDisplay(const std::vector<std::string>& args) {
        std::vector<std::string> argv{test::binPath("lumenarc")};
        argv.insert(argv.end(), args.begin(), args.end());
        test::ProcessOptions options;
        options.env = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
        options.timeout = 20s;
        return test::runProcess(argv, options);
    }

    AppSession app;
};

TEST_F(CommandLineE2E, BadOptionsExitWith2AndVersionAndHelpNeedNoDisplay) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--volume", "2"},
             {"--volume", "half"},
             {"--osc-port", "0"},
             {"--osc-port", "123456"},
             {"--osc-port", "9000", "--osc-bind", "not-an-address"},
             {"--sync-leader", "9000", "--sync-follow", "127.0.0.1:9001"},
             {"--sync-follow", "no-port"},
             {"--mesh"}}) {
        const auto r = runWithoutDisplay(args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << ": " << r.err;
        EXPECT_NE(r.err.find("lumenarc: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    const auto version = runWithoutDisplay({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("Lumenarc ") + LUMENARC_VERSION + "\n");
    const auto help = runWithoutDisplay({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--quit-at-end"), std::string::npos) << help.out;
}

// All the options at once, and the preferences saved at the end are still the ones loaded.
TEST_F(CommandLineE2E, AShowThatCannotBeJoinedEndsWithItsReason) {
    ASSERT_TRUE(app.ok());
    const uint16_t port = test::freeUdpPort();
    const int taken = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto show = movie("show.mp4", 2);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--sync-leader", std::to_string(port), "--sync-bind", "127.0.0.1", show},
         "cannot listen for sync on 127.0.0.1 port " + std::to_string(port) +
             ": Address already in use"},
        {{"--sync-follow", "no-such-leader.invalid:9000", show}, "cannot find the leader"},
        {{"--sync-log", (app.home().path() / "missing" / "x.log").string(), show},
         "cannot write the sync log"}};
    for (const auto& [args, reason] : cases) {
        app.start(args);
        EXPECT_EQ(app.process().wait(20s), 1) << args[0];
        EXPECT_NE(app.process().errors().find("lumenarc: cannot join the show: "),
                  std::string::npos)
            << app.process().errors();
        EXPECT_NE(app.process().errors().find(reason), std::string::npos) << app.process().errors();
    }
    close(taken);
}

TEST_F(CommandLineE2E, OptionsHoldForThisRunOnly) {
    ASSERT_TRUE(app.ok());
    const auto defaults = prefs();
    const auto mesh = app.home().write("left.data", E2EPictures::leftHalfMesh());
    const auto port = test::freeUdpPort();
    app.start({"--fullscreen", "--loop", "--quit-at-end", "--volume", "0.3", "--mesh", mesh,
               "--osc-port", std::to_string(port), movie("short.mp4", 1.5)});
    // --fullscreen, once the movie has loaded
    ASSERT_FALSE(app.x().waitForWindow("^Lumenarc Full Screen$", 20s).empty())
        << app.process().errors();
    // --mesh: the picture fills the left half only
    const auto area = app.viewArea();
    const auto leftOnly = [&](const std::vector<uint8_t>& p) {
        return E2EPictures::lit(p, area, 0.25, 0.5) && !E2EPictures::lit(p, area, 0.75, 0.5);
    };
    EXPECT_TRUE(leftOnly(app.waitForView(area, leftOnly)));
    // --loop wins over --quit-at-end: the short movie plays on, round its end twice.
    test::OscClient osc("127.0.0.1", port);
    int rounds = 0;
    float last = 0;
    osc.waitForStatus(
        [&](const test::OscClient::Status& s) {
            rounds += s.position < last - 0.5f ? 1 : 0;
            last = s.position;
            return rounds >= 2;
        },
        20s);
    EXPECT_TRUE(app.process().running());
    app.process().signal(SIGTERM);
    EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
    EXPECT_EQ(prefs(), defaults);
}

TEST_F(CommandLineE2E, QuitAtEndQuitsAfterTheMovieAndSavesNoSuchPreference) {
    ASSERT_TRUE(app.ok());
    app.start({"--quit-at-end", movie("short.mp4", 1.5)});
    EXPECT_EQ(app.process().wait(30s), 0) << app.process().errors();
    EXPECT_NE(prefs().find("QuitWhenMovieFinishes=NO"), std::string::npos) << prefs();
}

TEST_F(CommandLineE2E, PausedStartsOnAStillPicture) {
    ASSERT_TRUE(app.ok());
    const auto port = test::freeUdpPort();
    app.start({"--paused", "--osc-port", std::to_string(port), movie("show.mp4", 30)});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    const auto area = app.viewArea();
    const auto shows = [&](const std::vector<uint8_t>& p) {
        return E2EPictures::lit(p, area, 0.5, 0.5);
    };
    EXPECT_TRUE(shows(app.waitForView(area, shows))) << "no picture";
    const auto first = app.waitForStill(area); // the window settles
    EXPECT_TRUE(app.staysAs(area, first, 1s)) << "moving with --paused";
    // At the start, and stopped.
    test::OscClient osc("127.0.0.1", port);
    const auto status = osc.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->rate, 0.0f);
    EXPECT_LT(status->position, 0.5f);
}

TEST_F(CommandLineE2E, ABadMeshGetsTheUsualAlert) {
    ASSERT_TRUE(app.ok());
    const auto bad = app.home().write("bad.data", "1 4 4 not a mesh");
    app.start({"--mesh", bad, movie("show.mp4", 5)});
    const auto alert = app.x().waitForWindow("^File error$", 20s);
    ASSERT_FALSE(alert.empty()) << app.process().errors();
    app.key(alert, "Return");
    EXPECT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
}

TEST_F(CommandLineE2E, ThreeMoviesPlayInOrderThenTheRunEnds) {
    ASSERT_TRUE(app.ok());
    app.start({"--quit-at-end", movie("a.mp4", 2), movie("b.mp4", 2), movie("c.mp4", 2)});
    EXPECT_FALSE(app.waitForMainWindow("a.mp4 \\(1/3\\)").empty()) << app.process().errors();
    EXPECT_FALSE(app.waitForMainWindow("b.mp4 \\(2/3\\)").empty()) << app.process().errors();
    EXPECT_FALSE(app.waitForMainWindow("c.mp4 \\(3/3\\)").empty()) << app.process().errors();
    EXPECT_EQ(app.process().wait(30s), 0) << app.process().errors();
}

TEST_F(CommandLineE2E, ABrokenMovieInTheMiddleIsSkippedAfterItsAlert) {
    ASSERT_TRUE(app.ok());
    const auto broken = app.home().write("broken.mp4", "not a movie at all");
    app.start({"--quit-at-end", movie("a.mp4", 2), broken, movie("c.mp4", 2)});
    EXPECT_FALSE(app.waitForMainWindow("a.mp4 \\(1/3\\)").empty()) << app.process().errors();
    const auto alert = app.x().waitForWindow("^Movie error$", 20s);
    ASSERT_FALSE(alert.empty()) << app.process().errors();
    app.key(alert, "Return");
    EXPECT_FALSE(app.waitForMainWindow("c.mp4 \\(3/3\\)").empty()) << app.process().errors();
    EXPECT_EQ(app.process().wait(30s), 0) << app.process().errors();
}

TEST_F(CommandLineE2E, PageDownAndPageUpMoveThroughTheList) {
    ASSERT_TRUE(app.ok());
    app.start({movie("a.mp4", 30), movie("b.mp4", 30), movie("c.mp4", 30)});
    auto window = app.waitForMainWindow("a.mp4 \\(1/3\\)");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    app.key(window, "Next");
    window = app.waitForMainWindow("b.mp4 \\(2/3\\)");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    app.key(window, "Next");
    window = app.waitForMainWindow("c.mp4 \\(3/3\\)");
    ASSERT_FALSE(window.empty());
    app.key(window, "Next"); // the last one: stays
    // Keys are taken in order: once the about box is up, Page Down has been dealt with.
    app.key(window, "F1");
    const auto about = app.x().waitForWindow("^About Lumenarc$", 10s);
    ASSERT_FALSE(about.empty());
    EXPECT_FALSE(app.waitForMainWindow("c.mp4 \\(3/3\\)", 1s).empty());
    app.key(about, "Return");
    EXPECT_TRUE(app.x().waitForWindowGone("^About Lumenarc$", 10s));
    app.key(window, "Prior");
    EXPECT_FALSE(app.waitForMainWindow("b.mp4 \\(2/3\\)").empty());
}

} // namespace
} // namespace lumenarc
