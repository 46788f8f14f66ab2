#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumenarc::test {

// The ffmpeg and ffprobe command-line tools, for making test movies and looking into what
// lumenarc-render wrote. Each call runs the tool found on PATH.
class MovieTools {
public:
    // Runs ffmpeg with the arguments after "-y -loglevel error"; true on success.
    static bool ffmpeg(const std::vector<std::string>& arguments);
    // Runs ffprobe -v error with the arguments and returns its standard output.
    static std::string ffprobe(const std::vector<std::string>& arguments);
    // Every video frame's time in seconds, in display order.
    static std::vector<double> frameTimes(const std::string& path);
    // One stream entry, e.g. streamEntry(path, "v:0", "codec_name").
    static std::string streamEntry(const std::string& path, const std::string& stream,
                                   const std::string& entry);
    // Every video frame as RGB (3 bytes a pixel), top row first.
    static std::vector<std::vector<uint8_t>> rgbFrames(const std::string& path, int width,
                                                       int height);
    // Every video frame's luma plane (8 bits, as stored), top row first.
    static std::vector<std::vector<uint8_t>> lumaFrames(const std::string& path, int width,
                                                        int height);
    // Frame k as RGBA, converted as lumenarc-render converts it (the matrix and range given).
    static std::vector<uint8_t> rgbaFrame(const std::string& path, int k, int width, int height,
                                          const std::string& matrix, const std::string& range);
};

} // namespace lumenarc::test
