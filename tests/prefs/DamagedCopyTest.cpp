#include "prefs/DamagedCopy.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;
using lumenarc::test::readFile;
using lumenarc::test::TempDir;

std::tm moment() {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 8;
    when.tm_sec = 9;
    return when;
}

TEST(DamagedCopyNames, FirstTheKnownNameThenTheMomentThenACounter) {
    const std::tm when = moment();
    EXPECT_EQ(DamagedCopy::candidate("/p/Lumenarc.prefs", when, 0), "/p/Lumenarc.prefs.damaged");
    EXPECT_EQ(DamagedCopy::candidate("/p/Lumenarc.prefs", when, 1),
              "/p/Lumenarc.prefs.damaged.20240305-070809");
    EXPECT_EQ(DamagedCopy::candidate("/p/Lumenarc.prefs", when, 2),
              "/p/Lumenarc.prefs.damaged.20240305-070809.2");
    EXPECT_EQ(DamagedCopy::candidate("x", when, 99), "x.damaged.20240305-070809.99");
}

class DamagedCopyMove : public ::testing::Test {
protected:
    TempDir folder;
    std::string file = folder.write("Lumenarc.prefs", "damaged");
    std::time_t now = std::time(nullptr);
    std::tm when() const {
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    }
};

TEST_F(DamagedCopyMove, TakesTheFirstFreeNameAndReplacesNone) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        folder.write(fs::path(DamagedCopy::candidate(file, when(), attempt)).filename(),
                     "copy " + std::to_string(attempt));
    }
    std::string error;
    const auto moved = DamagedCopy::moveAside(file, now, error);
    ASSERT_TRUE(moved) << error;
    EXPECT_EQ(*moved, DamagedCopy::candidate(file, when(), 3));
    EXPECT_EQ(readFile(*moved), "damaged");
    EXPECT_FALSE(fs::exists(file));
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(readFile(DamagedCopy::candidate(file, when(), attempt)),
                  "copy " + std::to_string(attempt));
    }
}

TEST_F(DamagedCopyMove, LeavesTheFileWhereItIsWhenEveryNameIsTaken) {
    for (int attempt = 0; attempt < DamagedCopy::kMaxAttempts; ++attempt) {
        folder.write(fs::path(DamagedCopy::candidate(file, when(), attempt)).filename(), "taken");
    }
    std::string error;
    EXPECT_FALSE(DamagedCopy::moveAside(file, now, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(file), "damaged");
}

// The first failure that is no taken name ends the search with its own reason.
TEST_F(DamagedCopyMove, MissingFileIsAnError) {
    fs::remove(file);
    std::string error;
    EXPECT_FALSE(DamagedCopy::moveAside(file, now, error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_FALSE(fs::exists(DamagedCopy::candidate(file, when(), 0)));
}

} // namespace
} // namespace lumenarc
