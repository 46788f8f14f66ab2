#include "mesh/DistortionMatrix.h"
#include "rendertool/OutputConverter.h"
#include "rendertool/PlanarInput.h"
#include "rendertool/RgbaConverter.h"
#include "softwarp/PlaneWarper.h"
#include "softwarp/SoftWarper.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 200;
constexpr int kFrameWidth = 256;
constexpr int kFrameHeight = 192;
const Colour kColour{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, AVCOL_PRI_SMPTE170M, AVCOL_TRC_BT709};

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

Frame picture(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    Frame f(av_frame_alloc());
    f->format = format;
    f->width = width;
    f->height = height;
    f->colorspace = kColour.matrix;
    f->color_range = kColour.range;
    EXPECT_GE(av_frame_get_buffer(f.get(), 0), 0);
    return f;
}

// A bent mesh whose u and v run past 0..1 (wrap or clamp shows) with brightness 0.35..1.
std::unique_ptr<DistortionMatrix> mesh(int type, double rotation) {
    std::string text = std::to_string(type) + "\n24 17\n";
    char line[200];
    for (int r = 0; r < 17; ++r) {
        for (int c = 0; c < 24; ++c) {
            const double a = c / 23.0;
            const double b = r / 16.0;
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f %.6f\n",
                          (2 * a - 1) * 1.45 + 0.08 * std::sin(3 * b),
                          (2 * b - 1) * 0.93 + 0.05 * std::sin(6.28 * a),
                          -0.15 + 1.3 * a + 0.05 * std::sin(5 * b), -0.1 + 1.2 * b,
                          0.35 + 0.65 * (0.5 + 0.5 * std::sin(3 * a + 2 * b)));
            text += line;
        }
    }
    auto m = DistortionMatrix::initFromText(text);
    m->rotate(static_cast<float>(rotation));
    return m;
}

// The movie frame: colour ramps and a fine pattern, made YUV by the tool's own converter.
Frame moviePicture() {
    const int stride = RgbaConverter::rowStride(kFrameWidth);
    std::vector<uint8_t> rgba(size_t(stride) * kFrameHeight);
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            uint8_t* p = &rgba[size_t(y) * stride + size_t(x) * 4];
            p[0] = static_cast<uint8_t>(x * 255 / (kFrameWidth - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (kFrameHeight - 1));
            p[2] = static_cast<uint8_t>(127.5 + 127 * std::sin(x * 0.31) * std::cos(y * 0.23));
            p[3] = 255;
        }
    }
    auto frame = picture(kFrameWidth, kFrameHeight);
    OutputConverter to(kFrameWidth, kFrameHeight, AV_PIX_FMT_YUV420P, kColour);
    EXPECT_TRUE(to.convert(rgba.data(), stride, frame.get()));
    return frame;
}

// The pictures' formats: 4:2:0 at 8 bits (H.264), 4:4:4 at 10 bits (ProRes 4444).
struct Output {
    AVPixelFormat format;
    int chromaShiftY;
    bool tenBits;
};
const Output kOutputs[] = {{AV_PIX_FMT_YUV420P, 1, false}, {AV_PIX_FMT_YUV444P10LE, 0, true}};

// The picture as the RGB path makes it: to RGBA, warped, back to YUV.
Frame throughRgb(const DistortionMatrix& m, const AVFrame* frame, const Output& output) {
    const int inStride = RgbaConverter::rowStride(kFrameWidth);
    std::vector<uint8_t> rgba(size_t(inStride) * kFrameHeight);
    RgbaConverter in(kFrameWidth, kFrameHeight);
    EXPECT_TRUE(in.convert(frame, rgba.data(), inStride));
    SoftWarper soft(2);
    EXPECT_EQ(soft.prepare(m, kViewWidth, kViewHeight, kFrameWidth, kFrameHeight),
              WarpMap::Status::Ready);
    const int outStride = RgbaConverter::rowStride(kViewWidth);
    std::vector<uint8_t> warped(size_t(outStride) * kViewHeight);
    soft.warp({rgba.data(), kFrameWidth, kFrameHeight, inStride, true}, warped.data(), outStride);
    auto out = picture(kViewWidth, kViewHeight, output.format);
    OutputConverter to(kViewWidth, kViewHeight, output.format, kColour);
    EXPECT_TRUE(to.convert(warped.data(), outStride, out.get()));
    return out;
}

Frame throughPlanes(const DistortionMatrix& m, const AVFrame* frame, const Output& output) {
    SoftWarper luma(2);
    EXPECT_EQ(luma.prepare(m, kViewWidth, kViewHeight, kFrameWidth, kFrameHeight),
              WarpMap::Status::Ready);
    PlaneWarper planes(2);
    EXPECT_EQ(planes.prepare(m, kViewWidth, kViewHeight, kFrameWidth, kFrameHeight, {1, 1},
                             {output.chromaShiftY, output.chromaShiftY}),
              WarpMap::Status::Ready);
    auto out = picture(kViewWidth, kViewHeight, output.format);
    auto into = PlaneWarper::bottomFirst<PlaneWarper::Picture>(out->data, out->linesize,
                                                               kViewHeight, output.chromaShiftY);
    into.tenBits = output.tenBits;
    planes.warp(
        luma.map(),
        PlaneWarper::bottomFirst<PlaneWarper::Frame>(frame->data, frame->linesize, kFrameHeight, 1),
        into, 16);
    return out;
}

struct Difference {
    int worst = 0;
    double mean = 0;
    double over4 = 0; // the share of samples more than 4 levels apart
    // 8-bit levels throughout: a 10-bit sample counts a quarter of a level
};

// The two over one plane, leaving out samples within three pixels of the drawn area's rim,
// where chroma filtered across the rim (the RGB path) and chroma warped at half resolution
// part most.
Difference compare(const AVFrame* a, const AVFrame* b, int plane, const WarpMap& map,
                   const Output& output) {
    const int shiftX = plane == 0 ? 0 : output.chromaShiftY;
    const int shiftY = plane == 0 ? 0 : output.chromaShiftY;
    const int width = kViewWidth >> shiftX;
    const int height = kViewHeight >> shiftY;
    const auto sample = [&](const AVFrame* f, int x, int y) {
        const uint8_t* row = f->data[plane] + y * f->linesize[plane];
        return output.tenBits ? reinterpret_cast<const uint16_t*>(row)[x] / 4.0 : row[x];
    };
    Difference d;
    long n = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool rim = false;
            const int gx = x << shiftX;
            const int gy = kViewHeight - 1 - (y << shiftY); // the map's rows are bottom first
            const bool here = map.drawn(gx, gy);
            for (int dy = -3; dy <= 3 && !rim; ++dy) {
                for (int dx = -3; dx <= 3 && !rim; ++dx) {
                    rim = map.drawn(std::clamp(gx + dx, 0, kViewWidth - 1),
                                    std::clamp(gy + dy, 0, kViewHeight - 1)) != here;
                }
            }
            if (rim) {
                continue;
            }
            const double e = std::fabs(sample(a, x, y) - sample(b, x, y));
            d.worst = std::max(d.worst, static_cast<int>(std::ceil(e)));
            d.mean += e;
            d.over4 += e > 4 ? 1 : 0;
            ++n;
        }
    }
    d.mean /= double(std::max(1L, n));
    d.over4 /= double(std::max(1L, n));
    return d;
}

// The warp plane by plane against the path through RGB (libswscale to RGBA, the RGBA warp,
// libswscale back to YUV), on the same 4:2:0 frame and meshes, clamped and repeated, into
// 4:2:0 at 8 bits and 4:4:4 at 10.
TEST(PlaneWarp, PlaneByPlaneMatchesTheRgbRoundTrip) {
    const auto frame = moviePicture();
    for (const auto& output : kOutputs) {
        for (const int type : {1, 3}) {
            SCOPED_TRACE(std::string(output.tenBits ? "4:4:4, 10 bits" : "4:2:0, 8 bits") +
                         ", type " + std::to_string(type));
            const auto m = mesh(type, 0.7);
            const auto rgb = throughRgb(*m, frame.get(), output);
            const auto planes = throughPlanes(*m, frame.get(), output);
            SoftWarper luma(1);
            luma.prepare(*m, kViewWidth, kViewHeight, kFrameWidth, kFrameHeight);
            for (int plane = 0; plane < 3; ++plane) {
                SCOPED_TRACE("plane " + std::to_string(plane));
                const auto d = compare(rgb.get(), planes.get(), plane, luma.map(), output);
                if (plane == 0) {
                    // The round trip rounds to 8-bit RGB twice; the luma is otherwise the same.
                    EXPECT_LT(d.mean, 1.0);
                    EXPECT_LE(d.worst, 4);
                } else if (!output.tenBits) {
                    // Chroma warped at half resolution, against chroma filtered down from a
                    // full-resolution warp: they part only at sharp colour edges (the repeat
                    // seam of the wrapped types most).
                    EXPECT_LT(d.mean, 1.0);
                    EXPECT_LT(d.over4, 0.03);
                } else {
                    // Full-resolution chroma: the frame's half-resolution chroma interpolated
                    // bilinearly by the warp, against libswscale's bicubic upsampling before
                    // it; they part where the chroma changes within a few samples (the blue
                    // ripple of the test frame).
                    EXPECT_LT(d.mean, 2.5);
                    EXPECT_LT(d.over4, 0.15);
                }
            }
        }
    }
}

TEST(PlaneWarp, OnlyEightBitPlanarYuvInTheOutputsColourGoesPlaneByPlane) {
    const auto p = AV_PIX_FMT_YUV420P;
    EXPECT_TRUE(PlanarInput::suits(p, kColour, p, kColour));
    Colour bt709 = kColour;
    bt709.matrix = AVCOL_SPC_BT709;
    Colour full = kColour;
    full.range = AVCOL_RANGE_JPEG;
    EXPECT_FALSE(PlanarInput::suits(p, bt709, p, kColour));
    EXPECT_FALSE(PlanarInput::suits(p, full, p, kColour));
    EXPECT_TRUE(PlanarInput::suits(AV_PIX_FMT_YUV422P, kColour, p, kColour));
    EXPECT_TRUE(PlanarInput::suits(p, kColour, AV_PIX_FMT_YUV444P10LE, kColour));
    EXPECT_FALSE(PlanarInput::suits(p, kColour, AV_PIX_FMT_YUV422P10LE, kColour));
    EXPECT_FALSE(PlanarInput::suits(p, full, AV_PIX_FMT_YUV444P10LE, full));
    EXPECT_FALSE(PlanarInput::suits(AV_PIX_FMT_YUV420P10LE, kColour, p, kColour));
    for (const auto other : {AV_PIX_FMT_NV12, AV_PIX_FMT_YUVA420P, AV_PIX_FMT_GBRP,
                             AV_PIX_FMT_GRAY8, AV_PIX_FMT_YUV420P12LE, AV_PIX_FMT_YUV420P10BE}) {
        EXPECT_FALSE(PlanarInput::suits(p, kColour, other, kColour)) << other;
    }
}

// A frame in the warp's format is passed on as it is; one of another size or format (a stream
// that changes mid-way) is converted to it.
TEST(PlaneWarp, AFrameOfAnotherSizeOrFormatIsConvertedToTheWarpsOwn) {
    PlanarInput input(kFrameWidth, kFrameHeight, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, kColour);
    auto frame = moviePicture();
    const uint8_t* data = frame->data[0];
    Frame into(av_frame_alloc());
    ASSERT_TRUE(input.take(frame.get(), into.get()));
    EXPECT_EQ(into->data[0], data);
    auto smaller = picture(kFrameWidth / 2, kFrameHeight / 2);
    std::fill_n(smaller->data[0], smaller->linesize[0] * (kFrameHeight / 2), 200);
    Frame converted(av_frame_alloc());
    ASSERT_TRUE(input.take(smaller.get(), converted.get()));
    EXPECT_EQ(converted->width, kFrameWidth);
    EXPECT_EQ(converted->height, kFrameHeight);
    EXPECT_EQ(converted->format, AV_PIX_FMT_YUV420P);
    EXPECT_NEAR(converted->data[0][converted->linesize[0] * 100 + 100], 200, 1);
}

} // namespace
} // namespace lumenarc
