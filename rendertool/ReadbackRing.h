#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc {

// Pixel-buffer objects that the drawn pictures are read back into, kept mapped for their
// whole life (persistent, coherent mapping), so that another thread can read a slot's pixels
// while GL reads the next picture into another slot. Each read is fenced; wait() returns when
// the slot's pixels are complete. All calls but pixels() need the GL context current; a
// slot's pixels must not be read while GL writes into it, which the caller's hand-over of
// slot numbers guarantees.
class ReadbackRing {
public:
    // Rows `stride` bytes apart (at least width x 4, a multiple of 4).
    static std::unique_ptr<ReadbackRing> create(int slots, int width, int height, int stride,
                                                std::string* error);
    ~ReadbackRing();
    ReadbackRing(const ReadbackRing&) = delete;
    ReadbackRing& operator=(const ReadbackRing&) = delete;

    int slots() const { return static_cast<int>(m_buffers.size()); }
    // Starts reading the current framebuffer (RGBA, rows bottom first) into the slot.
    void read(int slot);
    // Waits until that read is complete; false if GL reports a failure.
    bool wait(int slot);
    // The slot's rows, bottom first.
    const uint8_t* pixels(int slot) const { return m_mapped[static_cast<size_t>(slot)]; }

private:
    ReadbackRing(int width, int height, int stride)
        : m_width(width), m_height(height), m_stride(stride) {}

    int m_width;
    int m_height;
    int m_stride;
    std::vector<uint32_t> m_buffers;
    std::vector<const uint8_t*> m_mapped;
    std::vector<void*> m_fences;
};

} // namespace lumenarc
