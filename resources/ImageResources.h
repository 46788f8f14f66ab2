#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumenarc::resources {

// The view's two image resources, drawn here in code and written as 32-bit RGBA TIFF files
// with straight alpha.
class ImageResources {
public:
    struct Picture {
        uint32_t width = 0;
        uint32_t height = 0;
        std::vector<uint8_t> rgba; // rows top first
    };

    static constexpr uint32_t kGridSide = 16;
    static constexpr uint32_t kOverlayWidth = 512;
    static constexpr uint32_t kOverlayHeight = 64;

    // One cell of the calibration grid, which the view tiles 20 times across the picture.
    static Picture grid();
    // The band along the bottom of every frame, tinted (1, 0.5, 0.5) and half opaque there.
    static Picture overlay();
    static bool writeRgbaTiff(const std::string& path, const Picture& picture);
};

} // namespace lumenarc::resources
