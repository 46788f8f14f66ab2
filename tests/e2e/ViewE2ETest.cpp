#include "AppSession.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"
#include <algorithm>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::runProcess;

bool isBlack(const uint8_t* p) {
    return p[0] < 8 && p[1] < 8 && p[2] < 8;
}

// With no movie the view draws only the overlay band along the bottom of the mesh square.
TEST(ViewE2E, StartsWithTheOverlayOnBlackAndLogsTheDefaultMeshPath) {
    AppSession app;
    ASSERT_TRUE(app.ok()) << "no Xvfb";
    app.start();
    const auto window = app.waitForMainWindow();
    ASSERT_FALSE(window.empty()) << app.process().errors();
    // Without a movie the open sheet comes up at once; cancel it to see the view.
    ASSERT_FALSE(app.x().waitForWindow("^Open Movie$", std::chrono::seconds(20)).empty());
    app.x().run({"/usr/bin/xdotool", "key", "Escape"});
    // The sheet must be gone before the picture is looked at, or it is seen over the view.
    ASSERT_TRUE(app.x().waitForWindowGone("^Open Movie$", 10s));
    EXPECT_TRUE(app.waitForLog("/share/lumenarc/../../../default.data\n", 5s))
        << app.process().errors();
    const auto r = app.geometry(window);
    ASSERT_GT(r.width, 100);
    // The view fills the window but for the 24-point control bar at the bottom.
    const int viewHeight = r.height - 24;
    const int side = std::min(r.width, viewHeight);
    const int cx = r.x + r.width / 2, cy = r.y + viewHeight / 2;
    // The band: x -0.8..0.8, y -1..-0.5 of the mesh square (y up), so just above its bottom.
    // Screenshots until the first frames show it.
    const auto blackAt = [&](const auto& shot, double fx, double fy) {
        return isBlack(
            shot.at(r.x + static_cast<int>(fx * r.width), r.y + static_cast<int>(fy * viewHeight)));
    };
    const std::pair<double, double> dark[] = {{0.5, 0.5}, {0.1, 0.1}, {0.9, 0.2}, {0.5, 0.55}};
    const auto drawn = [&](const auto& shot) {
        return !isBlack(shot.at(cx, cy + side * 3 / 8)) &&
               std::all_of(std::begin(dark), std::end(dark),
                           [&](const auto& p) { return blackAt(shot, p.first, p.second); });
    };
    auto shot = app.x().screenshot(app.home().path().string());
    ASSERT_EQ(shot.width, 1280);
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         !drawn(shot) && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(200ms);
        shot = app.x().screenshot(app.home().path().string());
        ASSERT_EQ(shot.width, 1280);
    }
    const auto* band = shot.at(cx, cy + side * 3 / 8);
    EXPECT_FALSE(isBlack(band)) << int(band[0]) << "," << int(band[1]) << "," << int(band[2]);
    EXPECT_GT(band[0], band[1]); // tinted red
    for (const auto& [fx, fy] : dark) {
        EXPECT_TRUE(blackAt(shot, fx, fy)) << fx << "," << fy;
    }
}

// A "default.data" three folders above the resources (beside the installed tree) that is not
// a mesh gives the "File error" alert.
TEST(ViewE2E, BadDefaultMeshBesideTheTreeShowsTheFileErrorAlert) {
    AppSession app;
    ASSERT_TRUE(app.ok());
    const auto root = app.home().path() / "install";
    const auto tree = root / "tree";
    std::filesystem::create_directories(tree / "bin");
    std::filesystem::copy(test::binPath("lumenarc"), tree / "bin" / "lumenarc");
    std::filesystem::copy(std::filesystem::path(LUMENARC_SHARE_DIR).parent_path(), tree / "share",
                          std::filesystem::copy_options::recursive);
    app.home().write("install/default.data", "7 2 2 not a mesh");
    app.start({}, (tree / "bin" / "lumenarc").string());
    const auto alert = app.x().waitForWindow("^File error$", 20s);
    EXPECT_FALSE(alert.empty()) << app.process().errors();
    EXPECT_TRUE(app.waitForLog((root / "tree/share/lumenarc/../../../default.data").string(), 5s));
}

// A default map that is not a mesh: the alert names it, sits on the main window, and after it
// the show goes on through the built-in mesh instead of staying black.
TEST(ViewE2E, ABadDefaultMapIsNamedOnTheMainWindowAndTheShowGoesOn) {
    AppSession app;
    ASSERT_TRUE(app.ok());
    const auto bad = app.home().write("broken.data", "this is not a mesh");
    test::ProcessOptions options;
    options.env = app.environment();
    ASSERT_EQ(
        runProcess({test::binPath("lumenarc-prefs"), "set", "DefaultMap", bad}, options).exitCode,
        0);
    test::MovieSpec spec;
    spec.seconds = 20;
    spec.audio = false;
    const auto movie = (app.home().path() / "show.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(movie, spec));
    app.start({movie});
    const auto alert = app.x().waitForWindow("^File error$", 20s);
    ASSERT_FALSE(alert.empty()) << app.process().errors();
    const auto main = app.waitForMainWindow("Lumenarc", 5s);
    ASSERT_FALSE(main.empty());
    // On the main window: marked as its dialog, and centred on it.
    const auto transient = app.x().run({"/usr/bin/xprop", "-id", alert, "WM_TRANSIENT_FOR"});
    const auto hex = transient.find("0x");
    ASSERT_NE(hex, std::string::npos) << transient;
    EXPECT_EQ(std::stoul(transient.substr(hex), nullptr, 16), std::stoul(main));
    const auto a = app.geometry(alert), m = app.geometry(main);
    EXPECT_NEAR(a.x + a.width / 2, m.x + m.width / 2, 40);
    EXPECT_NEAR(a.y + a.height / 2, m.y + m.height / 2, 60);
    app.key(alert, "Return");
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    const auto area = app.viewArea();
    const auto lit = [&](const std::vector<uint8_t>& p) {
        const auto* c =
            &p[(static_cast<size_t>(area.height / 2) * area.width + area.width / 2) * 3];
        return c[0] + c[1] + c[2] > 60;
    };
    EXPECT_TRUE(lit(app.waitForView(area, lit))) << "black after the alert";
    EXPECT_TRUE(app.x().waitForWindow("^File error$", 500ms).empty()) << "a second alert";
}

} // namespace
} // namespace lumenarc
