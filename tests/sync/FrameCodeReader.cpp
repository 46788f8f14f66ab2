#include "FrameCodeReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumenarc::test {
namespace {

// A lit pixel belongs to the picture: its border stays above this at 40 % brightness, and the
// player's overlay band over black stays below it.
constexpr int kLit = 100;
// The two cells of a pair differ at least this much, and by this share of the brighter one.
constexpr int kMinContrast = 40;
constexpr double kMinContrastShare = 0.35;
// The part of a cell's width and height read around its centre: room for a mesh's bend.
constexpr double kPatch = 0.4;
// The smallest picture worth reading, in pixels.
constexpr int kMinWidth = FrameCode::kGridWidth, kMinHeight = FrameCode::kGridHeight;

} // namespace

int FrameCodeReader::level(int x, int y) const {
    const uint8_t* p = m_area.pixels + static_cast<size_t>(m_area.y + y) * m_area.stride +
                       static_cast<size_t>(m_area.x + x) * m_area.pixelBytes;
    return (p[0] + 2 * p[1] + p[2]) / 4;
}

std::optional<FrameCodeReader::Span> FrameCodeReader::rowSpan(int y) const {
    if (y < 0 || y >= m_area.height) {
        return std::nullopt;
    }
    int first = 0, last = m_area.width - 1;
    while (first < m_area.width && level(first, y) < kLit) {
        ++first;
    }
    while (last > first && level(last, y) < kLit) {
        --last;
    }
    if (last - first + 1 < kMinWidth) {
        return std::nullopt;
    }
    return Span{first, last};
}

std::optional<FrameCodeReader::Span> FrameCodeReader::columnSpan(int x) const {
    if (x < 0 || x >= m_area.width) {
        return std::nullopt;
    }
    int first = 0, last = m_area.height - 1;
    while (first < m_area.height && level(x, first) < kLit) {
        ++first;
    }
    while (last > first && level(x, last) < kLit) {
        --last;
    }
    if (last - first + 1 < kMinHeight) {
        return std::nullopt;
    }
    return Span{first, last};
}

// The mean level around a cell's centre, found along the row and the column through it.
std::optional<int> FrameCodeReader::cellLevel(int column, int row) const {
    const double u = FrameCode::centreU(column), v = FrameCode::centreV(row);
    const auto middle = rowSpan(m_area.height / 2);
    if (!middle) {
        return std::nullopt;
    }
    const auto across = columnSpan((middle->first + middle->second) / 2);
    if (!across) {
        return std::nullopt;
    }
    const auto lerp = [](const Span& s, double t) {
        return static_cast<int>(std::lround(s.first + t * (s.second - s.first)));
    };
    const auto rowThrough = rowSpan(lerp(*across, v));
    if (!rowThrough) {
        return std::nullopt;
    }
    const int x = lerp(*rowThrough, u);
    const auto columnThrough = columnSpan(x);
    if (!columnThrough) {
        return std::nullopt;
    }
    const int y = lerp(*columnThrough, v);
    const double scaleX = (rowThrough->second - rowThrough->first) / double(FrameCode::kGridWidth);
    const double scaleY =
        (columnThrough->second - columnThrough->first) / double(FrameCode::kGridHeight);
    const int halfW = std::max(1, static_cast<int>(kPatch * FrameCode::kCellWidth * scaleX / 2));
    const int halfH = std::max(1, static_cast<int>(kPatch * FrameCode::kCellHeight * scaleY / 2));
    long sum = 0, count = 0;
    for (int py = std::max(0, y - halfH); py <= std::min(m_area.height - 1, y + halfH); ++py) {
        for (int px = std::max(0, x - halfW); px <= std::min(m_area.width - 1, x + halfW); ++px) {
            sum += level(px, py);
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return static_cast<int>(sum / count);
}

std::optional<FrameCode::Bits> FrameCodeReader::bits() const {
    if (m_area.pixels == nullptr || m_area.pixelBytes < 3 || m_area.width < kMinWidth ||
        m_area.height < kMinHeight) {
        return std::nullopt;
    }
    FrameCode::Bits bits{};
    for (int row = 0; row < FrameCode::kRows; ++row) {
        for (int column = 0; column < FrameCode::kColumns; column += 2) {
            const auto bit = cellLevel(column, row), complement = cellLevel(column + 1, row);
            if (!bit || !complement) {
                return std::nullopt;
            }
            const int contrast = std::abs(*bit - *complement);
            const int brighter = std::max(*bit, *complement);
            const bool clear = contrast >= kMinContrast && contrast >= kMinContrastShare * brighter;
            bits[FrameCode::pairAt(column, row)] =
                !clear ? FrameCode::Bit::Unknown
                       : (*bit > *complement ? FrameCode::Bit::One : FrameCode::Bit::Zero);
        }
    }
    return bits;
}

std::optional<int> FrameCodeReader::frame() const {
    const auto read = bits();
    return read ? FrameCode::decode(*read) : std::nullopt;
}

} // namespace lumenarc::test
