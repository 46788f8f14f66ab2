#include "AppSession.h"
#include "E2EMovies.h"
#include "RemoteSupport.h"
#include "mesh/DistortionMatrix.h"
#include "render/MeshScreen.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;

constexpr int kSide = 5; // the test mesh: 5 x 5 nodes at -0.8, -0.4, 0, 0.4, 0.8

std::string meshText() {
    std::ostringstream text;
    text << "1\n" << kSide << ' ' << kSide << '\n';
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            text << -0.8 + 0.4 * column << ' ' << -0.8 + 0.4 * row << ' ' << 0.25 * column << ' '
                 << 0.25 * row << " 1\n";
        }
    }
    return text.str();
}

// The nodes as the player reads them from that text.
std::vector<MeshVertex> originalNodes() {
    const auto mesh = DistortionMatrix::initFromText(meshText());
    return mesh ? std::vector<MeshVertex>(mesh->vertices().begin(), mesh->vertices().end())
                : std::vector<MeshVertex>{};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool sameNodes(const std::string& path, const std::vector<MeshVertex>& wanted) {
    const auto mesh = DistortionMatrix::initFromFile(path);
    if (!mesh || mesh->vertices().size() != wanted.size()) {
        return false;
    }
    return std::equal(wanted.begin(), wanted.end(), mesh->vertices().begin(),
                      [](const MeshVertex& a, const MeshVertex& b) {
                          return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.i == b.i;
                      });
}

// The real player under Xvfb with a small mesh of its own, edited by real keys and a real
// mouse; what the edits did is read back exactly from the files they are saved to.
class MeshEditE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.ok());
        meshPath = app.home().write("wall.data", meshText());
        app.start({"--osc-port", std::to_string(port), "--mesh", meshPath,
                   test::squareMovie(app, "edit.mp4")});
        window = app.waitForMainWindow("edit.mp4");
        ASSERT_FALSE(window.empty()) << app.process().errors();
        area = app.waitForPicture();
        ASSERT_GT(area.width, 0);
        pixel = 2.0 / std::min(area.width, area.height);
    }

    void keys(const std::vector<std::string>& names) {
        std::vector<std::string> argv{"/usr/bin/xdotool", "key", "--delay", "30"};
        argv.insert(argv.end(), names.begin(), names.end());
        app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
        app.x().run(argv);
    }
    // Where node (column, row) of the given nodes shows on the screen.
    std::pair<int, int> screenOf(double meshX, double meshY) const {
        const auto p = MeshScreen::toWindow(meshX, meshY, static_cast<float>(area.width),
                                            static_cast<float>(area.height));
        return {area.x + static_cast<int>(std::lround(p.x)),
                area.y + area.height - static_cast<int>(std::lround(p.y))};
    }
    void mouse(const std::vector<std::string>& actions) {
        std::vector<std::string> argv{"/usr/bin/xdotool"};
        argv.insert(argv.end(), actions.begin(), actions.end());
        app.x().run(argv);
    }
    void drag(std::pair<int, int> from, std::pair<int, int> to) {
        mouse({"mousemove", std::to_string(from.first), std::to_string(from.second)});
        mouse({"mousedown", "1"});
        mouse({"mousemove", std::to_string((from.first + to.first) / 2),
               std::to_string((from.second + to.second) / 2)});
        mouse({"mousemove", std::to_string(to.first), std::to_string(to.second)});
        mouse({"mouseup", "1"});
    }
    // Saves with Ctrl+S and waits for the file to hold `wanted` (the keys before were taken in
    // order, so the save shows them all).
    bool savedAs(const std::vector<MeshVertex>& wanted, const std::string& path = "") {
        keys({"ctrl+s"});
        return waitForNodes(path.empty() ? meshPath : path, wanted);
    }
    static bool waitForNodes(const std::string& path, const std::vector<MeshVertex>& wanted) {
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(100ms)) {
            if (sameNodes(path, wanted)) {
                return true;
            }
        }
        return false;
    }
    // Whether the selected handle's colour is at that place on the screen.
    static bool chosenAt(const std::vector<uint8_t>& pixels, const AppSession::Rect& area,
                         std::pair<int, int> at) {
        const int x = at.first - area.x;
        const int y = at.second - area.y;
        const size_t k = (static_cast<size_t>(y) * area.width + x) * 3;
        return k + 2 < pixels.size() && pixels[k] > 200 && pixels[k + 1] > 70 &&
               pixels[k + 1] < 160 && pixels[k + 2] < 60;
    }

    // Whether a plain node's handle (light grey) shows there.
    bool handleAt(std::pair<int, int> at) {
        const auto grey = [&](const std::vector<uint8_t>& p) {
            const size_t k =
                (static_cast<size_t>(at.second - area.y) * area.width + (at.first - area.x)) * 3;
            return k + 2 < p.size() && p[k] > 200 && p[k + 1] > 200 && p[k + 2] > 200;
        };
        return grey(app.waitForView(area, grey));
    }

    AppSession app;
    uint16_t port = test::freeUdpPort();
    std::string meshPath;
    std::string window;
    AppSession::Rect area;
    double pixel = 0;
};

// Click, arrows, a drag, undo back to the loaded mesh and redo, a rectangle: each shows at once
// while the movie plays, and each save reads back exactly; the first save keeps the original.
TEST_F(MeshEditE2E, KeysAndMouseEditTheMeshAndUndoGoesBackToTheLoadedOne) {
    const auto original = originalNodes();
    const std::string originalText = readFile(meshPath);
    keys({"ctrl+e"});
    const size_t node = 1 * kSide + 1; // (-0.4, -0.4)
    const auto at = screenOf(-0.4, -0.4);
    mouse({"mousemove", std::to_string(at.first + 3), std::to_string(at.second - 2), "click", "1"});
    const auto shown = app.waitForView(area, [&](const auto& p) { return chosenAt(p, area, at); });
    EXPECT_TRUE(chosenAt(shown, area, at)) << "the clicked node is not drawn selected";

    keys({"Up", "Up", "Up"});
    auto moved = original;
    moved[node].y += pixel;
    moved[node].y += pixel;
    moved[node].y += pixel;
    const auto up = screenOf(moved[node].x, moved[node].y);
    const auto live = app.waitForView(area, [&](const auto& p) { return chosenAt(p, area, up); });
    EXPECT_TRUE(chosenAt(live, area, up)) << "the move does not show";
    ASSERT_TRUE(savedAs(moved)) << "arrows";
    EXPECT_EQ(readFile(meshPath + ".orig"), originalText);

    drag(up, {up.first + 32, up.second});
    auto dragged = moved;
    dragged[node].x += MeshScreen::toMeshOffset(32, 0, static_cast<float>(area.width),
                                                static_cast<float>(area.height))
                           .x;
    ASSERT_TRUE(savedAs(dragged)) << "drag";

    keys({"ctrl+z"}); // the whole drag
    ASSERT_TRUE(savedAs(moved)) << "undo of the drag";
    keys({"ctrl+z", "ctrl+z", "ctrl+z", "ctrl+z"}); // the three arrows, and nothing more
    ASSERT_TRUE(savedAs(original)) << "undo to the loaded mesh";
    keys({"ctrl+shift+z", "ctrl+shift+z", "ctrl+shift+z", "ctrl+shift+z"});
    ASSERT_TRUE(savedAs(dragged)) << "redo";

    // A rectangle from empty space over the two right columns of the two lower rows.
    keys({"Escape"});
    drag(screenOf(0.2, -0.2), screenOf(0.95, -0.95));
    keys({"Right"});
    auto boxed = dragged;
    for (const size_t k : {3, 4, 8, 9}) {
        boxed[k].x += pixel;
    }
    ASSERT_TRUE(savedAs(boxed)) << "rectangle";
    EXPECT_EQ(readFile(meshPath + ".orig"), originalText); // kept from the first save only
    EXPECT_TRUE(app.process().running());
}

// Save As writes the edits under a new name, which later saves use; closing the window or
// quitting with unsaved edits asks first: Cancel keeps the player running, Save saves and quits.
TEST_F(MeshEditE2E, SaveAsAndTheQuestionBeforeQuitting) {
    const auto original = originalNodes();
    keys({"ctrl+e", "n", "n", "equal", "minus", "minus"}); // node 1 alone, i 1 -> 0.98
    auto edited = original;
    edited[1].i = std::clamp(edited[1].i + 0.01, 0.0, 1.0);
    edited[1].i = std::clamp(edited[1].i - 0.01, 0.0, 1.0);
    edited[1].i = std::clamp(edited[1].i - 0.01, 0.0, 1.0);
    keys({"ctrl+shift+s"});
    const auto sheet = app.x().waitForWindow("^Save Distortion Matrix$", 10s);
    ASSERT_FALSE(sheet.empty());
    const auto copy = (app.home().path() / "copy.data").string();
    app.x().run({"/usr/bin/xdotool", "windowfocus", "--sync", sheet});
    // Pacing only: the sheet shows before its name field takes keys, and nothing on the screen
    // tells when it does.
    std::this_thread::sleep_for(1s);
    app.x().run({"/usr/bin/xdotool", "key", "ctrl+a"});
    app.x().run({"/usr/bin/xdotool", "type", "--delay", "20", copy});
    app.x().run({"/usr/bin/xdotool", "key", "Return"});
    ASSERT_TRUE(waitForNodes(copy, edited));
    EXPECT_TRUE(sameNodes(meshPath, original)); // the loaded file stays as it was

    keys({"shift+n", "Left"}); // node 0, one pixel left: saved to the copy from now on
    auto further = edited;
    further[0].x -= pixel;
    ASSERT_TRUE(savedAs(further, copy));

    keys({"Left"});
    auto unsaved = further;
    unsaved[0].x -= pixel;
    // Closing the window and Ctrl+Q ask; Cancel (Escape) leaves the player as it was.
    app.x().run({test::binPath("lumenarc-window-close"), window});
    auto question = app.x().waitForWindow("^Unsaved Mesh Edits$", 10s);
    ASSERT_FALSE(question.empty());
    app.key(question, "Escape");
    EXPECT_TRUE(app.x().waitForWindowGone("^Unsaved Mesh Edits$", 10s));
    keys({"ctrl+q"});
    question = app.x().waitForWindow("^Unsaved Mesh Edits$", 10s);
    ASSERT_FALSE(question.empty());
    app.key(question, "Escape");
    EXPECT_TRUE(app.x().waitForWindowGone("^Unsaved Mesh Edits$", 10s));
    EXPECT_TRUE(app.process().running());
    EXPECT_FALSE(app.waitForMainWindow("edit.mp4", 5s).empty()); // still open

    test::OscClient osc("127.0.0.1", port);
    osc.send("/lumenarc/quit", "");
    question = app.x().waitForWindow("^Unsaved Mesh Edits$", 10s);
    ASSERT_FALSE(question.empty());
    app.key(question, "Return"); // Save
    EXPECT_EQ(app.process().wait(20s), 0);
    EXPECT_TRUE(sameNodes(copy, unsaved));
}

// A signal asks nothing: the edits go to FILE.unsaved beside the mesh, and standard error says
// so. Edit mode and saving also come over OSC.
TEST_F(MeshEditE2E, TermSignalKeepsUnsavedEditsBesideTheMesh) {
    const auto original = originalNodes();
    test::OscClient osc("127.0.0.1", port);
    osc.send("/lumenarc/edit", "i", 1);
    // The keys and the datagrams come by different ways: each waits for the screen to show
    // that the one before was taken.
    const auto plain = screenOf(original[6].x, original[6].y);
    ASSERT_TRUE(handleAt(plain)) << "no handles in edit mode";
    keys({"ctrl+a", "shift+Down"});
    auto saved = original;
    for (auto& n : saved) {
        n.y -= 10 * pixel;
    }
    const auto down = screenOf(saved[6].x, saved[6].y);
    ASSERT_TRUE(chosenAt(
        app.waitForView(area, [&](const auto& p) { return chosenAt(p, area, down); }), area, down));
    osc.send("/lumenarc/save", "");
    ASSERT_TRUE(waitForNodes(meshPath, saved));
    keys({"alt+Right", "shift+Up"});
    auto unsaved = saved;
    for (auto& n : unsaved) {
        n.u += 0.001;
        n.y += 10 * pixel;
    }
    const auto back = screenOf(unsaved[6].x, unsaved[6].y);
    ASSERT_TRUE(chosenAt(
        app.waitForView(area, [&](const auto& p) { return chosenAt(p, area, back); }), area, back));
    app.process().signal(SIGTERM);
    EXPECT_EQ(app.process().wait(20s), 0);
    EXPECT_TRUE(sameNodes(meshPath + ".unsaved", unsaved));
    EXPECT_TRUE(sameNodes(meshPath, saved));
    EXPECT_NE(app.process().errors().find("unsaved mesh edits written to " + meshPath + ".unsaved"),
              std::string::npos)
        << app.process().errors();
}

} // namespace
} // namespace lumenarc
