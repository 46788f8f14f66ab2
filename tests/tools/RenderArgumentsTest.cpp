#include "rendertool/RenderArguments.h"
#include "rendertool/CodecTable.h"
#include "toolsupport/ToolArguments.h"
#include "warp/WarpArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumenarc {
namespace {

// argv as main gets it, from strings the test owns.
struct Argv {
    explicit Argv(std::vector<std::string> words) : strings(std::move(words)) {
        strings.insert(strings.begin(), "tool");
        for (auto& s : strings) {
            pointers.push_back(s.data());
        }
    }
    int argc() const { return static_cast<int>(pointers.size()); }
    char** argv() { return pointers.data(); }

    std::vector<std::string> strings;
    std::vector<char*> pointers;
};

RenderArguments::Result parse(std::vector<std::string> words) {
    Argv a(std::move(words));
    return RenderArguments::parse(a.argc(), a.argv());
}

TEST(RenderArguments, DefaultsAreAFullHdH264MovieWithSound) {
    const auto r = parse({"--mesh", "m.data", "--out", "o.mp4", "in.mov"});
    ASSERT_EQ(r.error, "");
    const auto& o = r.options;
    EXPECT_EQ(o.warp.mesh, "m.data");
    EXPECT_EQ(o.warp.width, 1920);
    EXPECT_EQ(o.warp.height, 1080);
    EXPECT_TRUE(o.warp.overlay);
    EXPECT_FALSE(o.warp.grid || o.warp.lines || o.warp.type);
    EXPECT_EQ(o.input, "in.mov");
    EXPECT_EQ(o.out, "o.mp4");
    EXPECT_EQ(o.container, "mp4");
    ASSERT_NE(o.codec, nullptr);
    EXPECT_EQ(o.codec->name, "h264");
    EXPECT_EQ(o.quality, 18);
    EXPECT_EQ(o.start, 0);
    EXPECT_FALSE(o.duration);
    EXPECT_TRUE(o.audio);
    EXPECT_FALSE(o.quiet);
}

TEST(RenderArguments, EveryOptionIsRead) {
    const auto r = parse(
        {"--size",   "640x360",   "--grid", "--lines",    "--no-overlay", "--rotate",   "0.5",
         "--offset", "0.25,-0.5", "--type", "3",          "--codec",      "prores",     "--quality",
         "5",        "--start",   "1.04",   "--duration", "2.5",          "--no-audio", "--quiet",
         "--mesh",   "m.data",    "in.mp4", "--out",      "O.MOV"});
    ASSERT_EQ(r.error, "");
    const auto& o = r.options;
    EXPECT_EQ(o.warp.width, 640);
    EXPECT_EQ(o.warp.height, 360);
    EXPECT_TRUE(o.warp.grid && o.warp.lines && !o.warp.overlay);
    EXPECT_FLOAT_EQ(o.warp.rotation, 0.5f);
    EXPECT_FLOAT_EQ(o.warp.du, 0.25f);
    EXPECT_FLOAT_EQ(o.warp.dv, -0.5f);
    EXPECT_EQ(o.warp.type, 3);
    EXPECT_EQ(o.codec->name, "prores");
    EXPECT_EQ(o.container, "mov");
    EXPECT_EQ(o.quality, 5);
    EXPECT_DOUBLE_EQ(o.start, 1.04);
    EXPECT_DOUBLE_EQ(*o.duration, 2.5);
    EXPECT_FALSE(o.audio);
    EXPECT_TRUE(o.quiet);
}

TEST(RenderArguments, EachUsageErrorSaysWhat) {
    const std::vector<std::string> base{"--mesh", "m.data", "--out", "o.mp4", "in.mp4"};
    const auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), base.begin(), base.end());
        return parse(extra).error;
    };
    EXPECT_EQ(parse({"--out", "o.mp4", "in.mp4"}).error, "--mesh, --out and INPUT are required");
    EXPECT_EQ(parse({"--mesh", "m", "--out", "o.webm", "in"}).error,
              "OUT must end in .mp4, .mov or .mkv");
    EXPECT_EQ(with({"--codec", "vp9"}), "--codec takes h264, hevc, prores, ffv1 or hap");
    EXPECT_EQ(with({"--codec", "ffv1"}), "ffv1 needs a .mov or .mkv file");
    EXPECT_EQ(parse({"--mesh", "m", "--out", "o.mkv", "--codec", "hap", "in"}).error,
              "hap needs a .mov file");
    EXPECT_EQ(
        parse({"--mesh", "m", "--out", "o.mov", "--codec", "hap", "--quality", "3", "in"}).error,
        "--quality for hap takes 0 to 2");
    EXPECT_EQ(with({"--quality", "52"}), "--quality for h264 takes 0 to 51");
    EXPECT_EQ(with({"--codec", "hevc", "--quality", "-1"}), "--quality for hevc takes 0 to 51");
    EXPECT_EQ(with({"--quality", "1.5"}), "--quality takes an integer");
    EXPECT_EQ(
        parse({"--mesh", "m", "--out", "o.mkv", "--codec", "ffv1", "--quality", "0", "in"}).error,
        "ffv1 is lossless and takes no --quality");
    EXPECT_EQ(with({"--start", "-0.1"}), "--start takes a number of seconds, 0 or more");
    EXPECT_EQ(with({"--start", "inf"}), "--start takes a number of seconds, 0 or more");
    EXPECT_EQ(with({"--duration", "0"}), "--duration takes a number of seconds, more than 0");
    EXPECT_EQ(with({"--size", "12"}), "--size takes WxH, each from 1 to 16384");
    EXPECT_EQ(with({"--offset", "1"}), "--offset takes two numbers DU,DV, each from -100 to 100");
    EXPECT_EQ(with({"--type", "x"}),
              "--type takes a projection code: 1 to 5, or 11 to 15 for stereo");
    EXPECT_EQ(with({"--fast", "1"}), "unknown option: --fast");
    EXPECT_EQ(with({"--duration"}), "unknown option or missing value: --duration");
    EXPECT_EQ(with({"--mesh"}), "unknown option or missing value: --mesh");
    EXPECT_EQ(with({"second.mp4"}), "only one INPUT, please");
    EXPECT_TRUE(parse({"--mesh", "m", "--help"}).help);
}

TEST(RenderArguments, UsageGivesEachQualityScaleAndItsDefault) {
    const auto usage = RenderArguments::usage();
    EXPECT_NE(usage.find("h264: x264 CRF, 0 (lossless) to 51, lower is better (default 18)"),
              std::string::npos);
    EXPECT_NE(usage.find("hevc: x265 CRF, 0 to 51, lower is better (default 20)"),
              std::string::npos);
    EXPECT_NE(
        usage.find("prores: profile 0 proxy, 1 LT, 2 standard, 3 HQ, 4 4444, 5 XQ (default 3)"),
        std::string::npos);
    EXPECT_NE(usage.find("ffv1: lossless"), std::string::npos);
    EXPECT_NE(usage.find("--size WxH         size of the picture in pixels (default 1920x1080)"),
              std::string::npos);
}

TEST(WarpArguments, TakesTheSharedDrawingOptionsOnly) {
    Argv a({"--grid", "--size", "10x20", "--image", "x", "--type"});
    WarpOptions o;
    EXPECT_EQ(WarpArguments::take(a.argc(), a.argv(), 1, o).taken, 1);
    EXPECT_TRUE(o.grid);
    EXPECT_EQ(WarpArguments::take(a.argc(), a.argv(), 2, o).taken, 2);
    EXPECT_EQ(o.width, 10);
    EXPECT_EQ(o.height, 20);
    const auto image = WarpArguments::take(a.argc(), a.argv(), 4, o);
    EXPECT_EQ(image.taken, 0);
    EXPECT_EQ(image.error, "");
    const auto missing = WarpArguments::take(a.argc(), a.argv(), 6, o);
    EXPECT_EQ(missing.taken, 0);
    EXPECT_EQ(missing.error, "unknown option or missing value: --type");
    EXPECT_NE(WarpArguments::help("1024x768").find("(default 1024x768)"), std::string::npos);
}

TEST(ToolArguments, ParseDoubleTakesWholeFiniteNumbers) {
    using tools::ToolArguments;
    EXPECT_DOUBLE_EQ(*ToolArguments::parseDouble("3600.04"), 3600.04);
    EXPECT_DOUBLE_EQ(*ToolArguments::parseDouble("1e1"), 10.0);
    for (const char* bad : {"", "1,5", "2s", "nan", "inf", "-inf", " "}) {
        EXPECT_FALSE(ToolArguments::parseDouble(bad)) << bad;
    }
}

TEST(CodecTable, ContainersFollowTheExtension) {
    EXPECT_EQ(CodecTable::containerFor("a/b.mp4"), "mp4");
    EXPECT_EQ(CodecTable::containerFor("B.MOV"), "mov");
    EXPECT_EQ(CodecTable::containerFor("show.final.mkv"), "matroska");
    EXPECT_FALSE(CodecTable::containerFor("film.avi"));
    EXPECT_FALSE(CodecTable::containerFor("folder.mp4/film"));
    EXPECT_FALSE(CodecTable::containerFor("mp4"));
    const auto& prores = *CodecTable::find("prores");
    EXPECT_FALSE(CodecTable::containerTakes("mp4", prores));
    EXPECT_FALSE(CodecTable::containerTakes("mp4", *CodecTable::find("ffv1")));
    EXPECT_TRUE(CodecTable::containerTakes("mp4", *CodecTable::find("hevc")));
    EXPECT_TRUE(CodecTable::containerTakes("mov", prores));
    EXPECT_TRUE(CodecTable::containerTakes("matroska", prores));
    EXPECT_EQ(CodecTable::find("av1"), nullptr);
}

TEST(CodecTable, PixelFormatsAndTheirEvenSides) {
    const auto& h264 = *CodecTable::find("h264");
    const auto& prores = *CodecTable::find("prores");
    const auto& ffv1 = *CodecTable::find("ffv1");
    EXPECT_EQ(CodecTable::pixelFormat(h264, 18), AV_PIX_FMT_YUV420P);
    EXPECT_EQ(CodecTable::pixelFormat(prores, 3), AV_PIX_FMT_YUV422P10LE);
    EXPECT_EQ(CodecTable::pixelFormat(prores, 4), AV_PIX_FMT_YUV444P10LE);
    EXPECT_EQ(CodecTable::pixelFormat(ffv1, 0), AV_PIX_FMT_BGR0);
    EXPECT_TRUE(CodecTable::isRgb(AV_PIX_FMT_BGR0));
    EXPECT_FALSE(CodecTable::isRgb(AV_PIX_FMT_YUV420P));
    EXPECT_TRUE(CodecTable::needsEvenWidth(AV_PIX_FMT_YUV420P));
    EXPECT_TRUE(CodecTable::needsEvenHeight(AV_PIX_FMT_YUV420P));
    EXPECT_TRUE(CodecTable::needsEvenWidth(AV_PIX_FMT_YUV422P10LE));
    EXPECT_FALSE(CodecTable::needsEvenHeight(AV_PIX_FMT_YUV422P10LE));
    EXPECT_FALSE(CodecTable::needsEvenWidth(AV_PIX_FMT_YUV444P10LE));
    EXPECT_FALSE(CodecTable::needsEvenWidth(AV_PIX_FMT_BGR0));
}

} // namespace
} // namespace lumenarc
