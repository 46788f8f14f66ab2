#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc {

// A compatibility-profile GL context without a window, drawing into a framebuffer object of a
// given size: EGL on Mesa's surfaceless platform. Tests read real pixels back from it, and the
// command-line tools render with it exactly as the player draws.
class OffscreenGL {
public:
    struct Pixel {
        uint8_t r, g, b, a;
    };

    // What the framebuffer holds besides colour. Nothing draws with a depth or stencil test;
    // a software rasteriser still clears such a buffer with every frame, which a long render
    // need not pay for.
    enum class Buffers { ColourDepthStencil, ColourOnly };

    // The context, current on the calling thread; nullptr (and a reason) when none can be made.
    static std::unique_ptr<OffscreenGL> create(int width, int height, std::string* error = nullptr,
                                               Buffers buffers = Buffers::ColourDepthStencil);
    ~OffscreenGL();
    OffscreenGL(const OffscreenGL&) = delete;
    OffscreenGL& operator=(const OffscreenGL&) = delete;

    bool makeCurrent();
    void doneCurrent();
    // Replaces the framebuffer with one of the new size (contents undefined) and sets the
    // viewport to cover it.
    bool resize(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // RGBA rows, bottom row first, as GL reads them.
    std::vector<uint8_t> readPixels() const;
    // One pixel, (0, 0) being the lower-left corner.
    Pixel pixel(int x, int y) const;

private:
    OffscreenGL() = default;
    bool createFramebuffer();
    void deleteFramebuffer();

    void* m_display = nullptr;
    void* m_context = nullptr;
    uint32_t m_framebuffer = 0;
    uint32_t m_colorBuffer = 0;
    uint32_t m_depthBuffer = 0;
    int m_width = 0;
    int m_height = 0;
    Buffers m_buffers = Buffers::ColourDepthStencil;
};

} // namespace lumenarc
