#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

using test::binPath;
using test::runProcess;
using test::TempDir;

const std::string kInvalid = "Sorry, this does not appear to be a valid data file\n";

// A picture whose left half is red and right half green, top row first.
std::string writeHalves(const TempDir& dir) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            rgba.insert(rgba.end(), {uint8_t(x < 4 ? 255 : 0), uint8_t(x < 4 ? 0 : 255), 0, 255});
        }
    }
    const auto path = (dir.path() / "halves.png").string();
    EXPECT_TRUE(PngWriter::write(path, 8, 8, 4, rgba, PngWriter::RowOrder::TopFirst));
    return path;
}

struct Picture {
    ImageFile image;
    const uint8_t* at(uint32_t x, uint32_t y) const {
        return &image.pixels()[(y * image.width() + x) * 4];
    }
};

Picture warp(const TempDir& dir, std::vector<std::string> extra, const std::string& mesh,
             const std::string& size = "80x80") {
    const auto out = (dir.path() / "out.png").string();
    std::vector<std::string> argv{binPath("lumenarc-warp"),
                                  "--mesh",
                                  mesh,
                                  "--image",
                                  writeHalves(dir),
                                  "--out",
                                  out,
                                  "--size",
                                  size};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const auto result = runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    auto image = ImageFile::read(out);
    EXPECT_TRUE(image.has_value());
    return Picture{*image};
}

const std::string kRect = LUMENARC_SHARE_DIR "/rect.data";

TEST(WarpTool, DrawsThePictureThroughTheMeshAsAnOpaquePicture) {
    TempDir dir;
    const auto p = warp(dir, {"--no-overlay"}, kRect);
    ASSERT_EQ(p.image.width(), 80u);
    EXPECT_GT(p.at(20, 40)[0], 200); // left half red
    EXPECT_LT(p.at(20, 40)[1], 50);
    EXPECT_GT(p.at(60, 40)[1], 200); // right half green
    EXPECT_EQ(p.at(60, 40)[3], 255);
    // The overlay band tints the bottom of the square when it is on.
    const auto withOverlay = warp(dir, {}, kRect);
    EXPECT_NE(withOverlay.at(40, 72)[2], p.at(40, 72)[2]);
    // An 80x40 picture keeps the mesh square: the sides are black.
    const auto out = (dir.path() / "wide.png").string();
    ASSERT_EQ(runProcess({binPath("lumenarc-warp"), "--mesh", kRect, "--image", writeHalves(dir),
                          "--out", out, "--size", "80x40", "--no-overlay"})
                  .exitCode,
              0);
    const auto wide = ImageFile::read(out);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->pixels()[(20 * 80 + 5) * 4], 0);
}

TEST(WarpTool, TypeOverridePanAndRotationActLikeTheDrag) {
    TempDir dir;
    // Half a frame to the right: planar repeats its green edge, cylindrical wraps to red.
    const auto planar = warp(dir, {"--no-overlay", "--offset", "0.5,0"}, kRect);
    const auto cylinder = warp(dir, {"--no-overlay", "--offset", "0.5,0", "--type", "3"}, kRect);
    EXPECT_GT(planar.at(70, 40)[1], 200);
    EXPECT_GT(cylinder.at(70, 40)[0], 200);
    // A half turn swaps the halves.
    const auto turned = warp(dir, {"--no-overlay", "--rotate", "3.14159265"}, kRect);
    EXPECT_GT(turned.at(20, 40)[1], 200);
    EXPECT_GT(turned.at(60, 40)[0], 200);
}

TEST(WarpTool, GridAndLinesShowOverThePicture) {
    TempDir dir;
    const auto plain = warp(dir, {"--no-overlay"}, kRect, "400x400");
    const auto lines = warp(dir, {"--no-overlay", "--lines"}, kRect, "400x400");
    const auto grid = warp(dir, {"--no-overlay", "--grid"}, kRect, "400x400");
    int changedByLines = 0, changedByGrid = 0;
    for (uint32_t k = 0; k < 400 * 400 * 4; k += 4) {
        changedByLines += lines.image.pixels()[k + 2] != plain.image.pixels()[k + 2] ? 1 : 0;
        changedByGrid += grid.image.pixels()[k + 2] != plain.image.pixels()[k + 2] ? 1 : 0;
    }
    EXPECT_GT(changedByLines, 16 * 400); // 17 lines each way, a pixel wide
    EXPECT_GT(changedByGrid, 20 * 400);  // 20 lines each way
}

// A mesh without nodes, however large the size it claims, gives a black picture.
TEST(WarpTool, MeshesWithoutNodesGiveABlackPicture) {
    TempDir dir;
    for (const char* text : {"1 -2147483648 2\n", "1 2 -2147483648\n", "12 -2147483648 2\n"}) {
        SCOPED_TRACE(text);
        const auto p = warp(dir, {"--no-overlay", "--grid", "--lines"},
                            dir.write("empty.data", text), "40x30");
        ASSERT_EQ(p.image.width(), 40u);
        ASSERT_EQ(p.image.height(), 30u);
        size_t lit = 0;
        for (size_t k = 0; k < p.image.pixels().size(); k += 4) {
            lit += p.image.pixels()[k] + p.image.pixels()[k + 1] + p.image.pixels()[k + 2];
        }
        EXPECT_EQ(lit, 0u);
    }
}

TEST(WarpTool, ErrorsAreClearAndExitCodesDistinct) {
    TempDir dir;
    const auto out = (dir.path() / "o.png").string();
    const auto image = writeHalves(dir);
    const auto bad = dir.write("bad.data", "1 4 4 0 0");
    auto result =
        runProcess({binPath("lumenarc-warp"), "--mesh", bad, "--image", image, "--out", out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, kInvalid + bad + ": too short: 0 nodes found of 16 expected\n");
    result = runProcess({binPath("lumenarc-warp"), "--mesh", kRect, "--image",
                         dir.write("not.png", "this is text"), "--out", out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot read the picture"), std::string::npos) << result.err;
    result = runProcess({binPath("lumenarc-warp"), "--mesh", kRect, "--image", image, "--out",
                         (dir.path() / "no/such/folder/o.png").string()});
    EXPECT_EQ(result.exitCode, 1);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--mesh", kRect},
             {"--mesh", kRect, "--image", image, "--out", out, "--size", "0x10"},
             {"--mesh", kRect, "--image", image, "--out", out, "--size", "99999x10"},
             {"--mesh", kRect, "--image", image, "--out", out, "--rotate", "x"},
             {"--mesh", kRect, "--image", image, "--out", out, "--type", "1.5"},
             {"--mesh", kRect, "--image", image, "--out", out, "--bogus"}}) {
        std::vector<std::string> argv{binPath("lumenarc-warp")};
        argv.insert(argv.end(), args.begin(), args.end());
        result = runProcess(argv);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("Usage"), std::string::npos);
    }
}

// Values that are not numbers, or far out of any use, are named with the range they may take.
TEST(WarpTool, NonFiniteAndOutOfRangeValuesAreRefused) {
    TempDir dir;
    const auto out = (dir.path() / "o.png").string();
    const auto image = writeHalves(dir);
    const std::string rotate = "lumenarc-warp: --rotate takes a number of radians from -100 to 100";
    const std::string offset = "lumenarc-warp: --offset takes two numbers DU,DV, each from -100 "
                               "to 100";
    const std::string type = "lumenarc-warp: --type takes a projection code: 1 to 5, or 11 to 15";
    for (const auto& [option, value, message] :
         std::vector<std::tuple<const char*, const char*, std::string>>{
             {"--rotate", "nan", rotate},
             {"--rotate", "-inf", rotate},
             {"--rotate", "1e39", rotate},
             {"--rotate", "100.5", rotate},
             {"--offset", "1e39,0", offset},
             {"--offset", "0,nan", offset},
             {"--offset", "-101,0", offset},
             {"--type", "99", type},
             {"--type", "-1", type},
             {"--type", "0", type},
             {"--type", "6", type}}) {
        const auto result = runProcess({binPath("lumenarc-warp"), "--mesh", kRect, "--image", image,
                                        "--out", out, option, value});
        EXPECT_EQ(result.exitCode, 2) << option << " " << value;
        EXPECT_EQ(result.err.rfind(message, 0), 0u) << option << " " << value << ": " << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    // The ends of the ranges are taken.
    warp(dir, {"--rotate", "-100", "--offset", "100,-100", "--type", "15"}, kRect);
}

// A write that fails leaves an earlier OUT as it was, and nothing beside it.
TEST(WarpTool, AFailedWriteKeepsTheEarlierPicture) {
    TempDir dir;
    const auto out = (dir.path() / "out.png").string();
    const auto before = warp(dir, {"--grid"}, kRect, "400x400");
    const auto earlier = test::readFile(out);
    ASSERT_GT(earlier.size(), 4096u);
    // Files may grow to 1 KiB at most: the picture's write fails part way (EFBIG).
    const auto result = runProcess(
        {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2; exec \"$@\"", "sh", binPath("lumenarc-warp"),
         "--mesh", kRect, "--image", (dir.path() / "halves.png").string(), "--out", out, "--size",
         "400x400", "--lines"},
        test::ProcessOptions{
            {{"MESA_SHADER_CACHE_DISABLE", "true"}}, {}, std::chrono::seconds(60)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "lumenarc-warp: cannot write " + out + ": File too large\n");
    EXPECT_TRUE(test::readFile(out) == earlier) << "the earlier picture is kept";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2)
        << "only halves.png and out.png";
}

// OUT that is not a regular file is never written over or removed: a link to /dev/full, which
// the picture would fill, and (as root) a device node of the same kind.
TEST(WarpTool, AnOutThatIsNoRegularFileIsRefusedAndKept) {
    TempDir dir;
    const auto image = writeHalves(dir);
    const auto link = dir.path() / "full.png";
    std::filesystem::create_symlink("/dev/full", link);
    std::vector<std::filesystem::path> outs{link};
    // Where root may make device nodes (not in every container).
    const auto device = dir.path() / "device.png";
    if (geteuid() == 0 && mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        outs.push_back(device);
    }
    for (const auto& out : outs) {
        const auto result = runProcess({binPath("lumenarc-warp"), "--mesh", kRect, "--image", image,
                                        "--out", out.string(), "--size", "64x64"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err,
                  "lumenarc-warp: cannot write " + out.string() + ": it is not a regular file\n");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    if (outs.size() > 1) {
        EXPECT_TRUE(std::filesystem::is_character_file(outs.back()));
    }
}

} // namespace
} // namespace lumenarc
