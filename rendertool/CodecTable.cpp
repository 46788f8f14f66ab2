#include "rendertool/CodecTable.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cctype>

namespace lumenarc {
namespace {

// ProRes profiles from 4 (4444) up keep full chroma.
constexpr int kProResFirst444 = 4;

const std::array<VideoCodec, 5> kCodecs = {{
    {"h264", "libx264", "x264 CRF, 0 (lossless) to 51, lower is better", 0, 51, 18, false},
    {"hevc", "libx265", "x265 CRF, 0 to 51, lower is better", 0, 51, 20, false},
    {"prores", "prores_ks", "profile 0 proxy, 1 LT, 2 standard, 3 HQ, 4 4444, 5 XQ", 0, 5, 3,
     false},
    {"ffv1", "ffv1", "lossless, keeps the drawn RGB pixels exactly; takes no quality", 0, 0, 0,
     true},
    {"hap", "hap", "0 Hap, 1 Hap Q, 2 Hap Alpha", 0, 2, 0, false},
}};

std::string lowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

std::span<const VideoCodec> CodecTable::codecs() {
    return kCodecs;
}

const VideoCodec* CodecTable::find(std::string_view name) {
    for (const auto& codec : kCodecs) {
        if (codec.name == name) {
            return &codec;
        }
    }
    return nullptr;
}

std::optional<std::string> CodecTable::containerFor(std::string_view path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return std::nullopt;
    }
    const std::string extension = lowerCase(path.substr(dot + 1));
    if (extension == "mp4") {
        return "mp4";
    }
    if (extension == "mov") {
        return "mov";
    }
    if (extension == "mkv") {
        return "matroska";
    }
    return std::nullopt;
}

bool CodecTable::containerTakes(std::string_view container, const VideoCodec& codec) {
    // MP4 has no registered tag for ProRes or FFV1; QuickTime and Matroska take both. The
    // media servers that play HAP read it from QuickTime only.
    if (codec.name == "hap") {
        return container == "mov";
    }
    return container != "mp4" || codec.name == "h264" || codec.name == "hevc";
}

const char* CodecTable::hapFormat(int quality) {
    switch (quality) {
    case 1:
        return "hap_q";
    case 2:
        return "hap_alpha";
    default:
        return "hap";
    }
}

int CodecTable::sizeMultiple(const VideoCodec& codec) {
    return codec.name == "hap" ? 4 : 1; // HAP's texture blocks are 4 x 4 pixels
}

AVPixelFormat CodecTable::pixelFormat(const VideoCodec& codec, int quality) {
    if (codec.name == "ffv1") {
        return AV_PIX_FMT_BGR0;
    }
    if (codec.name == "hap") {
        return AV_PIX_FMT_RGBA;
    }
    if (codec.name == "prores") {
        return quality >= kProResFirst444 ? AV_PIX_FMT_YUV444P10LE : AV_PIX_FMT_YUV422P10LE;
    }
    return AV_PIX_FMT_YUV420P;
}

bool CodecTable::isRgb(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) != 0;
}

bool CodecTable::needsEvenWidth(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && descriptor->log2_chroma_w > 0;
}

bool CodecTable::needsEvenHeight(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && descriptor->log2_chroma_h > 0;
}

} // namespace lumenarc
