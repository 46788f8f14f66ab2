#include "AppSession.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;

using Area = AppSession::Rect;

const uint8_t* pixel(const std::vector<uint8_t>& pixels, const Area& v, double fx, double fy) {
    const int x = static_cast<int>(fx * v.width), y = static_cast<int>(fy * v.height);
    return &pixels[(static_cast<size_t>(y) * v.width + x) * 3];
}

class PlaybackE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name, const test::MovieSpec& spec) {
        const auto path = (app.home().path() / name).string();
        EXPECT_TRUE(test::TestMovies::make(path, spec));
        return path;
    }
    // Waits until the player's rate is `rate` (0 when paused).
    void waitForRate(float rate) {
        test::OscClient osc("127.0.0.1", port);
        osc.waitForStatus([&](const test::OscClient::Status& s) { return s.rate == rate; });
    }
    AppSession app;
    uint16_t port = test::freeUdpPort();
};

TEST_F(PlaybackE2E, PlaysPausesResumesAndShowsTheReadout) {
    ASSERT_TRUE(app.ok());
    test::MovieSpec spec;
    spec.seconds = 30;
    spec.width = 320;
    spec.height = 320;
    spec.audio = false;
    app.start({"--osc-port", std::to_string(port), movie("moving.mp4", spec)});
    const auto window = app.waitForMainWindow("moving.mp4");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    waitForRate(1);
    auto area = app.waitForPicture();
    if (area.width == 0) {
        area = app.viewArea(); // no picture: the check below says so
    }
    ASSERT_GT(area.width, 100);
    auto first = app.viewPixels(area);
    ASSERT_FALSE(first.empty());
    const auto* centre = pixel(first, area, 0.5, 0.5);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 60) << "the movie does not show";
    const auto differs = [](const std::vector<uint8_t>& from) {
        return [&from](const std::vector<uint8_t>& p) { return p != from; };
    };
    EXPECT_NE(app.waitForView(area, differs(first)), first) << "the movie does not move";

    app.key(window, "space");
    waitForRate(0);
    const auto paused = app.waitForStill(area);
    EXPECT_TRUE(app.staysAs(area, paused, 1s)) << "still moving after Space";

    app.key(window, "space");
    EXPECT_NE(app.waitForView(area, differs(paused)), paused)
        << "not playing again after the second Space";

    app.key(window, "Tab");
    app.key(window, "space"); // pause, so that the readout stands still for the count
    waitForRate(0);
    // "NN.N fps" in opaque white near the view's top-left corner.
    const auto whiteIn = [&](const std::vector<uint8_t>& withReadout) {
        int white = 0;
        for (int y = 0; y < area.height / 8; ++y) {
            for (int x = 0; x < area.width / 4; ++x) {
                const auto* p = &withReadout[(static_cast<size_t>(y) * area.width + x) * 3];
                white += p[0] == 255 && p[1] == 255 && p[2] == 255 ? 1 : 0;
            }
        }
        return white;
    };
    const int white =
        whiteIn(app.waitForView(area, [&](const auto& p) { return whiteIn(p) > 30; }));
    EXPECT_GT(white, 30) << "no frame-rate readout";
}

TEST_F(PlaybackE2E, QuitsAtTheEndWhenAskedAndSavesItsPreferences) {
    ASSERT_TRUE(app.ok());
    test::ProcessOptions env;
    env.env = app.environment();
    const auto set = test::runProcess(
        {test::binPath("lumenarc-prefs"), "set", "QuitWhenMovieFinishes", "YES", "Volume", "0.5"},
        env);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    test::MovieSpec spec;
    spec.seconds = 1;
    spec.audio = false;
    app.start({movie("short.mp4", spec)});
    EXPECT_EQ(app.process().wait(30s), 0) << app.process().errors();
    const auto shown = test::runProcess({test::binPath("lumenarc-prefs"), "show"}, env);
    EXPECT_NE(shown.out.find("QuitWhenMovieFinishes=YES"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Volume=0.5"), std::string::npos) << shown.out;
}

// A movie whose grey level tells the time: 0 at the start to 255 at the end.
TEST_F(PlaybackE2E, AClickOnThePositionSliderJumpsThereAndTheWheelStepsFiveSeconds) {
    ASSERT_TRUE(app.ok());
    constexpr double kSeconds = 40;
    test::MovieSpec spec;
    spec.seconds = kSeconds;
    spec.width = 160;
    spec.height = 160;
    spec.audio = false;
    spec.video = "nullsrc=size=160x160:rate=25,geq=lum='16+219*T/40':cb=128:cr=128";
    app.start({"--osc-port", std::to_string(port), movie("clock.mp4", spec)});
    const auto window = app.waitForMainWindow("clock.mp4");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    test::OscClient osc("127.0.0.1", port);
    osc.waitForStatus([](const test::OscClient::Status& s) { return s.position > 0; });
    app.key(window, "space");
    const auto area = app.viewArea();
    const auto shown = [&](const std::vector<uint8_t>& p) {
        return static_cast<double>(pixel(p, area, 0.5, 0.5)[1]) * kSeconds / 255.0;
    };
    waitForRate(0);
    const double paused = shown(app.waitForStill(area));
    ASSERT_LT(paused, 5.0);

    // The slider lies in the control bar below the view, across the middle of the window.
    const auto w = app.geometry(window);
    const int barY = w.y + w.height - 12;
    app.x().run({"/usr/bin/xdotool", "mousemove", std::to_string(w.x + w.width / 2),
                 std::to_string(barY), "click", "1"});
    const auto jumped = [&](const auto& p) { return shown(p) > 10.0; };
    const double at = shown(app.waitForView(area, jumped));
    EXPECT_GT(at, 0.3 * kSeconds) << "a click on the groove does not jump there";
    EXPECT_LT(at, 0.8 * kSeconds);

    // Wheel up: 5 s later; wheel down twice: 5 s earlier than that was.
    app.x().run({"/usr/bin/xdotool", "click", "4"});
    const auto later = [&](const auto& p) { return shown(p) > at + 2.5; };
    EXPECT_NEAR(shown(app.waitForView(area, later)), at + 5.0, 1.5);
    app.x().run({"/usr/bin/xdotool", "click", "--repeat", "2", "--delay", "300", "5"});
    const auto earlier = [&](const auto& p) { return shown(p) < at - 2.5; };
    EXPECT_NEAR(shown(app.waitForView(area, earlier)), at - 5.0, 1.5);
}

TEST_F(PlaybackE2E, AFileThatIsNotAMovieIsReported) {
    ASSERT_TRUE(app.ok());
    const auto path = app.home().write("notes.mp4", "these are my notes, not a movie");
    app.start({path});
    EXPECT_FALSE(app.x().waitForWindow("^Movie error$", 20s).empty()) << app.process().errors();
}

// A movie that arrives slowly (through a named pipe nobody writes yet) loads while the window
// goes on answering: a key press opens the about box meanwhile. When the data comes, it plays.
TEST_F(PlaybackE2E, TheWindowAnswersWhileAMovieLoadsSlowly) {
    ASSERT_TRUE(app.ok());
    const auto source =
        movie("source.ts", {.seconds = 2, .width = 160, .height = 120, .audio = false});
    const auto pipe = (app.home().path() / "slow.ts").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    app.start({pipe});
    const auto window = app.waitForMainWindow("Lumenarc");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    app.key(window, "F1");
    const auto about = app.x().waitForWindow("^About Lumenarc$", 10s);
    ASSERT_FALSE(about.empty()) << "the window did not answer while the movie loaded";
    app.key(about, "Return");
    EXPECT_TRUE(app.x().waitForWindowGone("^About Lumenarc$", 10s));

    std::thread writer([&] {
        // Waits (a bounded time) for the player's reader, then writes the movie into the pipe.
        int fd = -1;
        for (int attempt = 0; attempt < 200 && fd < 0; ++attempt) {
            fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                std::this_thread::sleep_for(100ms);
            }
        }
        if (fd < 0) {
            return;
        }
        ::fcntl(fd, F_SETFL, 0);
        std::ifstream in(source, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (wrote <= 0) {
                break;
            }
            done += static_cast<size_t>(wrote);
        }
        ::close(fd);
    });
    EXPECT_FALSE(app.waitForMainWindow("slow.ts", 20s).empty()) << app.process().errors();
    writer.join();
}

} // namespace
} // namespace lumenarc
