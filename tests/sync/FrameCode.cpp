#include "FrameCode.h"

#include "playback/TestMovies.h"

namespace lumenarc::test {
namespace {

// Bit k of the Gray code of n, as an ffmpeg expression of the frame number N; `k` is an
// expression too.
std::string grayBitExpression(const std::string& k) {
    return "mod(floor((N+pow(2," + k + "))/pow(2," + k + "+1)),2)";
}

} // namespace

int FrameCode::grayBit(int frame, int bit) {
    const int gray = frame ^ (frame >> 1);
    return (gray >> bit) & 1;
}

FrameCode::Bits FrameCode::encode(int frame) {
    Bits bits{};
    for (int k = 0; k < kCodeBits; ++k) {
        bits[k] = grayBit(frame, k) != 0 ? Bit::One : Bit::Zero;
    }
    for (int p = 0; p < kParityBits; ++p) {
        const int sum =
            grayBit(frame, 3 * p) + grayBit(frame, 3 * p + 1) + grayBit(frame, 3 * p + 2);
        bits[kCodeBits + p] = sum % 2 != 0 ? Bit::One : Bit::Zero;
    }
    return bits;
}

std::optional<int> FrameCode::decode(const Bits& bits) {
    for (const Bit bit : bits) {
        if (bit == Bit::Unknown) {
            return std::nullopt;
        }
    }
    int gray = 0;
    for (int k = 0; k < kCodeBits; ++k) {
        gray |= (bits[k] == Bit::One ? 1 : 0) << k;
    }
    int frame = 0;
    for (int g = gray; g != 0; g >>= 1) {
        frame ^= g;
    }
    if (encode(frame) != bits) {
        return std::nullopt; // a parity bit disagrees
    }
    return frame;
}

double FrameCode::centreU(int column) {
    return (kMarginX + (column + 0.5) * kCellWidth) / kGridWidth;
}

double FrameCode::centreV(int row) {
    return (kMarginY + (row + 0.5) * kCellHeight) / kGridHeight;
}

std::string FrameCode::lavfiSource(double seconds, int fps) {
    // Made on the 64 x 36 grid and scaled up without filtering: one expression per grid unit,
    // not per pixel, keeps making the movie fast.
    const std::string column = "ld(0)", row = "ld(1)", pair = "ld(2)";
    const std::string parityBase = "3*(" + pair + "-" + std::to_string(kCodeBits) + ")";
    const std::string parity = "mod(" + grayBitExpression(parityBase) + "+" +
                               grayBitExpression(parityBase + "+1") + "+" +
                               grayBitExpression(parityBase + "+2") + ",2)";
    const std::string bit = "if(lt(" + pair + "," + std::to_string(kCodeBits) + ")," +
                            grayBitExpression(pair) + "," + parity + ")";
    const std::string inside = "between(X," + std::to_string(kMarginX) + "," +
                               std::to_string(kGridWidth - kMarginX - 1) + ")*between(Y," +
                               std::to_string(kMarginY) + "," +
                               std::to_string(kGridHeight - kMarginY - 1) + ")";
    const std::string expression =
        "st(0,floor((X-" + std::to_string(kMarginX) + ")/" + std::to_string(kCellWidth) + "));" +
        "st(1,floor((Y-" + std::to_string(kMarginY) + ")/" + std::to_string(kCellHeight) + "));" +
        "st(2," + row + "*" + std::to_string(kColumns / 2) + "+floor(" + column + "/2));" +
        "st(3," + bit + ");" + "if(" + inside + ",255*abs(ld(3)-mod(" + column + ",2)),255)";
    return "nullsrc=s=" + std::to_string(kGridWidth) + "x" + std::to_string(kGridHeight) +
           ":r=" + std::to_string(fps) + ":d=" + std::to_string(seconds) +
           ",format=gray,geq=lum='" + expression + "',scale=" + std::to_string(kWidth) + ":" +
           std::to_string(kHeight) + ":flags=neighbor";
}

bool FrameCode::makeMovie(const std::string& path, double seconds, int fps, bool audio) {
    return TestMovies::make(path, {.seconds = seconds,
                                   .width = kWidth,
                                   .height = kHeight,
                                   .fps = fps,
                                   .audio = audio,
                                   .video = lavfiSource(seconds, fps)});
}

} // namespace lumenarc::test
