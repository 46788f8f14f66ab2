#include "resources/SampleMeshes.h"

#include "resources/MeshWriter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

namespace lumenarc::resources {
namespace {

constexpr double kPi = std::numbers::pi;

// A smooth step from 1 inside `inner` to 0 at `outer`: projectors blend out towards an edge.
double falloff(double r, double inner, double outer) {
    if (r <= inner) {
        return 1.0;
    }
    if (r >= outer) {
        return 0.0;
    }
    const double k = (r - inner) / (outer - inner);
    return 1.0 - k * k * (3.0 - 2.0 * k);
}

// A dome master (a fisheye picture) for a projector on the dome's axis: the screen's disc maps
// to the picture's disc with a gentle radial correction, and the edge fades out.
bool domeFisheye(const std::string& path) {
    return writeMesh(path, 2, 33, 33, [](int32_t, int32_t, double s, double t) {
        const double x = 2 * s - 1, y = 2 * t - 1;
        const double r = std::hypot(x, y), a = std::atan2(y, x);
        const double picture = std::sin(std::min(r, 1.0) * kPi / 2 * 0.9) / std::sin(kPi / 2 * 0.9);
        return MeshVertex{x, y, 0.5 + 0.5 * picture * std::cos(a),
                          0.5 + 0.5 * picture * std::sin(a), falloff(r, 0.9, 1.0)};
    });
}

// A curved screen: the picture's columns follow the cylinder, its rows bow slightly.
bool cylinder(const std::string& path) {
    return writeMesh(path, 3, 33, 17, [](int32_t, int32_t, double s, double t) {
        const double x = 2 * s - 1, y = 2 * t - 1;
        const double bow = 0.06 * (1 - x * x);
        return MeshVertex{x, y * (0.75 + bow), s, t, falloff(std::abs(x), 0.92, 1.0)};
    });
}

// An equirectangular picture on a screen seen from inside a sphere.
bool sphere(const std::string& path) {
    return writeMesh(path, 4, 33, 33, [](int32_t, int32_t, double s, double t) {
        const double x = 2 * s - 1, y = 2 * t - 1;
        const double latitude = std::asin(std::clamp(y, -1.0, 1.0));
        return MeshVertex{x * std::cos(latitude * 0.5), y, s, 0.5 + latitude / kPi, 1.0};
    });
}

// One face of a cube map, the front face: the middle third of a 3 x 2 cube-map layout.
bool cube(const std::string& path) {
    return writeMesh(path, 5, 17, 17, [](int32_t, int32_t, double s, double t) {
        return MeshVertex{2 * s - 1, 2 * t - 1, (1.0 + s) / 3.0, 0.5 + t / 2.0, 1.0};
    });
}

// Two projectors side by side, one eye each: the left half of the columns shows the left half
// of the picture, the right half the right half, each a flat picture.
bool stereo(const std::string& path) {
    constexpr int32_t half = 17;
    return writeMesh(path, 11, 2 * half, 17, [](int32_t column, int32_t, double, double t) {
        const bool right = column >= half;
        const double s = static_cast<double>(column % half) / (half - 1);
        const double x = right ? s : s - 1.0;
        return MeshVertex{x, 2 * t - 1, (right ? 0.5 : 0.0) + 0.5 * s, t, 1.0};
    });
}

// A flat picture filling a 16:9 view edge to edge: the view's x spans its aspect, -16/9..16/9.
bool flat16x9(const std::string& path) {
    constexpr double aspect = 16.0 / 9.0;
    return writeMesh(path, 1, 33, 19, [](int32_t, int32_t, double s, double t) {
        return MeshVertex{aspect * (2 * s - 1), 2 * t - 1, s, t, 1.0};
    });
}

} // namespace

double SampleMeshes::blendShare(double k) {
    const double c = std::clamp(k, 0.0, 1.0);
    return c * c * (3.0 - 2.0 * c);
}

double SampleMeshes::blendBrightness(double share) {
    return std::pow(std::clamp(share, 0.0, 1.0), 1.0 / kProjectorGamma);
}

// Two 16:9 projectors side by side on one 32:9 view (x -32/9..32/9), each showing a little more
// than half of the picture: the strips they share overlap by kBlendOverlap of a projector's
// width. Across the overlap one projector fades out as the other fades in, so that their light
// adds up to that of one projector. Each projector has its own columns, the two at x = 0 meeting
// in a strip of no width, so the picture jumps back by the overlap there.
bool SampleMeshes::wall2x1Blend(const std::string& path) {
    constexpr double aspect = 16.0 / 9.0;
    // Each projector shows the fraction `share` of the picture's width: 2 share - overlap = 1.
    constexpr double share = 1.0 / (2.0 - kBlendOverlap);
    constexpr int32_t plain = kBlendPlainColumns, ramp = kBlendRampColumns;
    constexpr int32_t perProjector = plain + ramp + 1;
    return writeMesh(path, 1, 2 * perProjector, 9, [=](int32_t column, int32_t, double, double t) {
        const bool right = column >= perProjector;
        const int32_t k = right ? column - perProjector : column;
        // Position across the projector, 0..1; the ramp's columns are packed into the overlap.
        const int32_t fromOverlapEdge = right ? k : perProjector - 1 - k;
        const double inOverlap =
            fromOverlapEdge <= ramp ? static_cast<double>(fromOverlapEdge) / ramp : 1.0;
        const double across =
            fromOverlapEdge <= ramp
                ? kBlendOverlap * fromOverlapEdge / ramp
                : kBlendOverlap + (1.0 - kBlendOverlap) * (fromOverlapEdge - ramp) / plain;
        const double s = right ? across : 1.0 - across;
        const double x = aspect * (right ? s : s - 1.0) * 2.0;
        const double u = (right ? 1.0 - share : 0.0) + share * s;
        return MeshVertex{x, 2 * t - 1, u, t, blendBrightness(blendShare(inOverlap))};
    });
}

bool SampleMeshes::write(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return domeFisheye(folder + "/dome-fisheye.data") && cylinder(folder + "/cylinder.data") &&
           sphere(folder + "/sphere.data") && cube(folder + "/cube.data") &&
           stereo(folder + "/stereo-side-by-side.data") && flat16x9(folder + "/flat-16x9.data") &&
           wall2x1Blend(folder + "/wall-2x1-blend.data");
}

} // namespace lumenarc::resources
