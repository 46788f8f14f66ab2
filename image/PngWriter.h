#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumenarc {

// Writes pictures as opaque 8-bit RGB PNG files: the preview tool's output.
class PngWriter {
public:
    enum class RowOrder { TopFirst, BottomFirst };

    // `pixels` holds width x height pixels of `channels` bytes: 3 (RGB) or 4 (RGBA, whose alpha
    // is dropped). BottomFirst takes rows as GL reads them back. False, with a reason, on bad
    // arguments or when the file cannot be written ("cannot write NAME: why", NAME being
    // `shownAs` when given, else `path`). The file is never removed, not even after a failed
    // write: callers write to a temporary file of their own and name the file it becomes.
    static bool write(const std::string& path, uint32_t width, uint32_t height, int channels,
                      std::span<const uint8_t> pixels, RowOrder order = RowOrder::TopFirst,
                      std::string* error = nullptr, const std::string& shownAs = "");
};

} // namespace lumenarc
