#pragma once

#include "FrameCode.h"

#include <cstdint>
#include <optional>
#include <utility>

namespace lumenarc::test {

// Reads the frame number of a FrameCode picture from the pixels of a window that draws it
// through a mild mesh: the picture may be shifted, scaled, gently bent and unevenly lit, with
// black around it. The picture's edges are found from its white border along the rows and
// columns through each cell, so each cell is looked for where the mesh has put it.
class FrameCodeReader {
public:
    // An area of an RGB or RGBA picture (`pixelBytes` 3 or 4) whose rows run top first,
    // `stride` bytes apart.
    struct Area {
        const uint8_t* pixels = nullptr;
        int stride = 0;
        int pixelBytes = 4;
        int x = 0, y = 0, width = 0, height = 0;
    };

    explicit FrameCodeReader(const Area& area) : m_area(area) {}
    // The frame number shown, or nothing when the picture is not found or a read is doubtful.
    std::optional<int> frame() const;
    // The bits as read (for diagnostics), or nothing when the picture's edges are not found.
    std::optional<FrameCode::Bits> bits() const;

private:
    using Span = std::pair<int, int>; // first and last lit pixel

    int level(int x, int y) const;
    std::optional<Span> rowSpan(int y) const;
    std::optional<Span> columnSpan(int x) const;
    std::optional<int> cellLevel(int column, int row) const;

    Area m_area;
};

} // namespace lumenarc::test
