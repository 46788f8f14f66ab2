#pragma once

#include <string>

namespace lumenarc::resources {

// Sample distortion matrices, one for each kind of projection, written into a folder:
// dome-fisheye.data, cylinder.data, sphere.data, cube.data and stereo-side-by-side.data.
class SampleMeshes {
public:
    static bool write(const std::string& folder);
};

} // namespace lumenarc::resources
