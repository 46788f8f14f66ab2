#include "MovieTools.h"

#include "support/RunProcess.h"

#include <cstdlib>
#include <sstream>

namespace lumenarc::test {
namespace {

constexpr std::chrono::milliseconds kTimeout{60000};

ProcessResult run(const std::string& tool, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/env", tool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv, ProcessOptions{{}, {}, kTimeout});
}

std::vector<std::vector<uint8_t>> split(const std::string& bytes, size_t frameBytes) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= bytes.size(); at += frameBytes) {
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    }
    return frames;
}

} // namespace

bool MovieTools::ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"-nostdin", "-y", "-loglevel", "error"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const auto result = run("ffmpeg", all);
    return result.exitCode == 0 && !result.timedOut;
}

std::string MovieTools::ffprobe(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"-v", "error"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return run("ffprobe", all).out;
}

std::vector<double> MovieTools::frameTimes(const std::string& path) {
    std::istringstream lines(ffprobe(
        {"-select_streams", "v:0", "-show_entries", "frame=pts_time", "-of", "csv=p=0", path}));
    std::vector<double> times;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            times.push_back(std::strtod(line.c_str(), nullptr));
        }
    }
    return times;
}

std::string MovieTools::streamEntry(const std::string& path, const std::string& stream,
                                    const std::string& entry) {
    std::string value = ffprobe({"-select_streams", stream, "-show_entries", "stream=" + entry,
                                 "-of", "default=nw=1:nk=1", path});
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
        value.pop_back();
    }
    return value;
}

std::vector<std::vector<uint8_t>> MovieTools::rgbFrames(const std::string& path, int width,
                                                        int height) {
    const auto result = run("ffmpeg", {"-nostdin", "-loglevel", "error", "-i", path, "-f",
                                       "rawvideo", "-pix_fmt", "rgb24", "-"});
    return split(result.out, static_cast<size_t>(width) * height * 3);
}

std::vector<std::vector<uint8_t>> MovieTools::lumaFrames(const std::string& path, int width,
                                                         int height) {
    const auto result = run("ffmpeg", {"-nostdin", "-loglevel", "error", "-i", path, "-f",
                                       "rawvideo", "-pix_fmt", "yuv444p", "-"});
    auto frames = split(result.out, static_cast<size_t>(width) * height * 3);
    for (auto& frame : frames) {
        frame.resize(static_cast<size_t>(width) * height);
    }
    return frames;
}

std::vector<uint8_t> MovieTools::rgbaFrame(const std::string& path, int k, int width, int height,
                                           const std::string& matrix, const std::string& range) {
    const std::string filters = "select=eq(n\\," + std::to_string(k) +
                                "),scale=in_color_matrix=" + matrix + ":in_range=" + range +
                                ":out_range=pc,format=rgba";
    const auto result = run("ffmpeg", {"-nostdin", "-loglevel", "error", "-i", path, "-vf", filters,
                                       "-frames:v", "1", "-f", "rawvideo", "-"});
    const auto frames = split(result.out, static_cast<size_t>(width) * height * 4);
    return frames.empty() ? std::vector<uint8_t>{} : frames.front();
}

} // namespace lumenarc::test
