#pragma once

#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace lumenarc {

// Turns decoded frames into the RGBA pictures the drawing takes, rows bottom first, at one
// fixed size. The YUV matrix and range are the frame's own, resolved as ColourChoice::input
// does for untagged frames. The conversion is libswscale's with SWS_BICUBIC, full-range RGB
// out; at the same size that is its exact integer YUV to RGB path, the same one the ffmpeg
// tool takes for `-vf scale=in_color_matrix=M:in_range=R:out_range=pc,format=rgba`.
class RgbaConverter {
public:
    static constexpr int kFlags = 4; // SWS_BICUBIC

    RgbaConverter(int width, int height) : m_width(width), m_height(height) {}
    ~RgbaConverter();
    RgbaConverter(const RgbaConverter&) = delete;
    RgbaConverter& operator=(const RgbaConverter&) = delete;

    // Rows of width x 4 bytes `stride` apart: libswscale's vector code writes whole blocks of
    // pixels, so the stride must leave room for them (rowStride gives one that does).
    static int rowStride(int width);

    // Writes height rows; false when libswscale cannot convert the frame.
    bool convert(const AVFrame* frame, uint8_t* rgbaBottomFirst, int stride);

private:
    bool prepare(const AVFrame* frame);

    int m_width;
    int m_height;
    SwsContext* m_context = nullptr;
    int m_matrix = -1;
    int m_fullRange = -1;
};

} // namespace lumenarc
