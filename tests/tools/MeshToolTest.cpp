#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace lumenarc {
namespace {

using test::binPath;
using test::runProcess;
using test::TempDir;

const std::string kInvalid = "Sorry, this does not appear to be a valid data file\n";

// The refusal: the sentence, then the file and why on a line of its own.
bool refused(const std::string& err, const std::string& file) {
    const std::string head = kInvalid + file + ": ";
    return err.starts_with(head) && err.size() > head.size() + 1 &&
           err.find('\n', head.size()) == err.size() - 1;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::string g17(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

TEST(MeshTool, InfoDescribesTheBuiltInMesh) {
    const auto result =
        runProcess({binPath("lumenarc-mesh"), "info", LUMENARC_SHARE_DIR "/rect.data"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_GE(out.size(), 10u);
    EXPECT_EQ(out[0], "type       1 planar");
    EXPECT_EQ(out[1], "layout     mono");
    EXPECT_EQ(out[2], "width      17");
    EXPECT_EQ(out[3], "height     17");
    EXPECT_EQ(out[4], "nodes      289");
    EXPECT_EQ(out[5], "x          -1 .. 1");
    EXPECT_EQ(out[7], "u          0 .. 1");
    EXPECT_EQ(out[9], "i          1 .. 1");
}

TEST(MeshTool, DumpPrintsStoredAndSampledValuesInFileOrder) {
    TempDir dir;
    const auto file = dir.write("m.data", "12 2 1\n0.5 -0.25 1.2 0.5 1.5\n-1 1 0.1 0.2 -0.2\n");
    const auto result = runProcess({binPath("lumenarc-mesh"), "dump", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "type 12 width 2 height 1");
    EXPECT_EQ(out[1], "0 0 0.5 -0.25 1.2 0.5 1.5 1 0.5 1");
    // Unturned, the u sample is ((2u - 1) + 1) / 2: u itself up to the rounding of the formula.
    const double uSample = ((2.0 * 0.1 - 1.0) * 1.0 + (2.0 * 0.2 - 1.0) * 0.0 + 1.0) * 0.5;
    EXPECT_EQ(out[2], "1 0 -1 1 " + g17(0.1) + " " + g17(0.2) + " -0.20000000000000001 " +
                          g17(uSample) + " " + g17(0.2) + " 0");
}

TEST(MeshTool, DumpAppliesRotationAndOffsetAsSinglePrecision) {
    TempDir dir;
    const auto file = dir.write("m.data", "1 1 1 0 0 0.5 0.5 1");
    const auto result = runProcess(
        {binPath("lumenarc-mesh"), "dump", "--offset", "0.01,-0.1", "--rotate", "3", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 2u);
    // The centre does not move under rotation; the offsets arrive as 32-bit floats.
    EXPECT_EQ(out[1], "0 0 0 0 0.5 0.5 1 " + g17(0.5 + static_cast<double>(0.01f)) + " " +
                          g17(0.5 + static_cast<double>(-0.1f)) + " 1");
}

TEST(MeshTool, RejectedFilesAndUsageErrors) {
    TempDir dir;
    for (const auto& bad :
         {dir.write("bad.data", "7 2 2 1 1 1"), dir.write("short.data", "1 2 2 0 0"),
          (dir.path() / "missing.data").string(), dir.path().string()}) {
        const auto result = runProcess({binPath("lumenarc-mesh"), "info", bad});
        EXPECT_EQ(result.exitCode, 1) << bad;
        EXPECT_TRUE(refused(result.err, bad)) << result.err;
        EXPECT_EQ(result.out, "");
    }
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"info"},
                                               {"dump", "--rotate", "x", "f"},
                                               {"dump", "--offset", "1", "f"},
                                               {"dump", "--rotate", "nan", "f"},
                                               {"dump", "--rotate", "1e30", "f"},
                                               {"dump", "--offset", "1e39,0", "f"},
                                               {"dump", "--offset", "0,-inf", "f"},
                                               {"info", "a", "b"}}) {
        std::vector<std::string> argv{binPath("lumenarc-mesh")};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = runProcess(argv);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("Usage"), std::string::npos);
    }
    const auto nan = runProcess({binPath("lumenarc-mesh"), "dump", "--rotate", "nan", "f"});
    EXPECT_EQ(
        nan.err.rfind("lumenarc-mesh: --rotate takes a number of radians from -100 to 100\n", 0),
        0u)
        << nan.err;
    const auto help = runProcess({binPath("lumenarc-mesh"), "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("dump"), std::string::npos);
}

TEST(MeshTool, HugeClaimIsRefusedWithoutAllocating) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#else
    TempDir dir;
    const auto file = dir.write("huge.data", "1 60000 60000 0 0 0 0 1");
    // 60000 x 60000 nodes would need 144 GB; under a 64 MB address-space limit an attempt
    // to allocate would abort instead of printing the usual rejection.
    const auto result = runProcess({"/bin/sh", "-c", "ulimit -v 65536 && exec \"$0\" info \"$1\"",
                                    binPath("lumenarc-mesh"), file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(refused(result.err, file)) << result.err;
#endif
}

// Sizes of 0 or less, down to the most negative, give a mesh without nodes: described, never
// walked.
TEST(MeshTool, MeshesWithoutNodesAreDescribedWithoutNodes) {
    TempDir dir;
    for (const auto& [width, height] : std::vector<std::pair<std::string, std::string>>{
             {"-2147483648", "2"}, {"2", "-2147483648"}, {"2147483647", "0"}}) {
        const std::string size = width + " " + height;
        const auto file = dir.write("empty.data", "1 " + size + "\n");
        const auto info = runProcess({binPath("lumenarc-mesh"), "info", file});
        EXPECT_EQ(info.exitCode, 0) << size;
        EXPECT_NE(info.out.find("nodes      0\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("x          (no nodes)"), std::string::npos) << info.out;
        const auto dump = runProcess({binPath("lumenarc-mesh"), "dump", file});
        EXPECT_EQ(dump.exitCode, 0) << size;
        EXPECT_EQ(dump.out, "type 1 width " + width + " height " + height + "\n");
    }
}

// A FIFO is refused at once with the usual message: without a writer it used to block the
// tool for ever, deaf to SIGTERM.
TEST(MeshTool, AFifoIsRefusedAtOnce) {
    TempDir dir;
    const auto fifo = (dir.path() / "fifo.data").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    test::ProcessOptions options;
    options.timeout = std::chrono::seconds(20);
    const auto result = runProcess({binPath("lumenarc-mesh"), "info", fifo}, options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(refused(result.err, fifo)) << result.err;
    EXPECT_EQ(result.out, "");
}

// /dev/zero, and a sparse 2 GiB file beyond the 1 GiB limit, are refused before anything is
// read: under a 64 MB address-space limit, mapping or reading them would abort instead.
TEST(MeshTool, EndlessAndOversizedFilesAreRefusedWithoutReading) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#else
    TempDir dir;
    const auto sparse = dir.write("sparse.data", "1 2 2");
    std::filesystem::resize_file(sparse, std::uintmax_t{2} << 30);
    for (const std::string& file : {sparse, std::string("/dev/zero")}) {
        const auto result =
            runProcess({"/bin/sh", "-c", "ulimit -v 65536 && exec \"$0\" info \"$1\"",
                        binPath("lumenarc-mesh"), file});
        EXPECT_EQ(result.exitCode, 1) << file;
        EXPECT_TRUE(refused(result.err, file)) << result.err;
    }
#endif
}

TEST(MeshTool, OutputDoesNotDependOnTheUsersLocale) {
    TempDir dir;
    const auto locales = dir.path() / "locales";
    std::filesystem::create_directories(locales);
    const auto built = runProcess(
        {"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", (locales / "de_DE.UTF-8").string()});
    ASSERT_TRUE(built.exitCode == 0 || built.exitCode == 1) << built.err;
    const auto file = dir.write("m.data", "1 1 1 0.25 -0.5 0.125 0.75 0.5");
    const auto plain = runProcess({binPath("lumenarc-mesh"), "dump", "--rotate", "0.5", file});
    test::ProcessOptions options;
    options.env = {{"LOCPATH", locales.string()}, {"LC_ALL", "de_DE.UTF-8"}};
    const auto german =
        runProcess({binPath("lumenarc-mesh"), "dump", "--rotate", "0.5", file}, options);
    ASSERT_EQ(plain.exitCode, 0);
    ASSERT_EQ(german.exitCode, 0) << german.err;
    EXPECT_EQ(german.out, plain.out);
    EXPECT_NE(plain.out.find("0.25 -0.5 0.125"), std::string::npos);
}

} // namespace
} // namespace lumenarc
