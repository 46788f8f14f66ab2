#pragma once

#include <cstddef>
#include <optional>

namespace lumenarc {

// Uninitialised memory for the large arrays a mesh load fills once: a file's text and the
// nodes. Mapped anonymous memory, advised to use huge pages, so that filling it takes a few
// page faults instead of one per 4 KiB; and when there is no memory the load is refused
// rather than the program ended.
class LargeBuffer {
public:
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

private:
    void release();

    char* m_data = nullptr;
    size_t m_size = 0;
};

} // namespace lumenarc
