#pragma once

#include <array>
#include <optional>
#include <string>

namespace lumenarc::test {

// A picture that carries its own frame number as large black and white blocks, readable from a
// screenshot of a window that draws it through a mild mesh.
//
// The picture is 640 x 360, laid out on a 64 x 36 grid of 10-pixel units: a white border around
// 8 columns x 4 rows of cells. The cells go in pairs, side by side: a cell and its complement, so
// that a bit is read by comparing two neighbours, whatever the brightness there. The 16 pairs
// carry the frame number in Gray code (12 bits: a read torn between two successive frames gives
// one of them) and 4 parity bits, each over 3 of the code bits, which turn most other bad reads
// into no read at all.
class FrameCode {
public:
    static constexpr int kCodeBits = 12;
    static constexpr int kParityBits = 4;
    static constexpr int kPairs = kCodeBits + kParityBits;
    static constexpr int kColumns = 8, kRows = 4;
    static constexpr int kGridWidth = 64, kGridHeight = 36;
    static constexpr int kMarginX = 4, kMarginY = 2;
    static constexpr int kCellWidth = 7, kCellHeight = 8;
    static constexpr int kWidth = 640, kHeight = 360;
    static constexpr int kFrames = 1 << kCodeBits; // frame numbers 0 .. kFrames - 1

    // A bit as read: 0, 1, or unknown (a pair without clear contrast).
    enum class Bit { Zero, One, Unknown };
    using Bits = std::array<Bit, kPairs>;

    // The pairs' bits for a frame number (pair k: code bit k, then the parity bits).
    static Bits encode(int frame);
    // The frame number, or nothing when a bit is unknown or a parity bit disagrees.
    static std::optional<int> decode(const Bits& bits);

    // Pair and side of the cell at a column and row: side 0 carries the bit, side 1 its
    // complement.
    static int pairAt(int column, int row) { return row * (kColumns / 2) + column / 2; }
    static int sideAt(int column) { return column % 2; }
    // The centre of a cell, as a fraction of the picture's width or height.
    static double centreU(int column);
    static double centreV(int row);

    // The lavfi video source of a movie of these pictures (frame n shows n), for ffmpeg.
    static std::string lavfiSource(double seconds, int fps);
    // Writes such a movie (H.264, with a tone when `audio`) to path; false when ffmpeg fails.
    static bool makeMovie(const std::string& path, double seconds, int fps = 30, bool audio = true);

private:
    static int grayBit(int frame, int bit);
};

} // namespace lumenarc::test
