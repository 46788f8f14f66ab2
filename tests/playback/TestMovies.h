#pragma once

#include <string>

namespace lumenarc::test {

// A short movie to make: H.264 (yuv420p) in an .mp4, with a sine tone in AAC when audio is on.
struct MovieSpec {
    double seconds = 2;
    int width = 320, height = 240;
    int fps = 25;
    bool audio = true;
    std::string video = {}; // a lavfi video source graph; empty = testsrc2
    std::string title = {}; // the container's title; empty = none
    std::string pixelFormat = "yuv420p";
};

// Movies and pictures made with the ffmpeg command-line tool from its synthetic sources.
class TestMovies {
public:
    // Writes the movie to path (replacing any file there); false when ffmpeg fails.
    static bool make(const std::string& path, const MovieSpec& spec);
    // Writes one testsrc2 picture; the format follows the extension (.png, .jpg, ...).
    static bool makeImage(const std::string& path, int width, int height);
    // Writes one picture of a single colour (an ffmpeg colour name).
    static bool makeColourImage(const std::string& path, int width, int height,
                                const std::string& colour);
    // Rewrites the picture size an .mp4's H.264 sample description claims (the stream keeps its
    // own): a container the decoder cannot start on. False when there is no such description.
    static bool claimPictureSize(const std::string& path, int width, int height);
};

} // namespace lumenarc::test
