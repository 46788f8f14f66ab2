#pragma once

#include <string>

namespace lumenarc::resources {

// Sample distortion matrices, written into a folder: one for each kind of projection
// (dome-fisheye.data, cylinder.data, sphere.data, cube.data, stereo-side-by-side.data), a flat
// picture for a 16:9 view (flat-16x9.data), and a wall of two 16:9 projectors side by side whose
// overlap is blended (wall-2x1-blend.data).
class SampleMeshes {
public:
    static bool write(const std::string& folder);

    // The wall: the projectors overlap by this fraction of one projector's width.
    static constexpr double kBlendOverlap = 0.15;
    // The projectors' gamma: the light a pixel value v (0..1) gives is v to this power.
    static constexpr double kProjectorGamma = 2.2;
    // Mesh columns of one projector outside the overlap, and across it.
    static constexpr int kBlendPlainColumns = 16;
    static constexpr int kBlendRampColumns = 12;

    // The share of the light that the fading-in projector gives at k (0..1) across the overlap;
    // the other projector gives 1 minus it. Smooth at both ends, so no edge shows.
    static double blendShare(double k);
    // The node brightness that makes a projector of kProjectorGamma give `share` of its light.
    static double blendBrightness(double share);
    static bool wall2x1Blend(const std::string& path);
};

} // namespace lumenarc::resources
