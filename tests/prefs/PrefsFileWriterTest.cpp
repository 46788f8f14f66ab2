#include "prefs/PrefsFileWriter.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;
using lumenarc::test::TempDir;

TEST(PrefsFileWriterTempNames, OnlyTheExactPatternOfThisFile) {
    for (const char* name :
         {".Lumenarc.prefs.a1B2c3", ".Lumenarc.prefs.ZZZZZZ", ".Lumenarc.prefs.000000"}) {
        EXPECT_TRUE(PrefsFileWriter::isTempName(name, "Lumenarc.prefs")) << name;
    }
    for (const char* name :
         {"Lumenarc.prefs", ".Lumenarc.prefs", ".Lumenarc.prefs.", ".Lumenarc.prefs.abcde",
          ".Lumenarc.prefs.abcdefg", ".Lumenarc.prefs.ab-def", ".Lumenarc.prefs.ab.def",
          ".Lumenarc.prefs.abcde\xe9", "xLumenarc.prefs.abcdef", ".Lumenarc.prefsXabcdef",
          ".Other.prefs.abcdef", "Lumenarc.prefs.damaged"}) {
        EXPECT_FALSE(PrefsFileWriter::isTempName(name, "Lumenarc.prefs")) << name;
    }
    EXPECT_TRUE(PrefsFileWriter::isTempName(".real.plist.Ab3dE9", "real.plist"));
}

// A temp name is a name in the same folder: with a long file name it holds only as much of it
// as still fits, and so does a save's stale-file pattern.
TEST(PrefsFileWriterTempNames, LongFileNamesAreShortenedToFit) {
    const std::string longest(255, 'n');
    const std::string fits(247, 'n');
    EXPECT_TRUE(PrefsFileWriter::isTempName("." + fits + ".a1B2c3", longest));
    EXPECT_TRUE(PrefsFileWriter::isTempName("." + fits + ".a1B2c3", std::string(249, 'n')));
    EXPECT_FALSE(PrefsFileWriter::isTempName("." + longest + ".a1B2c3", longest));
    EXPECT_TRUE(PrefsFileWriter::isTempName("." + fits + ".a1B2c3", fits));
}

TEST(PrefsFileWriterReplace, FileOfTheLongestNameIsWrittenAndNoTempStays) {
    TempDir folder;
    const fs::path file = folder.path() / std::string(249, 'n');
    std::string error;
    ASSERT_TRUE(PrefsFileWriter::replace(file, "new", error)) << error;
    EXPECT_EQ(lumenarc::test::readFile(file), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

class PrefsFileWriterResolve : public ::testing::Test {
protected:
    TempDir folder;
    fs::path path = folder.path() / "Lumenarc.prefs";
};

TEST_F(PrefsFileWriterResolve, FileOrMissingFileIsItself) {
    EXPECT_EQ(PrefsFileWriter::resolve(path.string()).file, path);
    folder.write("Lumenarc.prefs", "x");
    const auto target = PrefsFileWriter::resolve(path.string());
    EXPECT_EQ(target.file, path);
    EXPECT_EQ(target.refusal, "");
}

TEST_F(PrefsFileWriterResolve, LinksAreFollowedToTheEnd) {
    fs::create_directory(folder.path() / "kept");
    fs::create_symlink("kept/middle", path);
    fs::create_symlink("../real.plist", folder.path() / "kept" / "middle");
    const fs::path end = folder.path() / "kept" / ".." / "real.plist";
    EXPECT_EQ(PrefsFileWriter::resolve(path.string()).file, end); // missing: to be created
    folder.write("real.plist", "x");
    EXPECT_EQ(PrefsFileWriter::resolve(path.string()).file, end);
}

TEST_F(PrefsFileWriterResolve, AnythingElseIsRefused) {
    fs::create_directory(folder.path() / "dir");
    ASSERT_EQ(mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    fs::create_symlink("loop", folder.path() / "loop");
    for (const char* name : {"dir", "fifo", "loop"}) {
        fs::remove(path);
        fs::create_symlink(name, path);
        const auto target = PrefsFileWriter::resolve(path.string());
        EXPECT_TRUE(target.file.empty()) << name;
        EXPECT_FALSE(target.refusal.empty()) << name;
    }
    const auto fifo = PrefsFileWriter::resolve((folder.path() / "fifo").string());
    EXPECT_EQ(fifo.refusal, "it is not a regular file");
}

} // namespace
} // namespace lumenarc
