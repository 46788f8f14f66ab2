#pragma once

#include <cstddef>
#include <cstdint>

namespace lumenarc {

// Pictures streamed into textures through pixel-unpack buffers: the converter writes straight
// into mapped buffer memory, and the texture upload reads from there, so a picture is copied
// once on its way to the texture. Two buffers take turns, so a new picture never waits for the
// upload of the previous one. Render thread only, with the GL context current.
class PixelStream {
public:
    PixelStream() = default;
    ~PixelStream() = default; // release() frees the buffers, with the context current
    PixelStream(const PixelStream&) = delete;
    PixelStream& operator=(const PixelStream&) = delete;

    // Memory for `bytes`, 64-byte aligned, in the next buffer; nullptr when none can be had.
    uint8_t* map(size_t bytes);
    // Ends the writing and binds the buffer for unpacking; the picture starts at uploadOffset().
    bool unmap();
    size_t uploadOffset() const { return m_offset; }
    // Unbinds the buffer after the upload.
    void finish();
    void release();

private:
    static constexpr int kBuffers = 2;
    uint32_t m_buffers[kBuffers] = {};
    size_t m_sizes[kBuffers] = {};
    int m_next = 0;
    int m_mapped = -1;
    size_t m_offset = 0;
};

} // namespace lumenarc
