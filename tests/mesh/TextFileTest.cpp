#include "mesh/TextFile.h"
#include "mesh/DistortionMatrix.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::TempDir;

constexpr size_t kLimit = DistortionMatrix::kMaxFileBytes;

TEST(TextFile, RegularFilesAreReadWhole) {
    TempDir dir;
    std::string bytes = "1 1 1\n0 0 0.5 0.5 1\n";
    bytes += std::string("\0\xff", 2);
    const auto file = TextFile::read(dir.write("m.data", bytes), kLimit);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->text(), bytes);
    const auto empty = TextFile::read(dir.write("empty.data", ""), kLimit);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->text(), "");
    EXPECT_FALSE(TextFile::read((dir.path() / "missing.data").string(), kLimit));
}

// Anything but a regular file is refused at once: a FIFO without a writer would otherwise
// block the reader for ever, /dev/zero would grow without end. The load runs on a thread so a
// regression fails here instead of hanging the suite.
TEST(TextFile, AnythingButARegularFileIsRefusedWithoutBlocking) {
    TempDir dir;
    const auto fifo = (dir.path() / "fifo.data").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {fifo, std::string("/dev/zero"), std::string("/dev/null"), dir.path().string()}) {
        SCOPED_TRACE(path);
        std::promise<bool> refused;
        auto result = refused.get_future();
        std::thread load([&refused, &path] {
            refused.set_value(!TextFile::read(path, kLimit) &&
                              DistortionMatrix::initFromFile(path) == nullptr);
        });
        if (result.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << "the load blocked";
            // Releases a reader waiting for a writer: the FIFO then reads as empty.
            const int unblock = open(path.c_str(), O_RDWR | O_NONBLOCK);
            if (unblock >= 0) {
                close(unblock);
            }
        }
        load.join();
        EXPECT_TRUE(result.get());
    }
}

TEST(TextFile, FilesBeyondTheLimitAreRefusedFromTheirSize) {
    TempDir dir;
    const auto exact = dir.write("exact.data", std::string(100, '1'));
    EXPECT_TRUE(TextFile::read(exact, 100));
    EXPECT_FALSE(TextFile::read(exact, 99));
    // A sparse file of 2 GiB, twice the mesh limit: refused from its size, before a byte is
    // read or a buffer is made (the mesh tool's test checks this under a memory limit).
    const auto sparse = dir.path() / "sparse.data";
    dir.write("sparse.data", "1 2 2");
    std::filesystem::resize_file(sparse, 2 * kLimit);
    EXPECT_FALSE(TextFile::read(sparse.string(), kLimit));
    EXPECT_EQ(DistortionMatrix::initFromFile(sparse.string()), nullptr);
}

// Files in /proc claim a size of 0 yet have content: reading goes on past the size fstat gives,
// and the limit still holds for what is read.
TEST(TextFile, ReadingGoesPastTheClaimedSizeUpToTheLimit) {
    struct stat info {};
    ASSERT_EQ(stat("/proc/self/status", &info), 0);
    ASSERT_EQ(info.st_size, 0);
    const auto status = TextFile::read("/proc/self/status", kLimit);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text().substr(0, 5), "Name:");
    EXPECT_GT(status->text().size(), 200u);
    EXPECT_FALSE(TextFile::read("/proc/self/status", 50));
    // A file of exactly the limit, read past its claimed size, is kept.
    const auto small = TextFile::read("/proc/self/status", 1 << 20);
    ASSERT_TRUE(small);
    const size_t size = small->text().size();
    EXPECT_TRUE(TextFile::read("/proc/self/status", size + 64));
}

// Another process truncating and rewriting a mesh while it loads: every load gives either the
// mesh or a refusal, never a crash (a mapped file raised SIGBUS here).
TEST(TextFile, AFileTruncatedWhileItLoadsCannotCrash) {
    TempDir dir;
    std::string text = "1 300 300\n";
    for (int k = 0; k < 300 * 300; ++k) {
        text += "0.12345678901234567 -0.12345678901234567 0.5000000000000001 0.25 1\n";
    }
    const auto path = dir.write("m.data", text);
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::atomic<bool> stop{false};
    std::thread truncator([&] {
        while (!stop.load()) {
            EXPECT_EQ(ftruncate(fd, 16), 0);
            std::this_thread::sleep_for(1ms);
            EXPECT_EQ(pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
            std::this_thread::sleep_for(1ms);
        }
    });
    int loaded = 0, refused = 0;
    for (int round = 0; round < 40; ++round) {
        const auto mesh = DistortionMatrix::initFromFile(path);
        if (mesh) {
            ++loaded;
            EXPECT_EQ(mesh->vertices().size(), 300u * 300u);
        } else {
            ++refused;
        }
    }
    stop = true;
    truncator.join();
    close(fd);
    EXPECT_EQ(loaded + refused, 40);
    // With the file whole again, it loads.
    EXPECT_NE(DistortionMatrix::initFromFile(path), nullptr);
}

} // namespace
} // namespace lumenarc
