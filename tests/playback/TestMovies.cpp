#include "playback/TestMovies.h"

#include "support/RunProcess.h"

#include <cstdlib>
#include <filesystem>
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
                             "-pix_fmt", "yuv420p",
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

bool TestMovies::makeImage(const std::string& path, int width, int height) {
    return run({"-f", "lavfi", "-i", "testsrc2=size=" + size(width, height), "-frames:v", "1",
                "-update", "1", path});
}

} // namespace lumenarc::test
