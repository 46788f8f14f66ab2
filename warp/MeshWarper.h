#pragma once

#include "mesh/DistortionMatrix.h"
#include "render/FrameRenderer.h"
#include "render/FrameTexture.h"
#include "softwarp/PlaneWarper.h"
#include "softwarp/SoftWarper.h"
#include "warp/WarpOptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc {

// Draws pictures through a mesh exactly as the player draws a movie frame: the same GL set-up,
// the same drawing core, the same resources. The picture becomes the frame texture, a 2D
// texture with its bottom row at t = 0. Shared by the still-picture tool and the movie tool,
// so that frame k of a rendered movie and the still of frame k are the same pixels.
//
// The frame itself is warped on the processor through a warp map of the mesh (the GL
// drawing's pixels within two levels, and faster than a software rasteriser draws the
// triangles); the grid, the mesh lines and the overlay band are then drawn by GL over it.
// A mesh the map cannot draw (triangles overlapping on screen), or `glWarp`, or
// LUMENARC_WARP=gl in the environment, draws the frame's triangles in GL instead.
class MeshWarper {
public:
    static constexpr const char* kInvalidMesh =
        "Sorry, this does not appear to be a valid data file\n";

    // The mesh of the options, with their projection type, rotation and pan applied; nullptr
    // when the file is not a valid mesh, with the tools' message for it (the sentence, then
    // the file and why) in `error`.
    static std::unique_ptr<DistortionMatrix> loadMesh(const WarpOptions& options,
                                                      std::string* error);
    // <directory of the executable>/../share/lumenarc
    static std::string resourcePath();
    // Whether GL draws the frame: asked for by the options or by LUMENARC_WARP ("gl"; any
    // other value or none leaves the processor).
    static bool glAskedFor(const WarpOptions& options, const char* environment);

    // Needs a current GL context of the options' size; loads the grid and overlay textures.
    MeshWarper(std::unique_ptr<DistortionMatrix> mesh, const WarpOptions& options);
    ~MeshWarper();
    MeshWarper(const MeshWarper&) = delete;
    MeshWarper& operator=(const MeshWarper&) = delete;

    // True when a frame of this size is warped on the processor and nothing is drawn over it,
    // so that warpInto() makes the whole picture without GL.
    bool processorOnly(int frameWidth, int frameHeight);
    // Why the frame goes through GL although the processor was to warp it ("" when it does
    // not), for one line in the log.
    std::string fallbackReason() const { return m_fallback; }

    // Draws one picture of width x height RGBA pixels, rows bottom first and `stride` bytes
    // apart (0: width x 4). When processorOnly() holds, the picture is in picture(); else it
    // is in the current framebuffer. The pixels may be reused once this returns.
    void draw(const uint8_t* rgbaBottomFirst, int width, int height, int stride = 0);
    // The last picture draw() made without GL (rows bottom first, the view's width x 4 bytes
    // apart), or nullptr when it is in the framebuffer.
    const uint8_t* picture() const { return m_inMemory ? m_picture.data() : nullptr; }
    // Only when processorOnly(width, height): the picture straight into `out`.
    void warpInto(const uint8_t* rgbaBottomFirst, int width, int height, int stride, uint8_t* out,
                  int outStride);
    // True when processorOnly(width, height) holds and 8-bit YUV frames of this size and
    // chroma subsampling can be warped plane by plane by warpPlanesInto() into pictures of
    // the picture's subsampling.
    bool planesOnProcessor(int frameWidth, int frameHeight, PlaneWarper::Subsampling frame,
                           PlaneWarper::Subsampling picture);
    // Only when planesOnProcessor(): the frame's planes warped straight into `out`'s.
    void warpPlanesInto(const PlaneWarper::Frame& frame, const PlaneWarper::Picture& out,
                        uint8_t lumaBlack) const;

private:
    bool onProcessor(int frameWidth, int frameHeight);
    bool drawsOver() const;
    void upload(const uint8_t* rgbaBottomFirst, int width, int height, int stride);
    void drawOver();
    FrameRenderer::Inputs inputs();

    std::unique_ptr<DistortionMatrix> m_mesh;
    WarpOptions m_options;
    FrameRenderer m_renderer;
    FrameTexture m_frame;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    uint32_t m_gridTexture = 0;
    uint32_t m_overlayTexture = 0;
    bool m_glAskedFor = false;
    SoftWarper m_soft;
    PlaneWarper m_planes;
    std::string m_fallback;
    std::vector<uint8_t> m_picture;
    bool m_inMemory = false;
};

} // namespace lumenarc
