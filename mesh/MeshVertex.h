#pragma once

namespace lumenarc {

// One mesh node, five numbers in file order. A plain aggregate without default values, so that
// large meshes are stored without a zeroing pass: initialise it when you make one.
struct MeshVertex {
    double x; // position in mesh space (-1..1 before aspect scaling)
    double y;
    double u; // position in the frame: 0 left edge, 1 right edge
    double v; //                        0 lower edge, 1 upper edge
    double i; // brightness weight, nominally 0..1
};

} // namespace lumenarc
