#pragma once

#include <cstddef>
#include <optional>

namespace lumenarc {

// Uninitialised memory for the arrays a mesh load fills once: a file's text and the nodes.
// Large buffers are mapped anonymous memory advised to use huge pages, so that filling them
// takes a few page faults instead of one per 4 KiB; small ones come from the heap, where the
// address sanitizer checks every access. When there is no memory the load is refused rather
// than the program ended.
class LargeBuffer {
public:
    // Buffers from this size on are mapped.
    static constexpr size_t kMapThreshold = size_t{4} << 20;

    // Nothing when the memory cannot be had. Zero bytes give an empty buffer.
    static std::optional<LargeBuffer> allocate(size_t bytes);

    LargeBuffer() = default;
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    ~LargeBuffer();

    char* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool isMapped() const { return m_mapped; }

private:
    void release();

    char* m_data = nullptr;
    size_t m_size = 0;
    bool m_mapped = false;
};

} // namespace lumenarc
