#pragma once

#include "mesh/LargeBuffer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// The whole content of a regular file, copied into memory in one go. Copied rather than mapped:
// a mapped file that someone truncates while it is parsed raises SIGBUS, a copy cannot.
class TextFile {
public:
    // Nothing for a missing or unreadable file, for anything but a regular file (folders,
    // FIFOs, devices: refused at once, without waiting for a writer or reading a byte), and
    // for a file of more than maxBytes, whether it is that large when opened or grows while
    // it is read.
    // With `why`, a refusal says there why: missing, not a regular file, not readable, too
    // large, or no memory.
    static std::optional<TextFile> read(const std::string& path, size_t maxBytes,
                                        std::string* why = nullptr);

    std::string_view text() const { return {m_buffer.data(), m_size}; }

private:
    TextFile() = default;
    // A buffer of the given size holding the bytes read so far; false without memory.
    bool growTo(size_t capacity);

    LargeBuffer m_buffer;
    size_t m_size = 0; // the bytes read: the buffer may be larger
};

} // namespace lumenarc
