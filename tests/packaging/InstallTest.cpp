#include "e2e/AppSession.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::vector<std::string> kPrograms{"lumenarc", "lumenarc-mesh", "lumenarc-prefs",
                                         "lumenarc-warp", "lumenarc-render"};

test::ProcessResult run(const std::vector<std::string>& argv,
                        const std::map<std::string, std::string>& env = {}) {
    test::ProcessOptions options;
    options.env = env;
    options.timeout = 120s;
    return test::runProcess(argv, options);
}

// Width and height from a PNG's header.
std::pair<int, int> pngSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const auto be32 = [&](int at) {
        return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
    };
    return {be32(16), be32(20)};
}

// What an installed tree must hold, under `root` (the prefix, e.g. <DESTDIR>/usr).
void expectInstalledTree(const fs::path& root) {
    for (const auto& program : kPrograms) {
        EXPECT_TRUE(fs::is_regular_file(root / "bin" / program)) << program;
    }
    // Every program installed has its manual page, a tool added later too.
    for (const auto& entry : fs::directory_iterator(root / "bin")) {
        const auto program = entry.path().filename().string();
        EXPECT_TRUE(fs::is_regular_file(root / "share/man/man1" / (program + ".1"))) << program;
    }
    for (const char* file : {"rect.data", "Grid.tif", "Overlay.tif", "meshes/dome-fisheye.data"}) {
        EXPECT_TRUE(fs::is_regular_file(root / "share/lumenarc" / file)) << file;
    }
    EXPECT_TRUE(fs::is_regular_file(root / "share/applications/lumenarc.desktop"));
    EXPECT_TRUE(fs::is_regular_file(root / "share/icons/hicolor/scalable/apps/lumenarc.svg"));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const auto png = root / "share/icons/hicolor" /
                         (std::to_string(size) + "x" + std::to_string(size)) / "apps/lumenarc.png";
        ASSERT_TRUE(fs::is_regular_file(png)) << png;
        EXPECT_EQ(pngSize(png), std::make_pair(size, size)) << png;
    }
    EXPECT_TRUE(fs::is_regular_file(root / "share/doc/lumenarc/copyright"));
}

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        const auto r = run({LUMENARC_CMAKE, "--install", LUMENARC_BUILD_DIR, "--prefix", "/usr"},
                           {{"DESTDIR", stage.path().string()}});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    fs::path root() const { return stage.path() / "usr"; }

    test::TempDir stage;
};

TEST_F(Install, PutsTheProgramsResourcesDesktopEntryIconAndManualPagesUnderThePrefix) {
    expectInstalledTree(root());
    const auto desktop = root() / "share/applications/lumenarc.desktop";
    const auto valid = run({"/usr/bin/desktop-file-validate", desktop.string()});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");
    const std::string entry = test::readFile(desktop);
    EXPECT_NE(entry.find("\nExec=lumenarc %F\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=lumenarc\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=video/"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(root() / "share/man/man1")) {
        const auto page = entry.path();
        const auto program = page.stem().string();
        const auto shown = run({"/usr/bin/man", "--warnings", "-l", page.string()},
                               {{"MANPAGER", "cat"}, {"MANWIDTH", "80"}});
        EXPECT_EQ(shown.exitCode, 0) << program;
        EXPECT_EQ(shown.err, "") << program; // no formatting warnings
        EXPECT_NE(shown.out.find("NAME"), std::string::npos) << program;
        EXPECT_NE(shown.out.find(program), std::string::npos) << program;
    }
}

TEST_F(Install, TheInstalledToolsRun) {
    const auto bin = root() / "bin";
    const auto share = root() / "share/lumenarc";
    const auto version = run({(bin / "lumenarc").string(), "--version"}, {{"DISPLAY", ""}});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, std::string("Lumenarc ") + LUMENARC_VERSION + "\n");
    const auto info =
        run({(bin / "lumenarc-mesh").string(), "info", (share / "rect.data").string()});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("17"), std::string::npos) << info.out;
    test::TempDir home;
    const auto prefs = run(
        {(bin / "lumenarc-prefs").string(), "path"},
        {{"HOME", home.path().string()}, {"XDG_CONFIG_HOME", (home.path() / ".config").string()}});
    EXPECT_EQ(prefs.exitCode, 0) << prefs.err;
    EXPECT_NE(prefs.out.find(home.path().string()), std::string::npos) << prefs.out;
    const auto picture = (home.path() / "picture.png").string();
    ASSERT_TRUE(test::TestMovies::makeImage(picture, 64, 64));
    const auto out = (home.path() / "warped.png").string();
    const auto warp = run({(bin / "lumenarc-warp").string(), "--mesh",
                           (share / "meshes/dome-fisheye.data").string(), "--image", picture,
                           "--out", out, "--size", "64x64"});
    EXPECT_EQ(warp.exitCode, 0) << warp.err;
    EXPECT_EQ(pngSize(out), std::make_pair(64, 64));
    const auto render = run({(bin / "lumenarc-render").string(), "--help"});
    EXPECT_EQ(render.exitCode, 0) << render.err;
    EXPECT_NE(render.out.find("--codec"), std::string::npos) << render.out;
}

// The installed player finds its resources in the installed tree, as it does in the build tree.
TEST_F(Install, TheInstalledPlayerPlaysFromItsOwnTree) {
    test::AppSession app;
    ASSERT_TRUE(app.ok());
    const auto movie = (app.home().path() / "show.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(
        movie, {.seconds = 10, .width = 320, .height = 320, .audio = false}));
    app.start({movie}, (root() / "bin/lumenarc").string());
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    // The first log line names the default.data beside the tree the player runs from.
    EXPECT_NE(app.process().errors().find(root().string() + "/share/lumenarc/"), std::string::npos)
        << app.process().errors();
    EXPECT_TRUE(app.x().waitForWindow("^File error$", 1s).empty());
    const auto area = app.viewArea();
    const auto lit = [&](const std::vector<uint8_t>& p) {
        const size_t at = (static_cast<size_t>(area.height / 2) * area.width + area.width / 2) * 3;
        return at + 2 < p.size() && p[at] + p[at + 1] + p[at + 2] > 60;
    };
    EXPECT_TRUE(lit(app.waitForView(area, lit))) << "no picture through the installed mesh";
}

TEST(Package, TheDebianPackageHoldsTheInstallAndNamesItsDependencies) {
    test::TempDir out;
    const auto made =
        run({LUMENARC_CPACK, "-G", "DEB", "--config",
             std::string(LUMENARC_BUILD_DIR) + "/CPackConfig.cmake", "-B", out.path().string()});
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out.path())) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    ASSERT_FALSE(deb.empty()) << made.out;
    const auto field = [&](const char* name) {
        auto value = run({"/usr/bin/dpkg-deb", "-f", deb.string(), name}).out;
        while (!value.empty() && value.back() == '\n') {
            value.pop_back();
        }
        return value;
    };
    EXPECT_EQ(field("Package"), "lumenarc");
    EXPECT_EQ(field("Version"), LUMENARC_VERSION);
    const std::string depends = field("Depends");
    for (const char* dependency : {"libmpv2", "libqt6widgets6", "libqt6dbus6", "liblo7", "libtiff6",
                                   "libplist3", "libegl1", "libavcodec59", "qt6-qpa-plugins",
                                   "fonts-urw-base35"}) {
        EXPECT_NE(depends.find(dependency), std::string::npos) << dependency << " in " << depends;
    }
    const std::string contents = run({"/usr/bin/dpkg-deb", "-c", deb.string()}).out;
    for (const char* file :
         {"./usr/bin/lumenarc\n", "./usr/bin/lumenarc-mesh\n", "./usr/bin/lumenarc-prefs\n",
          "./usr/bin/lumenarc-warp\n", "./usr/bin/lumenarc-render\n",
          "./usr/share/lumenarc/rect.data\n", "./usr/share/man/man1/lumenarc-render.1\n",
          "./usr/share/applications/lumenarc.desktop\n",
          "./usr/share/icons/hicolor/scalable/apps/lumenarc.svg\n",
          "./usr/share/man/man1/lumenarc.1\n", "./usr/share/doc/lumenarc/copyright\n"}) {
        EXPECT_NE(contents.find(file), std::string::npos) << file;
    }
    // Unpacked, it is the same tree, and its (stripped) programs run.
    test::TempDir unpacked;
    ASSERT_EQ(run({"/usr/bin/dpkg-deb", "-x", deb.string(), unpacked.path().string()}).exitCode, 0);
    expectInstalledTree(unpacked.path() / "usr");
    const auto version =
        run({(unpacked.path() / "usr/bin/lumenarc").string(), "--version"}, {{"DISPLAY", ""}});
    EXPECT_EQ(version.exitCode, 0) << version.err;
}

} // namespace
} // namespace lumenarc
