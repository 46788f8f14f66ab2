#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "mesh/DistortionMatrix.h"
#include "meshmake/DomeMeshMaker.h"
#include "meshmake/WallMeshMaker.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using test::binPath;
using test::runProcess;
using test::TempDir;

test::ProcessResult make(std::vector<std::string> args) {
    args.insert(args.begin(), {binPath("lumenarc-mesh"), "make"});
    return runProcess(args);
}

std::string writeWhite(const TempDir& dir) {
    const std::vector<uint8_t> rgba(16 * 16 * 4, 255);
    const auto path = (dir.path() / "white.png").string();
    EXPECT_TRUE(PngWriter::write(path, 16, 16, 4, rgba, PngWriter::RowOrder::TopFirst));
    return path;
}

struct Wall {
    int across, down;
    double overlap, gamma;
    int pictureWidth, pictureHeight; // pixels per projector
};

// A flat white movie drawn through a made wall mesh, every projector's pixels turned back into
// light (value^gamma) and added up where they show the same point of the movie. The pixel
// sizes are chosen so that (1 - F) of a picture is a whole number of pixels: then a pixel of
// one projector and a pixel of its neighbour show exactly the same point of the movie, and
// they are the pixels whose light must add up. Returns the largest deviation from one
// projector's light over the whole movie.
double worstLightSum(const Wall& w) {
    TempDir dir;
    const auto mesh = (dir.path() / "wall.data").string();
    char number[32];
    std::vector<std::string> args{"wall",
                                  "--out",
                                  mesh,
                                  "--across",
                                  std::to_string(w.across),
                                  "--down",
                                  std::to_string(w.down)};
    std::snprintf(number, sizeof number, "%g", w.overlap);
    args.insert(args.end(), {"--overlap", number});
    std::snprintf(number, sizeof number, "%g", w.gamma);
    args.insert(args.end(), {"--gamma", number});
    const auto made = make(args);
    EXPECT_EQ(made.exitCode, 0) << made.err;

    const int width = w.across * w.pictureWidth, height = w.down * w.pictureHeight;
    const auto out = (dir.path() / "wall.png").string();
    const auto drawn = runProcess(
        {binPath("lumenarc-warp"), "--mesh", mesh, "--image", writeWhite(dir), "--out", out,
         "--size", std::to_string(width) + "x" + std::to_string(height), "--no-overlay"});
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
    const auto picture = ImageFile::read(out);
    if (!picture) {
        ADD_FAILURE() << "no picture";
        return 1;
    }
    // Pixels a projector moves on to reach its neighbour's view of the same movie point.
    const int stepX = static_cast<int>(std::lround((1 - w.overlap) * w.pictureWidth));
    const int stepY = static_cast<int>(std::lround((1 - w.overlap) * w.pictureHeight));
    EXPECT_NEAR(stepX, (1 - w.overlap) * w.pictureWidth, 1e-9);
    EXPECT_NEAR(stepY, (1 - w.overlap) * w.pictureHeight, 1e-9);
    const int movieWidth = (w.across - 1) * stepX + w.pictureWidth;
    const int movieHeight = (w.down - 1) * stepY + w.pictureHeight;
    std::vector<double> light(static_cast<size_t>(movieWidth) * movieHeight, 0.0);
    for (int row = 0; row < height; ++row) {
        const int up = height - 1 - row; // pictures and v count from the bottom
        const int movieRow = (up / w.pictureHeight) * stepY + up % w.pictureHeight;
        for (int column = 0; column < width; ++column) {
            const int movieColumn = (column / w.pictureWidth) * stepX + column % w.pictureWidth;
            const uint8_t* p = &picture->pixels()[(static_cast<size_t>(row) * width + column) * 4];
            light[static_cast<size_t>(movieRow) * movieWidth + movieColumn] +=
                std::pow(p[0] / 255.0, w.gamma);
        }
    }
    double worst = 0;
    for (const double sum : light) {
        worst = std::max(worst, std::fabs(sum - 1.0));
    }
    return worst;
}

TEST(MeshMakeTool, WallLightAddsUpToOneProjectorOnDrawnPixels) {
    // Two by two at 15 %: columns, rows and the corner where four pictures meet.
    const double square = worstLightSum({2, 2, 0.15, 2.2, 640, 360});
    // Three across at 25 % for projectors of gamma 1.8.
    const double row = worstLightSum({3, 1, 0.25, 1.8, 640, 360});
    std::printf("largest deviation of the summed light: 2 x 2 %.4f, 3 x 1 %.4f\n", square, row);
    EXPECT_LT(square, 0.02);
    EXPECT_LT(row, 0.02);
}

TEST(MeshMakeTool, MadeMirrorMeshIsReadByThePlayerAndInfoCountsItsLitNodes) {
    TempDir dir;
    const auto mesh = (dir.path() / "mirror.data").string();
    const auto made =
        make({"mirror", "--out", mesh, "--dome-radius", "2.5", "--projector", "-1.2,0.4", "--aim",
              "-2.05,0.2", "--mirror", "-2.05,0.2", "--cols", "41", "--rows", "23"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto read = DistortionMatrix::initFromFile(mesh);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->projectionType(), 2);
    EXPECT_EQ(read->width(), 41);
    EXPECT_EQ(read->height(), 23);
    const auto lit = std::count_if(read->vertices().begin(), read->vertices().end(),
                                   [](const MeshVertex& n) { return n.i > 0; });
    EXPECT_GT(lit, 0);
    EXPECT_LT(lit, 41 * 23);
    const auto info = runProcess({binPath("lumenarc-mesh"), "info", mesh});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    char expected[96];
    std::snprintf(expected, sizeof expected, "lit        %ld of 943 nodes (%.1f %%)\n",
                  static_cast<long>(lit), 100.0 * static_cast<double>(lit) / 943);
    EXPECT_NE(info.out.find(expected), std::string::npos) << info.out;
}

// The file written for `args` holds the nodes of `expected`, within the file's precision.
void expectFileHolds(std::vector<std::string> args, const meshmake::MeshGrid& expected) {
    TempDir dir;
    const auto path = (dir.path() / "made.data").string();
    args.insert(args.begin() + 1, {"--out", path});
    const auto made = make(args);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto read = DistortionMatrix::initFromFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->projectionType(), expected.type());
    ASSERT_EQ(read->width(), expected.width());
    ASSERT_EQ(read->height(), expected.height());
    for (size_t k = 0; k < expected.nodes().size(); ++k) {
        const auto& a = expected.nodes()[k];
        const auto& b = read->vertices()[k];
        for (auto [x, y] : {std::pair{a.x, b.x}, {a.y, b.y}, {a.u, b.u}, {a.v, b.v}, {a.i, b.i}}) {
            ASSERT_NEAR(x, y, 1e-6) << args[0] << " node " << k;
        }
    }
}

TEST(MeshMakeTool, EveryOptionReachesTheMesh) {
    meshmake::DomeMeshMaker::Settings s;
    s.domeRadius = 3;
    s.apertureDegrees = 200;
    s.tiltDegrees = 15;
    s.projector.position = {0, -1.5, 0.9};
    s.projector.aim = {0, -2.2, 0.1};
    s.projector.throwRatio = 1.8;
    s.projector.offset = 0.3;
    s.projector.aspect = 1.6;
    s.mirror = meshmake::DomeRoom::Mirror{{0, -2.2, 0.1}, 0.35};
    s.feather = 0.2;
    s.evenLight = true;
    s.gamma = 2;
    s.columns = 33;
    s.rows = 21;
    expectFileHolds({"mirror",   "--dome-radius",
                     "3",        "--aperture",
                     "200",      "--tilt",
                     "15",       "--projector",
                     "-1.5,0.9", "--aim",
                     "-2.2,0.1", "--lens",
                     "flat",     "--throw",
                     "1.8",      "--offset",
                     "0.3",      "--mirror",
                     "-2.2,0.1", "--mirror-radius",
                     "0.35",     "--feather",
                     "0.2",      "--even-light",
                     "--gamma",  "2",
                     "--aspect", "1.6",
                     "--cols",   "33",
                     "--rows",   "21"},
                    meshmake::DomeMeshMaker(s).make());
    s.mirror.reset();
    s.projector.position = {0, 0.5, 0.2};
    s.projector.aim = {0, 1, 2};
    s.projector.lens = meshmake::Projector::Lens::Fisheye;
    s.projector.lensApertureDegrees = 200;
    s.evenLight = false;
    expectFileHolds({"dome",    "--dome-radius",   "3",       "--aperture", "200", "--tilt",
                     "15",      "--projector",     "0.5,0.2", "--aim",      "1,2", "--lens",
                     "fisheye", "--lens-aperture", "200",     "--feather",  "0.2", "--gamma",
                     "2",       "--aspect",        "1.6",     "--cols",     "33",  "--rows",
                     "21"},
                    meshmake::DomeMeshMaker(s).make());
    const meshmake::WallMeshMaker wall({3, 2, 0.3, 1.8, 1.25, 5, 4});
    expectFileHolds({"wall", "--across", "3", "--down", "2", "--overlap", "0.3", "--gamma", "1.8",
                     "--aspect", "1.25", "--cols", "5", "--rows", "4"},
                    wall.make());
}

TEST(MeshMakeTool, BadValuesAreRefusedWithStatusTwoAndNothingWritten) {
    TempDir dir;
    const auto out = (dir.path() / "never.data").string();
    const std::vector<std::string> mirror{"mirror", "--out",  out,        "--projector", "-1,0.3",
                                          "--aim",  "-2,0.3", "--mirror", "-2,0.3"};
    const std::vector<std::string> wall{"wall", "--out", out, "--across", "2", "--overlap", "0.2"};
    auto with = [](std::vector<std::string> base, std::vector<std::string> extra) {
        base.insert(base.end(), extra.begin(), extra.end());
        return base;
    };
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {with(mirror, {"--dome-radius", "-2.5"}), "--dome-radius takes a radius in metres above 0"},
        {with(mirror, {"--mirror-radius", "0"}), "--mirror-radius takes"},
        {with(mirror, {"--projector", "0,2.5"}), "is not inside the dome"},
        {with(mirror, {"--projector", "-1.9,0.3"}), "contains the projector"},
        {with(mirror, {"--aim", "-1,0.3"}), "--aim must differ from --projector"},
        {with(mirror, {"--aspect", "0"}), "--aspect takes a ratio above 0"},
        {with(mirror, {"--throw", "nan"}), "--throw takes"},
        {with(mirror, {"--cols", "1"}), "--cols takes a whole number from 2 to 1024"},
        {with(mirror, {"--rows", "1025"}), "--rows takes a whole number from 2 to 1024"},
        {with(mirror, {"--lens", "wide"}), "--lens takes flat or fisheye"},
        {with(mirror, {"--across", "2"}), "--across is not an option of make mirror"},
        {with(mirror, {"--tilt"}), "--tilt needs a value"},
        {with(wall, {"--overlap", "0.51"}), "--overlap takes a share from 0 to 0.5"},
        {with(wall, {"--overlap", "-0.01"}), "--overlap takes a share from 0 to 0.5"},
        {with(wall, {"--aspect", "-1"}), "--aspect takes"},
        {with(wall, {"--mirror", "1,1"}), "--mirror is not an option of make wall"},
        {{"dome", "--out", out, "--projector", "0,0"}, "make dome needs --aim"},
        {{"wall", "--across", "2", "--overlap", "0.1"}, "make wall needs --out"},
        {{"room", "--out", out}, "unknown kind room"},
        {{}, "make needs a kind"},
    };
    for (const auto& c : cases) {
        const auto result = make(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
    }
    // The same values inside their limits are taken.
    const auto good = make(with(mirror, {"--dome-radius", "2.5", "--aspect", "1.6"}));
    EXPECT_EQ(good.exitCode, 0) << good.err;
    const auto help = make({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--dome-radius",   "--aperture", "--tilt",       "--projector",     "--aim",
          "--lens",          "--throw",    "--offset",     "--lens-aperture", "--mirror",
          "--mirror-radius", "--feather",  "--even-light", "--across",        "--down",
          "--overlap",       "--gamma",    "--aspect",     "--cols",          "--rows"}) {
        EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;
    }
}

} // namespace
} // namespace lumenarc
