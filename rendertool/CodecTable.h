#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumenarc {

// One video codec the movie tool writes, and the quality scale of its encoder.
struct VideoCodec {
    std::string_view name;    // as --codec takes it
    std::string_view encoder; // the libavcodec encoder
    std::string_view scale;   // what --quality means for it
    int qualityMin = 0;
    int qualityMax = 0;
    int qualityDefault = 0;
    bool lossless = false; // takes no --quality
};

// The codecs, the containers and what each container takes. Decisions only.
class CodecTable {
public:
    static std::span<const VideoCodec> codecs();
    static const VideoCodec* find(std::string_view name);
    // The libavformat muxer for the extension of `path` (.mp4, .mov, .mkv, any case).
    static std::optional<std::string> containerFor(std::string_view path);
    static bool containerTakes(std::string_view container, const VideoCodec& codec);
    // The HAP encoder's format for a --quality: Hap, Hap Q or Hap Alpha.
    static const char* hapFormat(int quality);
    // What the width and height must be multiples of, besides the chroma layout's needs.
    static int sizeMultiple(const VideoCodec& codec);
    // The pixel format the encoder is fed: YUV for the lossy codecs, RGB for the lossless one.
    static AVPixelFormat pixelFormat(const VideoCodec& codec, int quality);
    static bool isRgb(AVPixelFormat format);
    // Whether the chroma layout of `format` needs an even width (height).
    static bool needsEvenWidth(AVPixelFormat format);
    static bool needsEvenHeight(AVPixelFormat format);
};

} // namespace lumenarc
