#pragma once

#include "mesh/DistortionMatrix.h"
#include "render/FrameRenderer.h"
#include "render/FrameTexture.h"
#include "warp/WarpOptions.h"

#include <cstdint>
#include <memory>
#include <string>

namespace lumenarc {

// Draws pictures through a mesh into the current GL context exactly as the player draws a
// movie frame: the same GL set-up, the same drawing core, the same resources. The picture
// becomes the frame texture, a 2D texture with its bottom row at t = 0. Shared by the
// still-picture tool and the movie tool, so that frame k of a rendered movie and the still
// of frame k are the same pixels.
class MeshWarper {
public:
    static constexpr const char* kInvalidMesh =
        "Sorry, this does not appear to be a valid data file\n";

    // The mesh of the options, with their projection type, rotation and pan applied; nullptr
    // when the file is not a valid mesh.
    static std::unique_ptr<DistortionMatrix> loadMesh(const WarpOptions& options);
    // <directory of the executable>/../share/lumenarc
    static std::string resourcePath();

    // Needs a current GL context of the options' size; loads the grid and overlay textures.
    MeshWarper(std::unique_ptr<DistortionMatrix> mesh, const WarpOptions& options);
    ~MeshWarper();
    MeshWarper(const MeshWarper&) = delete;
    MeshWarper& operator=(const MeshWarper&) = delete;

    // Draws one picture of width x height RGBA pixels, rows bottom first and `stride` bytes
    // apart (0: width x 4), into the current framebuffer. The pixels may be reused once this
    // returns.
    void draw(const uint8_t* rgbaBottomFirst, int width, int height, int stride = 0);

private:
    void upload(const uint8_t* rgbaBottomFirst, int width, int height, int stride);

    std::unique_ptr<DistortionMatrix> m_mesh;
    WarpOptions m_options;
    FrameRenderer m_renderer;
    FrameTexture m_frame;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    uint32_t m_gridTexture = 0;
    uint32_t m_overlayTexture = 0;
};

} // namespace lumenarc
