#pragma once

#include <string>

namespace lumenarc::test {

// Planar meshes that show a 16:9 picture across most of a default-sized view, each bent and lit
// a little differently, as the projectors of one show are: a frame-number picture drawn through
// any of them stays readable.
class MildMeshes {
public:
    static constexpr int kCount = 3;
    // Mesh file text of variant 0 (straight, lit from left to right), 1 (corners drawn
    // outwards, lit from bottom to top) or 2 (wavy, darker towards its corners).
    static std::string text(int variant);
};

} // namespace lumenarc::test
