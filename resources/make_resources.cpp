// Makes Lumenarc's resource files. Every resource is generated here so that it can be remade.
// Usage: lumenarc-make-resources OUTPUT_FOLDER

#include "resources/ImageResources.h"
#include "resources/MeshWriter.h"
#include "resources/SampleMeshes.h"

#include <clocale>
#include <cstdio>
#include <string>

using lumenarc::MeshVertex;
using lumenarc::resources::ImageResources;
using lumenarc::resources::writeMesh;

namespace {

// The built-in mesh: planar, undistorted, fine enough that its lines read as a grid.
bool makeRect(const std::string& folder) {
    return writeMesh(folder + "/rect.data", 1, 17, 17, [](int32_t, int32_t, double s, double t) {
        return MeshVertex{2.0 * s - 1.0, 2.0 * t - 1.0, s, t, 1.0};
    });
}

// The calibration grid's cell and the overlay band.
bool makeImages(const std::string& folder) {
    return ImageResources::writeRgbaTiff(folder + "/Grid.tif", ImageResources::grid()) &&
           ImageResources::writeRgbaTiff(folder + "/Overlay.tif", ImageResources::overlay());
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumenarc-make-resources OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!makeRect(folder) || !makeImages(folder) ||
        !lumenarc::resources::SampleMeshes::write(folder + "/meshes")) {
        std::fprintf(stderr, "lumenarc-make-resources: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
