#pragma once

#include <cstddef>
#include <string_view>

namespace lumenarc {

// How decoded pictures become frame textures, and at what size. On a hardware GL the decoder's
// own GL renderer converts each picture into the texture at its natural size. On a software
// rasteriser that conversion costs more than the decoding itself, so the pictures are converted
// on the processor instead, at no more pixels than the view can show, and streamed into the
// texture.
class FramePath {
public:
    enum class Kind { Gl, Cpu };
    struct Size {
        int width = 0;
        int height = 0;
        bool operator==(const Size&) const = default;
    };

    // The largest side of a frame texture the decoder is asked for.
    static constexpr int kMaxSide = 16384;

    // `forced` is the LUMENARC_FRAME_PATH setting ("gl" or "cpu"); anything else, or nothing,
    // decides by the renderer's name.
    static Kind choose(std::string_view renderer, const char* forced);
    static bool isSoftwareRenderer(std::string_view renderer);
    // The size pictures are converted at: on the Cpu path, the natural size scaled down (aspect
    // kept) until its larger side fits the target's larger side rounded up to a power of two;
    // never larger than natural; the natural size while the target is unknown (<= 1). A 0 x 0
    // size means no frame: no natural size, or one beyond kMaxSide.
    static Size conversionSize(Kind kind, float naturalWidth, float naturalHeight, int targetWidth,
                               int targetHeight);
    // Bytes per row of a converted picture: 4 per pixel, rounded up to 64 for the converter.
    static size_t rowBytes(int width);
};

} // namespace lumenarc
