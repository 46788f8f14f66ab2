#include "AppSession.h"
#include "E2EMovies.h"
#include "E2EPictures.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;

bool lit(const std::vector<uint8_t>& pixels, const AppSession::Rect& v, double fx, double fy) {
    const int x = static_cast<int>(fx * v.width), y = static_cast<int>(fy * v.height);
    const auto* p = &pixels[(static_cast<size_t>(y) * v.width + x) * 3];
    return p[0] + p[1] + p[2] > 60;
}

class ShellE2E : public ::testing::Test {
protected:
    explicit ShellE2E(int width = 1280, int height = 1024) : app(width, height) {}

    std::string movie(double seconds = 30) { return test::squareMovie(app, "show.mp4", seconds); }
    bool setPrefs(const std::vector<std::string>& pairs) {
        std::vector<std::string> argv{test::binPath("lumenarc-prefs"), "set"};
        argv.insert(argv.end(), pairs.begin(), pairs.end());
        test::ProcessOptions options;
        options.env = app.environment();
        return test::runProcess(argv, options).exitCode == 0;
    }
    std::string prefs() {
        test::ProcessOptions options;
        options.env = app.environment();
        return test::runProcess({test::binPath("lumenarc-prefs"), "show"}, options).out;
    }
    // Has the still picture drawn again (a drag there and back that moves nothing).
    void redraw(const AppSession::Rect& area) { test::E2EPictures::redraw(app, area); }
    // Starts the player on the movie; returns its main window once the movie shows.
    std::string startPlaying() {
        app.start({"--osc-port", std::to_string(port), movie()});
        const auto window = app.waitForMainWindow("show.mp4");
        if (!window.empty()) {
            app.waitForPicture();
        }
        return window;
    }
    // Waits until the player says it is paused, and its picture stands still; returns that.
    std::vector<uint8_t> paused(const AppSession::Rect& area) {
        test::OscClient osc("127.0.0.1", port);
        osc.waitForStatus([](const test::OscClient::Status& s) { return s.rate == 0; });
        return app.waitForStill(area);
    }
    // Pauses with Space; the paused picture.
    std::vector<uint8_t> pause(const std::string& window, const AppSession::Rect& area) {
        app.key(window, "space");
        return paused(area);
    }
    // Without a movie: the view once its first frames, the overlay band above the bottom of the
    // mesh square, are on the screen.
    std::vector<uint8_t> firstFrames(const AppSession::Rect& area) {
        const auto band = [&](const std::vector<uint8_t>& p) {
            const int y = area.height / 2 + std::min(area.width, area.height) * 3 / 8;
            const size_t at = (static_cast<size_t>(y) * area.width + area.width / 2) * 3;
            return at + 2 < p.size() && (p[at] >= 8 || p[at + 1] >= 8 || p[at + 2] >= 8);
        };
        EXPECT_TRUE(band(app.waitForView(area, band))) << "no overlay band";
        return app.waitForStill(area);
    }
    // Types a file name into a sheet that just came up, and takes it.
    void typeIntoSheet(const std::string& sheet, const std::string& name) {
        app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", sheet});
        // Pacing only: the sheet shows before its file name field takes keys, and nothing on
        // the screen tells when it does; a slow (sanitizer) build needs the moment to pass, or
        // the first typed characters are lost.
        std::this_thread::sleep_for(1s);
        app.x().run({"/usr/bin/xdotool", "type", "--delay", "20", name});
        std::this_thread::sleep_for(300ms);
        app.x().run({"/usr/bin/xdotool", "key", "Return"});
    }
    // Moves the pointer there, and reads the pointer's look until it is `wanted` (or the time
    // is up); returns the last look.
    std::string pointerAt(int x, int y, const std::string& wanted) {
        app.x().run({"/usr/bin/xdotool", "mousemove", std::to_string(x), std::to_string(y)});
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        auto look = app.x().run({test::binPath("lumenarc-cursor-probe")});
        while (look != wanted && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
            look = app.x().run({test::binPath("lumenarc-cursor-probe")});
        }
        return look;
    }

    AppSession app;
    uint16_t port = test::freeUdpPort();
};

TEST_F(ShellE2E, AnInvalidMeshFromTheSheetIsReportedAndTheOldOneKept) {
    ASSERT_TRUE(app.ok());
    const auto bad = app.home().write("bad.data", "1 4 4 this is not a mesh");
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    const auto area = app.viewArea();
    const auto before = pause(window, area);
    app.key(window, "ctrl+shift+o");
    const auto sheet = app.x().waitForWindow("^Open Distortion Matrix$", 10s);
    ASSERT_FALSE(sheet.empty());
    typeIntoSheet(sheet, bad);
    const auto alert = app.x().waitForWindow("^File error$", 20s);
    ASSERT_FALSE(alert.empty());
    app.key(alert, "Return");
    EXPECT_TRUE(app.x().waitForWindowGone("^File error$", 10s));
    const auto after = app.waitForView(area, [&](const auto& p) { return p == before; });
    EXPECT_TRUE(lit(after, area, 0.5, 0.5)); // still the whole picture through the old mesh
    EXPECT_EQ(after, before);
}

// The sheet opens among the sample meshes, so a bare name is enough; the new mesh shows at once
// although loading it stopped the movie.
TEST_F(ShellE2E, TheMeshSheetStartsAmongTheSampleMeshesAndShowsTheNewMeshAtOnce) {
    ASSERT_TRUE(app.ok());
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    app.key(window, "space");
    const auto area = app.viewArea();
    ASSERT_GT(area.width, area.height); // a wide view: the built-in square mesh leaves its sides
    const auto side = [&](const std::vector<uint8_t>& p) {
        return lit(p, area, 0.03, 0.3) || lit(p, area, 0.03, 0.5) || lit(p, area, 0.03, 0.7);
    };
    EXPECT_FALSE(side(app.viewPixels(area)));
    app.key(window, "ctrl+shift+o");
    const auto sheet = app.x().waitForWindow("^Open Distortion Matrix$", 10s);
    ASSERT_FALSE(sheet.empty());
    typeIntoSheet(sheet, "flat-16x9.data");
    EXPECT_TRUE(app.x().waitForWindowGone("^Open Distortion Matrix$", 10s));
    EXPECT_TRUE(side(app.waitForView(area, side))) << "the 16:9 mesh does not fill the view";
    EXPECT_TRUE(app.x().waitForWindow("^File error$", 1s).empty());
}

TEST_F(ShellE2E, OverridesGridAndDragsShowInThePicture) {
    ASSERT_TRUE(app.ok());
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    const auto area = app.viewArea();
    // Paused: drags redraw at once, and the picture stands still.
    const auto plain = pause(window, area);
    ASSERT_TRUE(lit(plain, area, 0.5, 0.5));

    // Side-by-side stereo on the 17-column built-in mesh leaves its middle columns undrawn.
    app.key(window, "shift+F2");
    redraw(area);
    const auto gap = [&](const std::vector<uint8_t>& p) { return !lit(p, area, 0.47, 0.5); };
    EXPECT_TRUE(gap(app.waitForView(area, gap))) << "no gap between the stereo halves";
    app.key(window, "F2");
    redraw(area);
    EXPECT_EQ(app.waitForView(area, [&](const auto& p) { return p == plain; }), plain);

    // The calibration grid adds its lines.
    app.key(window, "ctrl+g");
    redraw(area);
    EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != plain; }), plain);
    app.key(window, "ctrl+g");
    redraw(area);

    // A drag on the paused planar picture moves it; resetting puts it back.
    const int cx = area.x + area.width / 2, cy = area.y + area.height / 2;
    app.x().run({"/usr/bin/xdotool", "mousemove", std::to_string(cx), std::to_string(cy),
                 "mousedown", "1", "mousemove", std::to_string(cx + 60), std::to_string(cy),
                 "mousemove", std::to_string(cx + 120), std::to_string(cy), "mouseup", "1"});
    EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != plain; }), plain);
    app.key(window, "ctrl+r");
    redraw(area);
    EXPECT_EQ(app.waitForView(area, [&](const auto& p) { return p == plain; }), plain);
}

// The calibration commands show at once when no frame is coming to show them: without a movie,
// and on a paused one. No drag or other redraw helps them here.
TEST_F(ShellE2E, CalibrationShowsAtOnceWithoutAMovie) {
    ASSERT_TRUE(app.ok());
    app.start();
    ASSERT_FALSE(app.x().waitForWindow("^Open Movie$", 20s).empty()) << app.process().errors();
    app.x().run({"/usr/bin/xdotool", "key", "Escape"});
    const auto window = app.waitForMainWindow();
    ASSERT_FALSE(window.empty());
    const auto area = app.viewArea();
    const auto plain = firstFrames(area);
    ASSERT_FALSE(plain.empty());
    const auto changed = [&](const auto& p) { return p != plain; };
    const auto same = [&](const auto& p) { return p == plain; };
    for (const char* keys : {"ctrl+g", "ctrl+shift+g"}) {
        app.key(window, keys);
        EXPECT_TRUE(changed(app.waitForView(area, changed))) << keys << " shows nothing";
        app.key(window, keys);
        EXPECT_TRUE(same(app.waitForView(area, same))) << keys << " again does not undo";
    }
}

TEST_F(ShellE2E, CalibrationShowsAtOnceOnAPausedMovie) {
    ASSERT_TRUE(app.ok());
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    const auto area = app.viewArea();
    const auto plain = pause(window, area);
    const auto changed = [&](const auto& p) { return p != plain; };
    const auto same = [&](const auto& p) { return p == plain; };
    for (const char* keys : {"ctrl+g", "ctrl+shift+g", "Tab", "shift+F2"}) {
        app.key(window, keys);
        EXPECT_TRUE(changed(app.waitForView(area, changed))) << keys << " shows nothing";
        app.key(window, keys == std::string("shift+F2") ? "F2" : keys);
        EXPECT_TRUE(same(app.waitForView(area, same))) << keys << " is not undone on screen";
    }
    // A drag redraws by itself; the reset that undoes it must too.
    const int cx = area.x + area.width / 2, cy = area.y + area.height / 2;
    app.x().run({"/usr/bin/xdotool", "mousemove", std::to_string(cx), std::to_string(cy),
                 "mousedown", "1", "mousemove", std::to_string(cx + 60), std::to_string(cy),
                 "mousemove", std::to_string(cx + 120), std::to_string(cy), "mouseup", "1"});
    ASSERT_TRUE(changed(app.waitForView(area, changed)));
    app.key(window, "ctrl+r");
    EXPECT_TRUE(same(app.waitForView(area, same))) << "Reset Interaction does not show";
}

// Where the bright pixels are, on average; nothing when there are none.
std::optional<std::pair<double, double>> brightCentre(const std::vector<uint8_t>& pixels,
                                                      const AppSession::Rect& v) {
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < v.height; ++y) {
        for (int x = 0; x < v.width; ++x) {
            const auto* p = &pixels[(static_cast<size_t>(y) * v.width + x) * 3];
            if (p[0] + p[1] + p[2] > 600) {
                sx += x;
                sy += y;
                n += 1;
            }
        }
    }
    return n > 0 ? std::optional(std::pair{sx / n, sy / n}) : std::nullopt;
}

// On a planar mesh the picture follows the pointer both ways: a white square on black moves
// right and up on the screen with a drag right and up. The drag is in several steps, with
// pauses, so that the toolkit does not merge them.
TEST_F(ShellE2E, APlanarDragMovesThePictureThePointersWay) {
    ASSERT_TRUE(app.ok());
    test::MovieSpec spec;
    spec.seconds = 30;
    spec.width = 320;
    spec.height = 320;
    spec.audio = false;
    spec.video = "color=c=black:s=320x320:r=25,drawbox=x=140:y=140:w=40:h=40:color=white:t=fill";
    const auto path = (app.home().path() / "square.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(path, spec));
    app.start({"--osc-port", std::to_string(port), path});
    const auto window = app.waitForMainWindow("square.mp4");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    const auto area = app.waitForPicture();
    const auto start = brightCentre(pause(window, area), area);
    ASSERT_TRUE(start);
    // The mesh square spans the view's smaller side; 1000 points of drag pan a whole picture.
    const double side = std::min(area.width, area.height);
    const int cx = area.x + area.width / 2, cy = area.y + area.height / 2;
    struct Drag {
        int dx, dy; // on the screen: y grows downward
    };
    auto at = *start;
    for (const Drag d : {Drag{100, -60}, Drag{0, 80}, Drag{-150, 0}}) {
        std::vector<std::string> argv{"/usr/bin/xdotool", "mousemove", std::to_string(cx),
                                      std::to_string(cy), "mousedown", "1"};
        for (int k = 1; k <= 4; ++k) {
            argv.insert(argv.end(), {"sleep", "0.1", "mousemove", std::to_string(cx + d.dx * k / 4),
                                     std::to_string(cy + d.dy * k / 4)});
        }
        argv.insert(argv.end(), {"sleep", "0.1", "mouseup", "1"});
        app.x().run(argv);
        const double wantX = at.first + d.dx * side / 1000, wantY = at.second + d.dy * side / 1000;
        const auto moved = [&](const std::vector<uint8_t>& p) {
            const auto c = brightCentre(p, area);
            return c && std::abs(c->first - wantX) < 6 && std::abs(c->second - wantY) < 6;
        };
        const auto now = brightCentre(app.waitForView(area, moved), area);
        ASSERT_TRUE(now);
        EXPECT_NEAR(now->first, wantX, 6) << "sideways, drag " << d.dx << "," << d.dy;
        EXPECT_NEAR(now->second, wantY, 6) << "up and down, drag " << d.dx << "," << d.dy;
        at = *now;
    }
}

TEST_F(ShellE2E, LosingFocusPausesTheMovie) {
    ASSERT_TRUE(app.ok());
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
    test::BackgroundProcess other({"/usr/bin/xmessage", "-name", "other", "another application"},
                                  app.environment());
    const auto otherWindow = app.x().waitForWindow("^other$", 10s);
    ASSERT_FALSE(otherWindow.empty());
    app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", otherWindow});
    const auto area = app.viewArea();
    const auto first = paused(area);
    EXPECT_TRUE(app.staysAs(area, first, 1s)) << "still playing after the focus went elsewhere";
}

TEST_F(ShellE2E, QuittingByCommandOrSignalSavesThePreferences) {
    ASSERT_TRUE(app.ok());
    const auto file = std::filesystem::path(app.configFolder()) / "Lumenarc" / "Lumenarc.prefs";
    for (const bool bySignal : {false, true}) {
        std::filesystem::remove(file);
        const auto window = startPlaying();
        ASSERT_FALSE(window.empty()) << app.process().errors();
        EXPECT_FALSE(std::filesystem::exists(file)); // written at the end only
        if (bySignal) {
            app.process().signal(SIGTERM);
        } else {
            app.key(window, "ctrl+q");
        }
        EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
        EXPECT_TRUE(std::filesystem::exists(file)) << (bySignal ? "SIGTERM" : "Ctrl+Q");
        EXPECT_NE(prefs().find("Volume=1"), std::string::npos);
    }
}

// The preferences tool provisions a machine while the player runs; the player's save at quit
// keeps what the tool set, since the player itself changed none of it.
TEST_F(ShellE2E, PreferencesSetWhileThePlayerRunsSurviveItsQuit) {
    ASSERT_TRUE(app.ok());
    const auto window = startPlaying();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    ASSERT_TRUE(
        setPrefs({"hscreens", "2", "StartupInFulLScreen", "YES", "DefaultMap", "/maps/dome.data"}));
    app.key(window, "ctrl+q");
    EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
    const std::string shown = prefs();
    EXPECT_NE(shown.find("hscreens=2\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("StartupInFulLScreen=YES\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("DefaultMap=/maps/dome.data\n"), std::string::npos) << shown;
}

// SIGTERM or SIGINT while an alert or a sheet is up, also one shown before the event loop
// runs, ends the player in its orderly way: the preferences are written.
TEST_F(ShellE2E, AQuitSignalDuringAnAlertOrASheetEndsInOrder) {
    ASSERT_TRUE(app.ok());
    const auto file = std::filesystem::path(app.configFolder()) / "Lumenarc" / "Lumenarc.prefs";
    const auto notAMovie = app.home().write("notes.mp4", "these are my notes, not a movie");
    const auto notAMesh = app.home().write("notes.data", "these are my notes, not a mesh");
    struct Case {
        std::string what;
        std::vector<std::string> prefs;
        std::vector<std::string> args;
        std::string window;
        int signal;
    };
    const std::vector<Case> cases{
        {"movie alert", {}, {notAMovie}, "^Movie error$", SIGTERM},
        {"mesh alert", {"DefaultMap", notAMesh}, {}, "^File error$", SIGINT},
        {"open sheet", {"DefaultMap", ""}, {}, "^Open Movie$", SIGTERM},
        {"preferences sheet", {}, {movie()}, "", SIGTERM},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(file);
        if (!c.prefs.empty()) {
            ASSERT_TRUE(setPrefs(c.prefs));
        }
        const auto before = std::filesystem::exists(file) ? std::filesystem::last_write_time(file)
                                                          : std::filesystem::file_time_type::min();
        app.start(c.args);
        if (c.window.empty()) {
            const auto window = app.waitForMainWindow("show.mp4");
            ASSERT_FALSE(window.empty()) << app.process().errors();
            app.key(window, "ctrl+p");
            ASSERT_FALSE(app.x().waitForWindow("^Preferences$", 10s).empty()) << c.what;
        } else {
            ASSERT_FALSE(app.x().waitForWindow(c.window, 20s).empty()) << c.what;
        }
        // No wait: the signals are handled from before the first window shows.
        app.process().signal(c.signal);
        EXPECT_EQ(app.process().wait(20s), 0) << c.what << "\n" << app.process().errors();
        ASSERT_TRUE(std::filesystem::exists(file)) << c.what;
        EXPECT_GT(std::filesystem::last_write_time(file), before) << c.what;
        EXPECT_NE(prefs().find("Volume=1"), std::string::npos) << c.what;
    }
}

TEST_F(ShellE2E, WithoutAMovieTheOpenSheetShowsAndTheWindowStays) {
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(setPrefs({"StartupInFulLScreen", "YES"}));
    app.start();
    EXPECT_FALSE(app.x().waitForWindow("^Open Movie$", 20s).empty()) << app.process().errors();
    EXPECT_TRUE(app.x().waitForWindow("^Lumenarc Full Screen$", 1500ms).empty());
    // Cancelling the sheet leaves the player running, windowed.
    app.x().run({"/usr/bin/xdotool", "key", "Escape"});
    EXPECT_TRUE(app.x().waitForWindowGone("^Open Movie$", 10s));
    EXPECT_EQ(app.process().wait(500ms), -1); // not ended
    EXPECT_TRUE(app.process().running());
    EXPECT_FALSE(app.waitForMainWindow().empty());
}

// In full screen with the pointer hidden, a sheet or dialog shows the pointer while it is up;
// once it closes, the pointer hides again and the shortcuts work at once, with no click on the
// picture first.
TEST_F(ShellE2E, FullScreenSheetsShowThePointerAndGiveTheKeysBack) {
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(setPrefs({"StartupInFulLScreen", "YES", "hideMouse", "YES"}));
    app.start({"--osc-port", std::to_string(port), movie()});
    const auto full = app.x().waitForWindow("^Lumenarc Full Screen$", 20s);
    ASSERT_FALSE(full.empty()) << app.process().errors();
    const auto area = app.waitForPicture();
    const auto plain = pause(full, area); // paused: the picture changes only when told to
    ASSERT_EQ(pointerAt(400, 400, "hidden\n"), "hidden\n");
    for (const auto& [keys, title] :
         {std::pair{"ctrl+p", "^Preferences$"}, std::pair{"ctrl+o", "^Open Movie$"}}) {
        app.key(full, keys);
        const auto sheet = app.x().waitForWindow(title, 10s);
        ASSERT_FALSE(sheet.empty()) << title;
        const auto r = app.geometry(sheet);
        EXPECT_EQ(pointerAt(r.x + r.width / 2, r.y + r.height / 2, "shown\n"), "shown\n") << title;
        EXPECT_EQ(pointerAt(10, 10, "shown\n"), "shown\n") << title << ", outside the sheet";
        app.key(sheet, "Escape");
        ASSERT_TRUE(app.x().waitForWindowGone(title, 10s)) << title;
        EXPECT_EQ(pointerAt(420, 420, "hidden\n"), "hidden\n") << "after " << title;
    }
    // No focusing here: the keys go wherever the sheet left the keyboard.
    app.x().run({"/usr/bin/xdotool", "key", "ctrl+g"});
    EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != plain; }), plain)
        << "Ctrl+G after the sheets";
    app.x().run({"/usr/bin/xdotool", "key", "ctrl+q"});
    EXPECT_EQ(app.process().wait(20s), 0) << "Ctrl+Q after the sheets";
}

// Ctrl+1 and Ctrl+2 size the picture to the movie where that fits the screen, and otherwise to
// the largest picture of the movie's shape that keeps the whole window on the screen.
TEST_F(ShellE2E, WindowSizesFitTheScreen) {
    ASSERT_TRUE(app.ok()); // a 1280 x 1024 screen
    const auto onScreen = [](const AppSession::Rect& r) {
        return r.x >= 0 && r.y >= 0 && r.x + r.width <= 1280 && r.y + r.height <= 1024;
    };
    // Without a movie nothing changes.
    app.start();
    ASSERT_FALSE(app.x().waitForWindow("^Open Movie$", 20s).empty()) << app.process().errors();
    app.x().run({"/usr/bin/xdotool", "key", "Escape"});
    const auto empty = app.waitForMainWindow();
    ASSERT_FALSE(empty.empty());
    const auto area = app.viewArea();
    const auto plain = firstFrames(area);
    const auto before = app.geometry(empty);
    for (const char* keys : {"ctrl+1", "ctrl+2"}) {
        app.key(empty, keys);
        // The grid after it: once that shows, the size key has been dealt with.
        app.key(empty, "ctrl+g");
        EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != plain; }), plain);
        app.key(empty, "ctrl+g");
        EXPECT_EQ(app.waitForView(area, [&](const auto& p) { return p == plain; }), plain);
        const auto after = app.geometry(empty);
        EXPECT_EQ(after.width, before.width) << keys;
        EXPECT_EQ(after.height, before.height) << keys;
    }
    app.x().run({"/usr/bin/xdotool", "key", "ctrl+q"});
    EXPECT_EQ(app.process().wait(20s), 0);

    struct Case {
        int width, height;
        const char* keys;
        int viewWidth, viewHeight; // 0: the largest that fits
    };
    for (const Case& c : {Case{640, 360, "ctrl+1", 640, 360}, Case{640, 360, "ctrl+2", 1280, 720},
                          Case{1920, 1080, "ctrl+2", 0, 0}, Case{1920, 1080, "ctrl+1", 0, 0}}) {
        const auto path = (app.home().path() / ("m" + std::to_string(c.width) + ".mp4")).string();
        test::MovieSpec spec;
        spec.seconds = 2;
        spec.width = c.width;
        spec.height = c.height;
        spec.audio = false;
        ASSERT_TRUE(std::filesystem::exists(path) || test::TestMovies::make(path, spec));
        app.start({path});
        const auto window = app.waitForMainWindow(std::filesystem::path(path).filename().string());
        ASSERT_FALSE(window.empty()) << app.process().errors();
        app.key(window, c.keys);
        const auto fits = [&](const AppSession::Rect& frame, const AppSession::Rect& view) {
            return onScreen(frame) &&
                   (c.viewWidth > 0 ? view.width == c.viewWidth && view.height == c.viewHeight
                                    : view.width >= 1270 &&
                                          std::abs(static_cast<double>(view.width) / view.height -
                                                   16.0 / 9.0) <= 0.01);
        };
        auto frame = app.geometry(window);
        auto view = app.viewArea();
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             !fits(frame, view) && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(100ms);
            frame = app.geometry(window);
            view = app.viewArea();
        }
        const auto what = std::to_string(c.width) + " " + c.keys;
        EXPECT_TRUE(onScreen(frame)) << what << ": " << frame.x << "," << frame.y << " "
                                     << frame.width << "x" << frame.height;
        if (c.viewWidth > 0) {
            EXPECT_EQ(view.width, c.viewWidth) << what;
            EXPECT_EQ(view.height, c.viewHeight) << what;
        } else {
            EXPECT_GE(view.width, 1270) << what; // as wide as the screen allows
            EXPECT_NEAR(static_cast<double>(view.width) / view.height, 16.0 / 9.0, 0.01) << what;
        }
        app.key(window, "ctrl+q");
        EXPECT_EQ(app.process().wait(20s), 0);
    }
}

class WideShellE2E : public ShellE2E {
protected:
    WideShellE2E() : ShellE2E(2560, 800) {}
};

TEST_F(WideShellE2E, FullScreenSpansTheScreensAndHidesThePointer) {
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(setPrefs({"StartupInFulLScreen", "YES", "hideMouse", "YES", "hscreens", "2"}));
    app.start({"--osc-port", std::to_string(port), movie()});
    const auto full = app.x().waitForWindow("^Lumenarc Full Screen$", 20s);
    ASSERT_FALSE(full.empty()) << app.process().errors();
    // The pointer hides two seconds after full screen began, which was before the window was
    // found: it is seen shown only when the look comes soon enough. A busy machine may be too
    // slow for that; the look is then left out, not failed.
    const auto found = std::chrono::steady_clock::now();
    app.x().run({"/usr/bin/xdotool", "mousemove", "400", "400"});
    const auto early = app.x().run({test::binPath("lumenarc-cursor-probe")});
    if (std::chrono::steady_clock::now() - found < 1s) {
        EXPECT_EQ(early, "shown\n");
    } else {
        std::printf("the pointer was looked at too late to be seen shown\n");
    }
    const auto r = app.geometry(full);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 2 * 2560);
    EXPECT_EQ(r.height, 800);
    EXPECT_EQ(pointerAt(420, 420, "hidden\n"), "hidden\n");
    // The keys reach the view inside the full-screen window (wider than this screen: its
    // middle is off it).
    const auto area = app.viewArea();
    const auto still = pause(full, area);
    EXPECT_TRUE(app.staysAs(area, still, 800ms));
}

} // namespace
} // namespace lumenarc
