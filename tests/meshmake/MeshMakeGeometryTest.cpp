#include "mesh/DistortionMatrix.h"
#include "meshmake/DomeMaster.h"
#include "meshmake/DomeMeshMaker.h"
#include "meshmake/EdgeFeather.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace lumenarc::meshmake {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kEps = 1e-12;

void expectNear(const Vec3& a, const Vec3& b, double eps = kEps) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(DomeMaster, PolesAndEdgesOfTheMaster) {
    const DomeMaster flat(180, 0);
    const auto zenith = flat.map({0, 0, 2.5});
    ASSERT_TRUE(zenith);
    EXPECT_NEAR(zenith->u, 0.5, kEps);
    EXPECT_NEAR(zenith->v, 0.5, kEps);
    // On the spring line: front at the bottom edge, back at the top, right at the right.
    const struct {
        Vec3 d;
        double u, v;
    } edges[] = {
        {{0, 1, 0}, 0.5, 0}, {{0, -1, 0}, 0.5, 1}, {{1, 0, 0}, 1, 0.5}, {{-1, 0, 0}, 0, 0.5}};
    for (const auto& e : edges) {
        const auto p = flat.map(e.d);
        ASSERT_TRUE(p);
        EXPECT_NEAR(p->u, e.u, kEps);
        EXPECT_NEAR(p->v, e.v, kEps);
    }
    EXPECT_FALSE(flat.map({0, 1, -1e-9})); // just below the spring line
    // 45 degrees up towards the back right: half way out, on the diagonal.
    const auto diagonal = flat.map({-1, -1, std::sqrt(2.0)});
    ASSERT_TRUE(diagonal);
    EXPECT_NEAR(diagonal->u, 0.5 - 0.25 / std::sqrt(2.0), kEps);
    EXPECT_NEAR(diagonal->v, 0.5 + 0.25 / std::sqrt(2.0), kEps);
}

TEST(DomeMaster, TiltAndWideAperture) {
    // Tilted 30 degrees to the front: its centre looks there, and the zenith lies 30 degrees
    // from it towards the back (up the picture).
    const DomeMaster tilted(180, 30);
    const auto centre = tilted.map({0, std::sin(kPi / 6), std::cos(kPi / 6)});
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->u, 0.5, kEps);
    EXPECT_NEAR(centre->v, 0.5, kEps);
    const auto zenith = tilted.map({0, 0, 1});
    ASSERT_TRUE(zenith);
    EXPECT_NEAR(zenith->u, 0.5, kEps);
    EXPECT_NEAR(zenith->v, 0.5 + 0.5 * 30.0 / 90.0, kEps);
    // 59 degrees below the front horizon is 119 degrees from that centre: beyond a 180 degree
    // master, just inside a 240 degree one; 61 degrees below is outside both.
    auto below = [](double degrees) {
        return Vec3{0, std::cos(degrees * kPi / 180), -std::sin(degrees * kPi / 180)};
    };
    EXPECT_FALSE(tilted.map(below(59)));
    const DomeMaster wide(240, 30);
    const auto edge = wide.map(below(59));
    ASSERT_TRUE(edge);
    EXPECT_NEAR(edge->u, 0.5, kEps);
    EXPECT_NEAR(edge->v, 0.5 - 0.5 * 119.0 / 120.0, 1e-12);
    EXPECT_FALSE(wide.map(below(61)));
    // The far pole of a full sphere lies at the master's edge; the model puts it in the centre.
    const auto nadir = DomeMaster(360, 0).map({0, 0, -1});
    ASSERT_TRUE(nadir);
    EXPECT_NEAR(nadir->u, 0.5, kEps);
    EXPECT_NEAR(nadir->v, 0.5, kEps);
}

TEST(Projector, FlatAndFisheyeRaysByHand) {
    // At the centre, looking at the front horizon: right is +x, up is +z. Throw 0.25 and
    // aspect 2 make k = 1 / (2 * 0.25 * 2) = 1, so node (x, y) shoots (x, 1, y + offset).
    Projector::Settings s;
    s.position = {0, 0, 0};
    s.aim = {0, 3, 0};
    s.aspect = 2;
    s.throwRatio = 0.25;
    s.offset = 1;
    const Projector flat(s);
    expectNear(flat.right(), {1, 0, 0});
    expectNear(flat.up(), {0, 0, 1});
    expectNear(*flat.ray(1, -1), Vec3{1, 1, 0} * (1 / std::sqrt(2.0)));
    expectNear(*flat.ray(-2, 1), Vec3{-2, 1, 2} * (1.0 / 3.0));

    s.lens = Projector::Lens::Fisheye;
    s.lensApertureDegrees = 180;
    const Projector fisheye(s);
    expectNear(*fisheye.ray(0, 0), {0, 1, 0});
    expectNear(*fisheye.ray(0, 1), {0, 0, 1}); // the circle's top: 90 degrees up
    expectNear(*fisheye.ray(-0.5, 0), Vec3{-1, 1, 0} * (1 / std::sqrt(2.0))); // 45 degrees left
    EXPECT_FALSE(fisheye.ray(0.8, 0.61));                                     // outside the circle

    // Aimed down at the floor from a height, towards the back: right is then -x.
    s.position = {0, 1, 1};
    s.aim = {0, 0, 0};
    const Projector down(s);
    expectNear(down.forward(), Vec3{0, -1, -1} * (1 / std::sqrt(2.0)));
    expectNear(down.right(), {-1, 0, 0});
    expectNear(down.up(), Vec3{0, -1, 1} * (1 / std::sqrt(2.0)));
}

DomeMeshMaker::Settings roomAtCentre() {
    DomeMeshMaker::Settings s;
    s.domeRadius = 2;
    s.projector.position = {0, 0, 0};
    s.projector.aim = {0, 1, 0};
    s.projector.aspect = 2;
    s.projector.throwRatio = 0.25;
    s.columns = 5; // x = -2, -1, 0, 1, 2
    s.rows = 3;    // y = -1, 0, 1
    return s;
}

TEST(DomeMeshMaker, DirectLightLandsOnTheDomeAndTheMaster) {
    // From the centre each ray meets the dome at R times its direction.
    const DomeMeshMaker maker(roomAtCentre());
    expectNear(*maker.domePoint(1, 0.5), Vec3{1, 1, 0.5} * (2.0 / 1.5));
    const auto grid = maker.make();
    ASSERT_EQ(grid.width(), 5);
    ASSERT_EQ(grid.height(), 3);
    // Node (1, 0) looks 45 degrees to the right on the horizon: the master's edge.
    const auto& right = grid.at(3, 1);
    EXPECT_NEAR(right.x, 1, kEps);
    EXPECT_NEAR(right.y, 0, kEps);
    EXPECT_NEAR(right.u, 0.5 + 0.5 * std::cos(kPi / 4), kEps);
    EXPECT_NEAR(right.v, 0.5 - 0.5 * std::sin(kPi / 4), kEps);
    EXPECT_EQ(right.i, 1);
    // Node (0, 1) looks 45 degrees up at the front: half way out, below the centre.
    const auto& up = grid.at(2, 2);
    EXPECT_NEAR(up.u, 0.5, kEps);
    EXPECT_NEAR(up.v, 0.25, kEps);
    // The bottom row looks below the spring line: dark, with finite coordinates.
    const auto& low = grid.at(0, 0);
    EXPECT_EQ(low.i, 0);
    EXPECT_EQ(low.u, 0);
    EXPECT_EQ(low.v, 0);

    // From off the centre the far intersection: from (0, -1, 0) along (0.5, 1, 0.25), with
    // |P + t w|^2 = 4, i.e. 1.3125 t^2 - 2 t - 3 = 0.
    auto s = roomAtCentre();
    s.projector.position = {0, -1, 0};
    s.projector.throwRatio = 1;
    s.projector.aim = {0, 5, 0};
    const double t = (2 + std::sqrt(4 + 4 * 1.3125 * 3)) / (2 * 1.3125);
    expectNear(*DomeMeshMaker(s).domePoint(2, 1), Vec3{0.5 * t, t - 1, 0.25 * t}, 1e-12);
}

TEST(DomeMeshMaker, MirrorReflectsByHand) {
    // A level ray meets the mirror where its normal leans 45 degrees back and up, and leaves
    // straight up. Mirror: centre (0, 1, 0), radius 0.4 sqrt 2; the ray at height 0.4 meets
    // it at H = (0, 0.6, 0.4), the normal there is (0, -1, 1) / sqrt 2.
    auto s = roomAtCentre();
    s.projector.position = {0, 0, 0.4};
    s.projector.aim = {0, 1, 0.4};
    s.mirror = DomeRoom::Mirror{{0, 1, 0}, 0.4 * std::sqrt(2.0)};
    const DomeMeshMaker maker(s);
    const Vec3 top{0, 0.6, std::sqrt(4 - 0.36)};
    expectNear(*maker.domePoint(0, 0), top, 1e-12);
    const auto grid = maker.make();
    const auto& centre = grid.at(2, 1);
    const double theta = std::acos(top.z / 2);
    EXPECT_NEAR(centre.u, 0.5, kEps);
    EXPECT_NEAR(centre.v, 0.5 - 0.5 * theta / (kPi / 2), 1e-12);
    EXPECT_EQ(centre.i, 1);

    // Aimed at the mirror's centre, the central ray comes straight back through the projector
    // and on to the back of the dome: the master's top edge.
    s.projector.position = {0, 0, 0};
    s.projector.aim = {0, 1, 0};
    s.mirror = DomeRoom::Mirror{{0, 1, 0}, 0.5};
    expectNear(*DomeMeshMaker(s).domePoint(0, 0), {0, -2, 0}, 1e-12);
    // A ray that passes beside the mirror gives no light.
    EXPECT_FALSE(DomeMeshMaker(s).domePoint(2, 0));
    // Nor does a mirror point outside the dome.
    s.mirror = DomeRoom::Mirror{{0, 2.6, 0}, 0.5};
    EXPECT_FALSE(DomeMeshMaker(s).domePoint(0, 0));
}

TEST(DomeMeshMaker, EvenLightFollowsTheFisheyeSolidAngle) {
    // An equidistant fisheye at the dome's centre: a ring at alpha = rho L / 2 from the lens
    // axis covers dome area R^2 sin(alpha) dalpha dphi for picture area rho drho dphi, so the
    // area per picture area goes as sin(alpha) / alpha, largest on the axis. With gamma 1 the
    // brightness is that share itself.
    auto s = roomAtCentre();
    s.projector.aim = {0, 0, 1};
    s.projector.aspect = 1; // x = -1, -0.5, 0, 0.5, 1
    s.projector.lens = Projector::Lens::Fisheye;
    s.evenLight = true;
    s.gamma = 1;
    const auto grid = DomeMeshMaker(s).make();
    EXPECT_NEAR(grid.at(2, 1).i, 1, 1e-6);
    const double a45 = kPi / 4, a90 = kPi / 2;
    EXPECT_NEAR(grid.at(3, 1).i, std::sin(a45) / a45, 1e-6);
    EXPECT_NEAR(grid.at(2, 2).i, std::sin(a90) / a90, 1e-4); // on the circle: one-sided
    EXPECT_EQ(grid.at(4, 2).i, 0);                           // outside it
    // Made in light: with gamma 2 the brightness is the square root of the share.
    s.gamma = 2;
    EXPECT_NEAR(DomeMeshMaker(s).make().at(3, 1).i, std::sqrt(std::sin(a45) / a45), 1e-6);
}

TEST(MeshGrid, WrittenFileReadsBackWithinOneMillionth) {
    auto s = roomAtCentre();
    s.columns = 33;
    s.rows = 17;
    s.feather = 0.5;
    s.evenLight = true;
    auto grid = DomeMeshMaker(s).make();
    // Tiny values must not be written with exponents the reader splits.
    grid.at(0, 0) = MeshVertex{-3.2e-7, 4e-12, 1.5e-9, -2e-8, 1e-30};
    test::TempDir dir;
    const auto path = (dir.path() / "made.data").string();
    {
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
        ASSERT_TRUE(grid.write(file.get()));
    }
    const auto read = DistortionMatrix::initFromFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->projectionType(), 2);
    ASSERT_EQ(read->width(), 33);
    ASSERT_EQ(read->height(), 17);
    for (size_t k = 0; k < grid.nodes().size(); ++k) {
        const auto& a = grid.nodes()[k];
        const auto& b = read->vertices()[k];
        for (auto [x, y] : {std::pair{a.x, b.x}, {a.y, b.y}, {a.u, b.u}, {a.v, b.v}, {a.i, b.i}}) {
            ASSERT_NEAR(x, y, 1e-6) << "node " << k;
        }
    }
}

TEST(EdgeFeather, DistancesAreEuclideanToTheNearestDarkNodeOrBorder) {
    // A 7 x 5 grid spaced 1 across and 2 up, dark only at column 1 of row 2.
    std::vector<bool> lit(35, true);
    lit[2 * 7 + 1] = false;
    const auto d = EdgeFeather::distanceToUnlit(lit, 7, 5, 1.0, 2.0);
    EXPECT_DOUBLE_EQ(d[2 * 7 + 1], 0);
    EXPECT_DOUBLE_EQ(d[2 * 7 + 0], 1);              // the dark node, or the border beside it
    EXPECT_DOUBLE_EQ(d[2 * 7 + 3], 2);              // two across from the dark node
    EXPECT_DOUBLE_EQ(d[3 * 7 + 2], std::sqrt(5.0)); // one across and one up (2 units)
    EXPECT_DOUBLE_EQ(d[2 * 7 + 5], 2);              // two across from the border on the right
    EXPECT_DOUBLE_EQ(d[0 * 7 + 3], 2);              // one row (2 units) above the border below
    EXPECT_DOUBLE_EQ(EdgeFeather::share(0.25, 0.5), 0.5);
    EXPECT_DOUBLE_EQ(EdgeFeather::share(3, 0.5), 1);
}

} // namespace
} // namespace lumenarc::meshmake
