// lumenarc-render as its users run it: real movies made with ffmpeg's synthetic sources, real
// renders, and what ffprobe and ffmpeg find in the files written.

#include "MovieTools.h"
#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "support/BackgroundProcess.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace lumenarc {
namespace {

using test::binPath;
using test::MovieTools;
using test::ProcessResult;
using test::runProcess;
using test::TempDir;

const std::string kDome = LUMENARC_SHARE_DIR "/meshes/dome-fisheye.data";
const std::string kRect = LUMENARC_SHARE_DIR "/rect.data";
const std::string kInvalid = "Sorry, this does not appear to be a valid data file\n";

ProcessResult render(const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> argv{binPath("lumenarc-render")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv, test::ProcessOptions{env, {}, std::chrono::milliseconds(180000)});
}

std::string path(const TempDir& dir, const std::string& name) {
    return (dir.path() / name).string();
}

// A movie from ffmpeg's test pattern: `seconds` at 25 frames a second, H.264 with B-frames;
// `extra` output options may override the defaults.
std::string makeMovie(const TempDir& dir, const std::string& name, const std::string& size,
                      double seconds, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"-f",       "lavfi",
                                  "-i",       "testsrc2=size=" + size + ":rate=25",
                                  "-t",       std::to_string(seconds),
                                  "-c:v",     "libx264",
                                  "-preset",  "veryfast",
                                  "-pix_fmt", "yuv420p"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(path(dir, name));
    EXPECT_TRUE(MovieTools::ffmpeg(args)) << name;
    return path(dir, name);
}

std::string makeMovieWithSound(const TempDir& dir, const std::string& name,
                               const std::string& audioCodec) {
    const std::string out = path(dir, name);
    EXPECT_TRUE(MovieTools::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25", "-f",
                                    "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t",
                                    "1", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                    "yuv420p", "-c:a", audioCodec, out}));
    return out;
}

void expectSameTimes(const std::vector<double>& expected, const std::vector<double>& actual,
                     double shift = 0) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(expected[k] - shift, actual[k], 1e-6) << "frame " << k;
    }
}

TEST(RenderTool, KeepsEveryFrameAndItsTimeAtAConstantRate) {
    TempDir dir;
    const auto movie = makeMovie(dir, "cfr.mp4", "160x120", 1);
    const auto times = MovieTools::frameTimes(movie);
    ASSERT_EQ(times.size(), 25u);
    for (const std::string out : {"cfr-out.mp4", "cfr-out.mkv", "cfr-out.mov"}) {
        const auto result =
            render({"--mesh", kDome, "--size", "128x96", "--out", path(dir, out), movie});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "") << "no terminal: nothing but errors";
        expectSameTimes(times, MovieTools::frameTimes(path(dir, out)));
    }
}

TEST(RenderTool, KeepsAVariableFrameRate) {
    TempDir dir;
    // Every third frame and every fifth one after the first: gaps of 40, 80 and 120 ms.
    const auto movie =
        makeMovie(dir, "vfr.mp4", "160x120", 2,
                  {"-vf", "select='not(mod(n\\,3))+eq(mod(n\\,5)\\,1)'", "-fps_mode", "vfr"});
    const auto times = MovieTools::frameTimes(movie);
    ASSERT_GT(times.size(), 10u);
    std::vector<long> gaps;
    for (size_t k = 1; k < times.size(); ++k) {
        gaps.push_back(std::lround((times[k] - times[k - 1]) * 1000));
    }
    ASSERT_NE(std::count(gaps.begin(), gaps.end(), 40L), 0);
    ASSERT_NE(std::count(gaps.begin(), gaps.end(), 80L), 0) << "the input must be variable";
    for (const std::string out : {"vfr-out.mp4", "vfr-out.mkv"}) {
        const auto result =
            render({"--mesh", kDome, "--size", "128x96", "--out", path(dir, out), movie});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        expectSameTimes(times, MovieTools::frameTimes(path(dir, out)));
    }
}

// Sizes whose rows are not a whole number of vector blocks, in and out.
constexpr int kInWidth = 150, kInHeight = 100;
const std::string kOutSize = "121x91";

// Frame k of input `movie` converted to RGB as lumenarc-render converts it, written as a PNG
// without colour chunks so that lumenarc-warp reads the very same bytes, and drawn by it.
std::vector<uint8_t> warpOfFrame(const TempDir& dir, const std::string& movie, int k,
                                 const std::string& matrix, const std::string& range,
                                 const std::vector<std::string>& options,
                                 const std::string& size = kOutSize) {
    const auto rgba = MovieTools::rgbaFrame(movie, k, kInWidth, kInHeight, matrix, range);
    EXPECT_EQ(rgba.size(), size_t{kInWidth} * kInHeight * 4);
    const auto still = path(dir, "frame.png");
    EXPECT_TRUE(PngWriter::write(still, kInWidth, kInHeight, 4, rgba));
    const auto drawn = path(dir, "warped.png");
    std::vector<std::string> argv{binPath("lumenarc-warp"),
                                  "--mesh",
                                  kDome,
                                  "--image",
                                  still,
                                  "--out",
                                  drawn,
                                  "--size",
                                  size};
    argv.insert(argv.end(), options.begin(), options.end());
    const auto result = runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto image = ImageFile::read(drawn);
    std::vector<uint8_t> rgb;
    for (size_t p = 0; image && p < image->pixels().size(); p += 4) {
        rgb.insert(rgb.end(), image->pixels().begin() + static_cast<std::ptrdiff_t>(p),
                   image->pixels().begin() + static_cast<std::ptrdiff_t>(p + 3));
    }
    return rgb;
}

TEST(RenderTool, EachLosslessFrameEqualsTheStillToolOnThatFrame) {
    TempDir dir;
    const std::vector<std::string> options{"--grid", "--lines",  "--rotate",
                                           "0.3",    "--offset", "0.05,0.02"};
    struct Case {
        std::string name, matrix, range;
        std::vector<std::string> encoding;
        std::string tag, tagged; // what ffprobe must see in the input
    };
    const std::vector<Case> cases{
        {"untagged.mp4", "bt601", "tv", {}, "color_space", "unknown"},
        {"bt709.mp4",
         "bt709",
         "tv",
         {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-colorspace", "bt709",
          "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"},
         "color_space",
         "bt709"},
        {"full-range.mp4",
         "bt601",
         "pc",
         {"-vf", "scale=out_range=pc", "-pix_fmt", "yuvj420p"},
         "color_range",
         "pc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto movie = makeMovie(dir, c.name, "150x100", 1, c.encoding);
        ASSERT_EQ(MovieTools::streamEntry(movie, "v:0", c.tag), c.tagged);
        const auto out = path(dir, c.name + ".mkv");
        std::vector<std::string> args{"--mesh",  kDome,  "--size", kOutSize,
                                      "--codec", "ffv1", "--out",  out};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(movie);
        const auto result = render(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(MovieTools::streamEntry(out, "v:0", "pix_fmt"), "bgr0");
        const auto frames = MovieTools::rgbFrames(out, 121, 91);
        ASSERT_EQ(frames.size(), 25u);
        for (const int k : {0, 1, 13, 24}) {
            const auto still = warpOfFrame(dir, movie, k, c.matrix, c.range, options);
            EXPECT_TRUE(still == frames[static_cast<size_t>(k)]) << "frame " << k;
            // Neighbouring frames differ, so the comparison sees which frame it has.
            EXPECT_FALSE(still == frames[static_cast<size_t>(k == 0 ? 1 : k - 1)]);
        }
    }
}

// 8-bit YUV frames with the output's colour are warped plane by plane, without RGB between:
// a lossless H.264 frame (4:2:0) and a ProRes 4444 one (10 bits), decoded, have the luma of
// the still tool's picture, and the frames keep their order and rows.
TEST(RenderTool, APlaneByPlaneFrameHasTheLumaOfTheStillToolsPicture) {
    TempDir dir;
    const auto movie = makeMovie(dir, "untagged.mp4", "150x100", 1);
    const std::vector<std::string> options{"--no-overlay", "--rotate", "0.3"};
    for (const auto& [codec, quality, file] :
         {std::tuple{"h264", "0", "lossless.mkv"}, std::tuple{"prores", "4", "4444.mov"}}) {
        SCOPED_TRACE(file);
        const auto out = path(dir, file);
        std::vector<std::string> args{"--mesh", kDome,       "--size", "120x90", "--codec",
                                      codec,    "--quality", quality,  "--out",  out};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(movie);
        const auto result = render(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto frames = MovieTools::lumaFrames(out, 120, 90);
        ASSERT_EQ(frames.size(), 25u);
        for (const int k : {0, 13, 24}) {
            const auto still = warpOfFrame(dir, movie, k, "bt601", "tv", options, "120x90");
            ASSERT_EQ(still.size(), frames[size_t(k)].size() * 3);
            // The still's luma, by BT.601 in limited range, against the luma plane as stored,
            // and against it upside down.
            const auto difference = [&](bool flipped) {
                std::vector<int> d;
                for (int y = 0; y < 90; ++y) {
                    for (int x = 0; x < 120; ++x) {
                        const uint8_t* p = &still[size_t(y * 120 + x) * 3];
                        const double luma =
                            16 + (65.481 * p[0] + 128.553 * p[1] + 24.966 * p[2]) / 255;
                        const int row = flipped ? 89 - y : y;
                        d.push_back(std::abs(int(std::lround(luma)) -
                                             frames[size_t(k)][size_t(row * 120 + x)]));
                    }
                }
                std::sort(d.begin(), d.end());
                return std::pair{d[d.size() / 2], d[d.size() * 99 / 100]};
            };
            // RGB clips at sharp colour edges, where half-resolution chroma strays most; a
            // hundredth of the pixels may be a few levels out.
            const auto [median, p99] = difference(false);
            EXPECT_LE(median, 1) << "frame " << k;
            EXPECT_LE(p99, 8) << "frame " << k;
            EXPECT_GT(difference(true).second, 50) << "frame " << k;
        }
    }
}

TEST(RenderTool, KeepsCopiesReencodesOrDropsTheSound) {
    TempDir dir;
    const auto aac = makeMovieWithSound(dir, "aac.mp4", "aac");
    const auto copied = path(dir, "copied.mp4");
    ASSERT_EQ(render({"--mesh", kRect, "--size", "96x64", "--out", copied, aac}).exitCode, 0);
    EXPECT_EQ(MovieTools::streamEntry(copied, "a:0", "codec_name"), "aac");
    // Copied, not re-encoded: the same packets.
    const std::vector<std::string> sizes{"-select_streams", "a:0", "-show_entries",
                                         "packet=size,pts", "-of", "csv=p=0"};
    auto in = sizes, outArgs = sizes;
    in.push_back(aac);
    outArgs.push_back(copied);
    EXPECT_EQ(MovieTools::ffprobe(in), MovieTools::ffprobe(outArgs));

    // MP4 takes no PCM: re-encoded; Matroska takes it as it is.
    const auto pcm = makeMovieWithSound(dir, "pcm.mov", "pcm_s16le");
    const auto reencoded = path(dir, "reencoded.mp4");
    ASSERT_EQ(render({"--mesh", kRect, "--size", "96x64", "--out", reencoded, pcm}).exitCode, 0);
    EXPECT_EQ(MovieTools::streamEntry(reencoded, "a:0", "codec_name"), "aac");
    EXPECT_NEAR(std::strtod(MovieTools::streamEntry(reencoded, "a:0", "duration").c_str(), nullptr),
                1.0, 0.05);
    const auto kept = path(dir, "kept.mkv");
    ASSERT_EQ(render({"--mesh", kRect, "--size", "96x64", "--out", kept, pcm}).exitCode, 0);
    EXPECT_EQ(MovieTools::streamEntry(kept, "a:0", "codec_name"), "pcm_s16le");

    const auto silent = path(dir, "silent.mp4");
    ASSERT_EQ(
        render({"--mesh", kRect, "--size", "96x64", "--no-audio", "--out", silent, aac}).exitCode,
        0);
    EXPECT_EQ(MovieTools::streamEntry(silent, "a", "codec_name"), "");
    EXPECT_EQ(MovieTools::streamEntry(silent, "v:0", "codec_name"), "h264");
}

TEST(RenderTool, StartAndDurationCutOnFrameBoundaries) {
    TempDir dir;
    const auto movie = makeMovie(dir, "two-seconds.mp4", "160x120", 2);
    const auto times = MovieTools::frameTimes(movie);
    ASSERT_EQ(times.size(), 50u);
    const auto whole = path(dir, "whole.mkv");
    ASSERT_EQ(render({"--mesh", kDome, "--size", "64x48", "--codec", "ffv1", "--out", whole, movie})
                  .exitCode,
              0);
    const auto all = MovieTools::rgbFrames(whole, 64, 48);
    ASSERT_EQ(all.size(), 50u);
    struct Cut {
        std::string start, duration;
        size_t first, count;
    };
    // 0.5 falls between frames 12 (0.48 s) and 13 (0.52 s); 0.52 is frame 13 itself.
    for (const Cut& cut :
         {Cut{"0.5", "0.4", 13, 10}, Cut{"0.52", "0.2", 13, 5}, Cut{"1.9", "5", 48, 2}}) {
        SCOPED_TRACE("--start " + cut.start + " --duration " + cut.duration);
        const auto out = path(dir, "cut.mkv");
        const auto result =
            render({"--mesh", kDome, "--size", "64x48", "--codec", "ffv1", "--start", cut.start,
                    "--duration", cut.duration, "--out", out, movie});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto frames = MovieTools::rgbFrames(out, 64, 48);
        ASSERT_EQ(frames.size(), cut.count);
        for (size_t k = 0; k < cut.count; ++k) {
            EXPECT_TRUE(frames[k] == all[cut.first + k]) << "frame " << k;
        }
        const std::vector<double> expected(times.begin() + static_cast<std::ptrdiff_t>(cut.first),
                                           times.begin() +
                                               static_cast<std::ptrdiff_t>(cut.first + cut.count));
        expectSameTimes(expected, MovieTools::frameTimes(out), std::stod(cut.start));
    }
}

bool hasPartFile(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().ends_with(".part")) {
            return true;
        }
    }
    return false;
}

TEST(RenderTool, AStoppedRenderLeavesNoFileAndTheEarlierOneIntact) {
    TempDir dir;
    const auto movie = makeMovie(dir, "long.mp4", "320x240", 8);
    // A hang-up the test itself inherited as ignored (nohup) would be kept by the render.
    std::signal(SIGHUP, SIG_DFL);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        const auto out = path(dir, "out.mp4");
        std::filesystem::remove(out);
        if (signalNumber == SIGINT) {
            dir.write("out.mp4", "the earlier movie");
        }
        test::BackgroundProcess process(
            {binPath("lumenarc-render"), "--mesh", kDome, "--size", "640x480", "--out", out, movie},
            {});
        // Under way: its temporary file is there.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!hasPartFile(dir) && process.running() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(hasPartFile(dir)) << process.errors();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(process.running()) << "the render must still be going";
        const auto signalled = std::chrono::steady_clock::now();
        process.signal(signalNumber);
        EXPECT_EQ(process.wait(std::chrono::milliseconds(5000)), 128 + signalNumber);
        std::cout << "stopped in "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - signalled)
                         .count()
                  << " ms\n";
        EXPECT_EQ(process.errors(), "");
        EXPECT_FALSE(hasPartFile(dir));
        if (signalNumber == SIGINT) {
            EXPECT_EQ(test::readFile(out), "the earlier movie");
        } else {
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
}

TEST(RenderTool, BadInputGetsAClearMessageAndStatusOne) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "96x64", 0.4);
    const auto out = path(dir, "out.mp4");
    ASSERT_TRUE(MovieTools::ffmpeg(
        {"-f", "lavfi", "-i", "sine=frequency=440", "-t", "0.5", path(dir, "sound.m4a")}));
    std::filesystem::create_directory(dir.path() / "folder.mp4");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--mesh", kDome, "--out", out, path(dir, "missing.mp4")},
         "lumenarc-render: cannot read " + path(dir, "missing.mp4") +
             ": No such file or directory\n"},
        {{"--mesh", kDome, "--out", out, dir.write("text.mp4", "not a movie at all")},
         "lumenarc-render: cannot read " + path(dir, "text.mp4") +
             ": Invalid data found when processing input\n"},
        {{"--mesh", kDome, "--out", out, path(dir, "sound.m4a")},
         "lumenarc-render: " + path(dir, "sound.m4a") + " has no video stream\n"},
        {{"--mesh", dir.write("bad.data", "1 4 4 0 0"), "--out", out, movie},
         kInvalid + path(dir, "bad.data") + ": too short: 0 nodes found of 16 expected\n"},
        {{"--mesh", kDome, "--size", "97x64", "--out", out, movie},
         "lumenarc-render: h264 needs an even width and height, and 97x64 is not\n"},
        {{"--mesh", kDome, "--size", "97x65", "--codec", "prores", "--out", path(dir, "out.mov"),
          movie},
         "lumenarc-render: prores needs an even width, and 97x65 is not\n"},
        {{"--mesh", kDome, "--size", "98x64", "--codec", "hap", "--out", path(dir, "out.mov"),
          movie},
         "lumenarc-render: hap needs a width and height that are multiples of 4, and 98x64 is "
         "not\n"},
        {{"--mesh", kDome, "--out", path(dir, "no/such/folder/out.mp4"), movie},
         "lumenarc-render: cannot write " + path(dir, "no/such/folder/out.mp4") +
             ": No such file or directory\n"},
        {{"--mesh", kDome, "--out", path(dir, "folder.mp4"), movie},
         "lumenarc-render: cannot write " + path(dir, "folder.mp4") + ": it is a folder\n"},
        {{"--mesh", kDome, "--start", "30", "--out", out, movie},
         "lumenarc-render: " + movie + " has no video frames in the part asked for\n"},
    };
    for (const auto& c : cases) {
        const auto result = render(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_EQ(result.err, c.message);
        EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
        EXPECT_FALSE(hasPartFile(dir)) << c.message;
    }
    // An odd size is fine for the lossless RGB codec.
    const auto odd = path(dir, "odd.mkv");
    EXPECT_EQ(render({"--mesh", kDome, "--size", "97x65", "--codec", "ffv1", "--out", odd, movie})
                  .exitCode,
              0);
    EXPECT_EQ(MovieTools::streamEntry(odd, "v:0", "width"), "97");
}

// Writing OUT would replace the movie being read, under whatever name OUT gives it.
TEST(RenderTool, RefusesAnOutThatIsTheInput) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "96x64", 0.4);
    const auto frames = MovieTools::frameTimes(movie).size();
    std::filesystem::create_directory(dir.path() / "sub");
    std::filesystem::create_symlink(movie, dir.path() / "link.mp4");
    for (const auto& out : {movie, path(dir, "sub/../movie.mp4"), path(dir, "./link.mp4")}) {
        const auto result = render({"--mesh", kDome, "--size", "96x64", "--out", out, movie});
        EXPECT_EQ(result.exitCode, 1) << out;
        EXPECT_EQ(result.err, "lumenarc-render: OUT " + out + " is the input movie " + movie +
                                  "; writing it would destroy it\n");
        EXPECT_EQ(MovieTools::frameTimes(movie).size(), frames) << out;
    }
    EXPECT_FALSE(hasPartFile(dir));
}

// A start or duration past what the movie's time base counts (1/12800 s: 1.8e14 s) is a usage
// error, named, and not a wrapped-round time.
TEST(RenderTool, RefusesTimesBeyondTheMoviesTimeBase) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "96x64", 0.4);
    const auto out = path(dir, "out.mp4");
    for (const char* option : {"--start", "--duration"}) {
        for (const char* seconds : {"1e15", "1e308"}) {
            const auto result =
                render({"--mesh", kDome, "--size", "96x64", option, seconds, "--out", out, movie});
            EXPECT_EQ(result.exitCode, 2) << option << " " << seconds << ": " << result.err;
            EXPECT_EQ(result.err.rfind(std::string("lumenarc-render: ") + option + " 1e+", 0), 0u)
                << result.err;
            EXPECT_NE(result.err.find(" is beyond what the movie's time base (1/12800 s) counts: "
                                      "at most 1.80144e+14 seconds\n"),
                      std::string::npos)
                << result.err;
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
    // A long duration within it is simply the whole movie.
    EXPECT_EQ(
        render({"--mesh", kDome, "--size", "96x64", "--duration", "1e14", "--out", out, movie})
            .exitCode,
        0);
    EXPECT_EQ(MovieTools::frameTimes(out).size(), 10u);
}

TEST(RenderTool, AMissingEncoderIsNamed) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "96x64", 0.2);
    const auto out = path(dir, "out.mp4");
    // A libavcodec without libx265, as some distributions build it.
    const auto result =
        render({"--mesh", kDome, "--size", "96x64", "--codec", "hevc", "--out", out, movie},
               {{"LD_PRELOAD", LUMENARC_HIDE_ENCODER_LIB},
                {"LUMENARC_HIDE_ENCODER", "libx265"},
                {"ASAN_OPTIONS", "verify_asan_link_order=0"}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "lumenarc-render: the hevc encoder (libx265) is not available in this "
                          "libavcodec\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(hasPartFile(dir));
}

TEST(RenderTool, AFullDiskFailsCleanly) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "160x120", 1);
    std::filesystem::create_directory(dir.path() / "small");
    const auto small = path(dir, "small");
    // A 256 KiB file system of its own, in a private mount namespace; the lossless movie
    // needs about a megabyte.
    const auto probe = runProcess({"/usr/bin/env", "unshare", "-rm", "true"});
    if (probe.exitCode != 0) {
        GTEST_SKIP() << "no user namespaces here to mount a small file system: " << probe.err;
    }
    const std::string script = "mount -t tmpfs -o size=256k tmpfs \"$1\" && shift && "
                               "\"$@\"; status=$?; ls -A \"$0\"; exit $status";
    const auto result = runProcess(
        {"/usr/bin/env", "unshare", "-rm", "sh", "-c", script, small, small,
         binPath("lumenarc-render"), "--mesh", kDome, "--size", "320x240", "--codec", "ffv1",
         "--out", small + "/out.mkv", movie},
        test::ProcessOptions{{{"ASAN_OPTIONS", "detect_leaks=0"}}, {}, std::chrono::minutes(3)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err,
              "lumenarc-render: cannot write " + small + "/out.mkv: No space left on device\n");
    EXPECT_EQ(result.out, "") << "nothing is left on the full file system";
}

TEST(RenderTool, UsageErrorsExitTwo) {
    TempDir dir;
    const auto movie = path(dir, "any.mp4");
    const auto out = path(dir, "out.mp4");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--mesh", kDome, "--out", out},
             {"--mesh", kDome, movie},
             {"--out", out, movie},
             {"--mesh", kDome, "--out", path(dir, "out.avi"), movie},
             {"--mesh", kDome, "--out", path(dir, "no-extension"), movie},
             {"--mesh", kDome, "--out", out, "--codec", "vp9", movie},
             {"--mesh", kDome, "--out", out, "--codec", "prores", movie},
             {"--mesh", kDome, "--out", out, "--codec", "ffv1", movie},
             {"--mesh", kDome, "--out", path(dir, "o.mkv"), "--codec", "ffv1", "--quality", "3",
              movie},
             {"--mesh", kDome, "--out", out, "--quality", "52", movie},
             {"--mesh", kDome, "--out", out, "--quality", "high", movie},
             {"--mesh", kDome, "--out", path(dir, "o.mov"), "--codec", "prores", "--quality", "6",
              movie},
             {"--mesh", kDome, "--out", path(dir, "o.mkv"), "--codec", "hap", movie},
             {"--mesh", kDome, "--out", path(dir, "o.mov"), "--codec", "hap", "--quality", "3",
              movie},
             {"--mesh", kDome, "--out", out, "--start", "-1", movie},
             {"--mesh", kDome, "--out", out, "--duration", "0", movie},
             {"--mesh", kDome, "--out", out, "--duration", "nan", movie},
             {"--mesh", kDome, "--out", out, "--size", "0x10", movie},
             {"--mesh", kDome, "--out", out, "--rotate", "x", movie},
             {"--mesh", kDome, "--out", out, "--bogus", "1", movie},
             {"--mesh", kDome, "--out", out, movie, movie},
             {"--mesh", kDome, "--out", out, movie, "--start"},
         }) {
        const auto result = render(args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(result.err.find("Usage: lumenarc-render"), std::string::npos);
    }
    const auto help = render({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("(default 1920x1080)"), std::string::npos);
    EXPECT_NE(help.out.find("x264 CRF, 0 (lossless) to 51, lower is better (default 18)"),
              std::string::npos);
    EXPECT_NE(help.out.find("prores: profile 0 proxy"), std::string::npos);
}

TEST(RenderTool, H264RenderCarriesCodecSizeRateAndColourTags) {
    TempDir dir;
    // An HD movie of one colour, in BT.709 and tagged so.
    const auto movie = path(dir, "hd.mp4");
    ASSERT_TRUE(MovieTools::ffmpeg({"-f",
                                    "lavfi",
                                    "-i",
                                    "color=c=0xC04020:size=1280x720:rate=25",
                                    "-t",
                                    "0.2",
                                    "-vf",
                                    "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                                    "-colorspace",
                                    "bt709",
                                    "-color_primaries",
                                    "bt709",
                                    "-color_trc",
                                    "bt709",
                                    "-color_range",
                                    "tv",
                                    "-c:v",
                                    "libx264",
                                    "-preset",
                                    "ultrafast",
                                    movie}));
    const auto out = path(dir, "hd-out.mp4");
    const auto result =
        render({"--mesh", kRect, "--size", "1280x720", "--no-overlay", "--out", out, movie});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::pair<std::string, std::string>> expected{
        {"codec_name", "h264"},     {"width", "1280"},
        {"height", "720"},          {"r_frame_rate", "25/1"},
        {"color_space", "bt709"},   {"color_range", "tv"},
        {"pix_fmt", "yuv420p"},     {"color_primaries", "bt709"},
        {"color_transfer", "bt709"}};
    for (const auto& [entry, value] : expected) {
        EXPECT_EQ(MovieTools::streamEntry(out, "v:0", entry), value) << entry;
    }
    EXPECT_EQ(MovieTools::frameTimes(out).size(), 5u);
    // The middle of the picture, decoded by ffmpeg by the tags: the same colour as the input's.
    const auto middle = [](const std::string& file) {
        const auto frames = MovieTools::rgbFrames(file, 1280, 720);
        EXPECT_FALSE(frames.empty());
        const size_t at = (360 * 1280 + 640) * 3;
        return frames.empty()
                   ? std::vector<int>{}
                   : std::vector<int>{frames[0][at], frames[0][at + 1], frames[0][at + 2]};
    };
    const auto before = middle(movie), after = middle(out);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(after.size(), 3u);
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(after[c], before[c], 3) << "channel " << c;
    }
    // Below HD the output is BT.601.
    const auto sd = path(dir, "sd-out.mp4");
    ASSERT_EQ(render({"--mesh", kRect, "--size", "640x480", "--out", sd, movie}).exitCode, 0);
    EXPECT_EQ(MovieTools::streamEntry(sd, "v:0", "color_space"), "smpte170m");
}

TEST(RenderTool, EachCodecWritesItsOwnKind) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "96x64", 0.2);
    struct Case {
        std::string codec, file, quality, entry, value;
    };
    for (const Case& c : {Case{"prores", "hq.mov", "", "profile", "HQ"},
                          Case{"prores", "4444.mkv", "4", "profile", "4444"},
                          Case{"hevc", "hevc.mp4", "28", "codec_tag_string", "hvc1"},
                          Case{"ffv1", "ffv1.mov", "", "pix_fmt", "bgr0"},
                          Case{"hap", "hap.mov", "", "codec_tag_string", "Hap1"},
                          Case{"hap", "hapq.mov", "1", "codec_tag_string", "HapY"},
                          Case{"hap", "hapalpha.mov", "2", "codec_tag_string", "Hap5"},
                          Case{"h264", "h264.mkv", "30", "codec_name", "h264"}}) {
        std::vector<std::string> args{"--mesh",  kDome,   "--size", "96x64",
                                      "--codec", c.codec, "--out",  path(dir, c.file)};
        if (!c.quality.empty()) {
            args.insert(args.end(), {"--quality", c.quality});
        }
        args.push_back(movie);
        const auto result = render(args);
        ASSERT_EQ(result.exitCode, 0) << c.file << ": " << result.err;
        EXPECT_EQ(MovieTools::streamEntry(path(dir, c.file), "v:0", c.entry), c.value) << c.file;
        EXPECT_EQ(MovieTools::frameTimes(path(dir, c.file)).size(), 5u) << c.file;
    }
}

TEST(RenderTool, ShowsProgressOnATerminalOnly) {
    TempDir dir;
    const auto movie = makeMovie(dir, "movie.mp4", "160x120", 1);
    const auto out = path(dir, "out.mp4");
    // script(1) runs the command on a pseudo-terminal and copies what it shows.
    const auto onTerminal = [&](const std::string& extra) {
        const std::string command = binPath("lumenarc-render") + " --mesh " + kDome +
                                    " --size 128x96 " + extra + " --out " + out + " " + movie;
        return runProcess({"/usr/bin/env", "script", "-qec", command, "/dev/null"});
    };
    const auto shown = onTerminal("");
    ASSERT_EQ(shown.exitCode, 0) << shown.out;
    EXPECT_NE(shown.out.find("100%  25 frames  "), std::string::npos) << shown.out;
    for (const char* word : {" fps  elapsed 0:0", "  remaining 0:00", "\r"}) {
        EXPECT_NE(shown.out.find(word), std::string::npos) << word << " in " << shown.out;
    }
    const auto quiet = onTerminal("--quiet");
    ASSERT_EQ(quiet.exitCode, 0) << quiet.out;
    EXPECT_EQ(quiet.out, "");
}

} // namespace
} // namespace lumenarc
