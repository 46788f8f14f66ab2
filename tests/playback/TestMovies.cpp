#include "playback/TestMovies.h"

#include "support/RunProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumenarc::test {
namespace {

constexpr std::chrono::milliseconds kFfmpegTimeout{30000};

std::string number(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string videoSource(const MovieSpec& spec) {
    if (!spec.video.empty()) {
        return spec.video;
    }
    return "testsrc2=size=" + size(spec.width, spec.height) + ":rate=" + std::to_string(spec.fps);
}

// The ffmpeg that PATH finds (the process runner takes no search path).
std::string ffmpeg() {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const auto candidate = std::filesystem::path(folders.substr(0, colon)) / "ffmpeg";
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate.string();
        }
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return "/usr/bin/ffmpeg";
}

bool run(std::vector<std::string> arguments) {
    std::vector<std::string> argv = {ffmpeg(),    "-nostdin", "-hide_banner",
                                     "-loglevel", "error",    "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    try {
        const ProcessResult result = runProcess(argv, ProcessOptions{{}, {}, kFfmpegTimeout});
        return result.exitCode == 0 && !result.timedOut;
    } catch (const std::runtime_error&) {
        return false; // ffmpeg could not be started
    }
}

} // namespace

bool TestMovies::make(const std::string& path, const MovieSpec& spec) {
    std::vector<std::string> argv = {"-f", "lavfi", "-i", videoSource(spec)};
    if (spec.audio) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"});
    }
    argv.insert(argv.end(), {"-t", number(spec.seconds), "-s", size(spec.width, spec.height), "-r",
                             std::to_string(spec.fps), "-c:v", "libx264", "-preset", "ultrafast",
                             "-pix_fmt", spec.pixelFormat,
                             // a key frame each second keeps exact seeks and back steps short
                             "-g", std::to_string(spec.fps)});
    if (spec.audio) {
        argv.insert(argv.end(), {"-c:a", "aac", "-b:a", "64k"});
    }
    if (!spec.title.empty()) {
        argv.insert(argv.end(), {"-metadata", "title=" + spec.title});
    }
    argv.push_back(path);
    return run(argv);
}

bool TestMovies::claimPictureSize(const std::string& path, int width, int height) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The avc1 sample entry inside stsd: 6 reserved bytes, a reference index, 16 bytes of
    // pre-defined fields, then width and height as 16-bit big-endian numbers.
    const size_t stsd = bytes.find("stsd");
    const size_t entry = stsd == std::string::npos ? stsd : bytes.find("avc1", stsd);
    if (entry == std::string::npos || entry + 32 > bytes.size()) {
        return false;
    }
    const size_t at = entry + 4 + 24;
    const auto put16 = [&](size_t offset, int value) {
        bytes[offset] = static_cast<char>((value >> 8) & 0xFF);
        bytes[offset + 1] = static_cast<char>(value & 0xFF);
    };
    put16(at, width);
    put16(at + 2, height);
    file.clear();
    file.seekp(0);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

bool TestMovies::makeColourImage(const std::string& path, int width, int height,
                                 const std::string& colour) {
    return run({"-f", "lavfi", "-i",
                "color=c=" + colour + ":s=16x16,scale=" + std::to_string(width) + ":" +
                    std::to_string(height),
                "-frames:v", "1", "-update", "1", path});
}

bool TestMovies::makeImage(const std::string& path, int width, int height) {
    return run({"-f", "lavfi", "-i", "testsrc2=size=" + size(width, height), "-frames:v", "1",
                "-update", "1", path});
}

} // namespace lumenarc::test
