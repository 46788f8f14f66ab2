#include "AppSession.h"
#include "E2EMovies.h"
#include "E2EPictures.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::E2EPictures;

// Files dragged from another program (a real X drag and drop) onto the player's window.
class DropE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name) { return test::squareMovie(app, name); }
    // Presses on the drag source and moves, in steps, to the middle of `target`, and lets go.
    void drag(const std::string& source, const AppSession::Rect& target) {
        const auto from = app.geometry(source);
        std::vector<std::string> argv{"/usr/bin/xdotool",
                                      "mousemove",
                                      std::to_string(from.x + from.width / 2),
                                      std::to_string(from.y + from.height / 2),
                                      "mousedown",
                                      "1",
                                      "sleep",
                                      "0.3"};
        const int tx = target.x + target.width / 2, ty = target.y + target.height / 2;
        for (int step = 1; step <= 10; ++step) {
            const int x = from.x + from.width / 2 + (tx - from.x - from.width / 2) * step / 10;
            const int y = from.y + from.height / 2 + (ty - from.y - from.height / 2) * step / 10;
            argv.insert(argv.end(),
                        {"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.1"});
        }
        argv.insert(argv.end(), {"sleep", "0.3", "mouseup", "1"});
        app.x().run(argv);
    }

    AppSession app;
};

TEST_F(DropE2E, DroppedMoviesPlayInOrderAndADroppedMeshLoads) {
    ASSERT_TRUE(app.ok());
    app.start({movie("first.mp4")});
    ASSERT_FALSE(app.waitForMainWindow("first.mp4").empty()) << app.process().errors();
    const auto mesh = app.home().write("left.data", E2EPictures::leftHalfMesh());
    const auto a = movie("a.mp4"), b = movie("b.mp4");
    test::BackgroundProcess source({test::binPath("lumenarc-drag-source"), a, b, mesh},
                                   app.environment());
    const auto sourceWindow = app.x().waitForWindow("^Drag Source$", 10s);
    ASSERT_FALSE(sourceWindow.empty()) << source.errors();
    const auto area = app.viewArea();
    drag(sourceWindow, area);
    EXPECT_FALSE(app.waitForMainWindow("a.mp4 \\(1/2\\)").empty())
        << source.output() << source.errors() << app.process().errors();
    const auto leftOnly = [&](const std::vector<uint8_t>& p) {
        return E2EPictures::lit(p, area, 0.25, 0.5) && !E2EPictures::lit(p, area, 0.75, 0.5);
    };
    EXPECT_TRUE(leftOnly(app.waitForView(area, leftOnly))) << "the dropped mesh is not drawn";
    EXPECT_EQ(source.output(), "dropped\n");
}

TEST_F(DropE2E, WhatIsNotAFileHereIsRefused) {
    ASSERT_TRUE(app.ok());
    app.start({movie("first.mp4")});
    ASSERT_FALSE(app.waitForMainWindow("first.mp4").empty()) << app.process().errors();
    test::BackgroundProcess source(
        {test::binPath("lumenarc-drag-source"), (app.home().path() / "gone.mp4").string()},
        app.environment());
    const auto sourceWindow = app.x().waitForWindow("^Drag Source$", 10s);
    ASSERT_FALSE(sourceWindow.empty()) << source.errors();
    drag(sourceWindow, app.viewArea());
    for (int k = 0; k < 50 && source.output().empty(); ++k) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(source.output(), "refused\n");
    EXPECT_TRUE(app.x().waitForWindow("^Movie error$", 1s).empty());
    EXPECT_FALSE(app.waitForMainWindow("first.mp4", 1s).empty());
}

} // namespace
} // namespace lumenarc
