#include "mesh/MeshSaver.h"
#include "mesh/DistortionMatrix.h"
#include "mesh/MeshText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace lumenarc {
namespace {

using test::TempDir;

std::vector<MeshVertex> nodesOf(const std::vector<double>& values) {
    std::vector<MeshVertex> nodes;
    for (size_t k = 0; k + 5 <= values.size(); k += 5) {
        nodes.push_back({values[k], values[k + 1], values[k + 2], values[k + 3], values[k + 4]});
    }
    return nodes;
}

void expectSameBits(const std::vector<MeshVertex>& written, const DistortionMatrix& read) {
    ASSERT_EQ(read.vertices().size(), written.size());
    for (size_t k = 0; k < written.size(); ++k) {
        const auto& a = written[k];
        const auto& b = read.vertices()[k];
        for (auto [x, y] : {std::pair{a.x, b.x}, {a.y, b.y}, {a.u, b.u}, {a.v, b.v}, {a.i, b.i}}) {
            ASSERT_EQ(std::bit_cast<uint64_t>(x), std::bit_cast<uint64_t>(y))
                << "node " << k << ": " << x << " read back as " << y;
        }
    }
}

// Exponents with a sign, subnormals, negative zero, the extremes and infinities all read back
// as the very same bits, and so do random bit patterns of every magnitude.
TEST(MeshText, EveryValueReadsBackExactly) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values{
        1e-7, 5e20, -0.0,     4.9406564584124654e-324, DBL_MAX, DBL_MIN, 0.1,           1.0 / 3.0,
        1e22, 1e23, -1.5e300, 2.2250738585072009e-308, inf,     -inf,    123456.789e-30};
    std::mt19937_64 random(7);
    while (values.size() < 50000) {
        const double value = std::bit_cast<double>(random());
        if (!std::isnan(value)) {
            values.push_back(value);
        }
    }
    const auto nodes = nodesOf(values);
    std::string text;
    std::string why;
    ASSERT_TRUE(MeshText::write(2, 2, static_cast<int32_t>(nodes.size() / 2), nodes, text, why));
    EXPECT_EQ(text.find('+'), std::string::npos);
    const auto read = DistortionMatrix::initFromText(text, why);
    ASSERT_TRUE(read) << why;
    EXPECT_EQ(read->projectionType(), 2);
    expectSameBits(nodes, *read);
}

TEST(MeshText, NotANumberIsRefusedAndNothingWritten) {
    const std::vector<MeshVertex> nodes{{0, 0, 0, 0, 1}, {0, std::nan(""), 0, 0, 1}};
    std::string text = "kept";
    std::string why;
    EXPECT_FALSE(MeshText::write(1, 2, 1, nodes, text, why));
    EXPECT_EQ(text, "kept");
    EXPECT_NE(why.find("node 1"), std::string::npos) << why;
}

// The new file keeps the old one's mode; the first save keeps the old file as FILE.orig and a
// later one leaves that alone.
TEST(MeshSaver, KeepsModeAndTheOriginal) {
    TempDir dir;
    const std::string old = "1 1 1 0 0 0.5 0.5 1\n";
    const auto path = dir.write("dome.data", old);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const std::vector<MeshVertex> first{{0.25, -0.5, 0.125, 0.75, 0.5}};
    std::string why;
    ASSERT_TRUE(MeshSaver::save(path, 1, 1, 1, first, true, why)) << why;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640);
    EXPECT_EQ(test::readFile(MeshSaver::originalPath(path)), old);
    const auto read = DistortionMatrix::initFromFile(path, why);
    ASSERT_TRUE(read) << why;
    expectSameBits(first, *read);

    const std::vector<MeshVertex> second{{1e-9, 0, 0, 0, 0}};
    ASSERT_TRUE(MeshSaver::save(path, 1, 1, 1, second, true, why)) << why;
    EXPECT_EQ(test::readFile(MeshSaver::originalPath(path)), old);
    expectSameBits(second, *DistortionMatrix::initFromFile(path));
}

// A save that cannot be written whole (here: the file size limit, which holds for root too)
// leaves the old file as it was, no temporary file behind, and says why.
TEST(MeshSaver, AFailedSaveLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string old = "1 1 1 0 0 0.5 0.5 1\n";
    const auto path = dir.write("dome.data", old);
    const std::vector<MeshVertex> nodes(1000, MeshVertex{0.123456789, -0.5, 0.25, 0.75, 1});
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string why;
    const bool saved = MeshSaver::save(path, 1, 100, 10, nodes, false, why);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(test::readFile(path), old);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

} // namespace
} // namespace lumenarc
