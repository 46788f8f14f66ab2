// Black-box tests of lumenarc-prefs, run with HOME and XDG_CONFIG_HOME in a temporary folder.

#include "prefs/ArchiveSamples.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;
using namespace lumenarc::test;

constexpr const char* kDefaultsShown = "LoopByDefault=NO\n"
                                       "QuitWhenMovieFinishes=NO\n"
                                       "StartupInFulLScreen=NO\n"
                                       "Volume=1\n"
                                       "DefaultMap=\n"
                                       "hscreens=1\n"
                                       "vscreens=1\n"
                                       "hideMouse=NO\n"
                                       "ShowMode=NO\n"
                                       "DrawOverlay=YES\n"
                                       "Screen=\n"
                                       "AudioDevice=\n"
                                       "AudioDelay=0\n";

class PrefsTool : public ::testing::Test {
protected:
    // `prefix` runs the tool through another program (e.g. to drop privileges).
    ProcessResult run(std::vector<std::string> args,
                      const std::vector<std::string>& prefix = {}) const {
        args.insert(args.begin(), binPath("lumenarc-prefs"));
        args.insert(args.begin(), prefix.begin(), prefix.end());
        ProcessOptions options;
        options.env = {{"HOME", home.path().string()},
                       {"XDG_CONFIG_HOME", (home.path() / "config").string()}};
        options.timeout = std::chrono::seconds(30);
        return runProcess(args, options);
    }

    TempDir home;
    fs::path prefsFile = home.path() / "config" / "Lumenarc" / "Lumenarc.prefs";
};

TEST_F(PrefsTool, PathPrintsTheFileAndMakesItsFolder) {
    const auto result = run({"path"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, prefsFile.string() + "\n");
    EXPECT_TRUE(fs::is_directory(prefsFile.parent_path()));
    EXPECT_FALSE(fs::exists(prefsFile));
}

TEST_F(PrefsTool, ShowOnAFreshAccountPrintsTheDefaultsAndWritesNothing) {
    const auto result = run({"show"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, kDefaultsShown);
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(fs::exists(prefsFile));
}

TEST_F(PrefsTool, SetThenShowGivesEveryKeyBack) {
    const auto set =
        run({"set", "LoopByDefault", "YES", "QuitWhenMovieFinishes", "YES", "StartupInFulLScreen",
             "YES", "Volume", "0.1", "DefaultMap", "/maps/my dome.data", "hscreens", "16",
             "vscreens", "2", "hideMouse", "YES"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(readFile(prefsFile).substr(0, 8), "bplist00");
    const auto show = run({"show"});
    EXPECT_EQ(show.out, "LoopByDefault=YES\n"
                        "QuitWhenMovieFinishes=YES\n"
                        "StartupInFulLScreen=YES\n"
                        "Volume=0.100000001\n"
                        "DefaultMap=/maps/my dome.data\n"
                        "hscreens=16\n"
                        "vscreens=2\n"
                        "hideMouse=YES\n"
                        "ShowMode=NO\n"
                        "DrawOverlay=YES\n"
                        "Screen=\n"
                        "AudioDevice=\n"
                        "AudioDelay=0\n");
}

TEST_F(PrefsTool, SetKeepsTheKeysItWasNotGiven) {
    ASSERT_EQ(run({"set", "hscreens", "3", "DefaultMap", "/a.data"}).exitCode, 0);
    ASSERT_EQ(run({"set", "hideMouse", "YES"}).exitCode, 0);
    const auto show = run({"show"});
    EXPECT_NE(show.out.find("hscreens=3\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("DefaultMap=/a.data\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("hideMouse=YES\n"), std::string::npos) << show.out;
}

// Values the player cannot show with are refused, with the range, before anything is written.
TEST_F(PrefsTool, OutOfRangeValuesAreRefusedWithTheRange) {
    const std::vector<std::vector<std::string>> bad = {
        {"hscreens", "-3"},     {"hscreens", "0"},  {"vscreens", "0"},  {"hscreens", "17"},
        {"hscreens", "100000"}, {"Volume", "nan"},  {"Volume", "inf"},  {"Volume", "-inf"},
        {"Volume", "-0.1"},     {"Volume", "1.01"}, {"Volume", "-nan"},
    };
    for (const auto& pair : bad) {
        const auto result = run({"set", pair[0], pair[1]});
        EXPECT_EQ(result.exitCode, 2) << pair[0] << " " << pair[1];
        const char* range = pair[0] == "Volume" ? "from 0 to 1" : "from 1 to 16";
        EXPECT_NE(result.err.find(range), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(prefsFile));
    const auto edges = run({"set", "hscreens", "16", "vscreens", "1", "Volume", "0"});
    ASSERT_EQ(edges.exitCode, 0) << edges.err;
    const auto show = run({"show"});
    EXPECT_NE(show.out.find("hscreens=16\nvscreens=1\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Volume=0\n"), std::string::npos) << show.out;
}

// A file written by hand with such values still gives the player something it can show.
TEST_F(PrefsTool, OutOfRangeValuesInTheFileAreClampedWithOneLine) {
    const std::string file =
        home.write("hand.prefs", xmlPrefsArchive("<key>Volume</key><real>nan</real>"
                                                 "<key>hscreens</key><integer>-3</integer>"
                                                 "<key>vscreens</key><integer>100000</integer>"));
    const auto show = run({"show", "--file", file});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_NE(show.out.find("Volume=0\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("hscreens=1\nvscreens=16\n"), std::string::npos) << show.out;
    EXPECT_EQ(std::count(show.err.begin(), show.err.end(), '\n'), 1) << show.err;
    EXPECT_NE(show.err.find("hscreens -3 is outside 1..16, using 1"), std::string::npos)
        << show.err;
}

// The temp file beside a file of the longest legal name must not exceed that length itself.
TEST_F(PrefsTool, FileOfTheLongestNamesIsSaved) {
    for (const std::size_t length : {std::size_t{247}, std::size_t{249}, std::size_t{255}}) {
        const std::string file = (home.path() / std::string(length, 'p')).string();
        const auto set = run({"set", "--file", file, "hscreens", "2"});
        ASSERT_EQ(set.exitCode, 0) << length << ": " << set.err;
        EXPECT_NE(run({"show", "--file", file}).out.find("hscreens=2\n"), std::string::npos);
        fs::remove(file);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(home.path()), fs::directory_iterator()), 0);
}

TEST_F(PrefsTool, FileOptionReadsAndWritesThatFile) {
    const std::string file = (home.path() / "other.prefs").string();
    ASSERT_EQ(run({"set", "--file", file, "Volume", "0.5"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(prefsFile));
    EXPECT_NE(run({"show", "--file", file}).out.find("Volume=0.5\n"), std::string::npos);
    EXPECT_EQ(run({"show"}).out, kDefaultsShown);
}

TEST_F(PrefsTool, ArchiveWithoutMapShowsNone) {
    const std::string file =
        home.write("nomap.prefs", xmlPrefsArchive("<key>Volume</key><real>0.25</real>"));
    const auto show = run({"show", "--file", file});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_NE(show.out.find("DefaultMap=(none)\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Volume=0.25\n"), std::string::npos) << show.out;
}

TEST_F(PrefsTool, DamagedFileShowsDefaultsAndIsKeptAside) {
    const std::string file = home.write("bad.prefs", "not a preferences file");
    const auto show = run({"show", "--file", file});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_EQ(show.out, kDefaultsShown);
    EXPECT_EQ(readFile(file + ".damaged"), "not a preferences file");
    EXPECT_NE(show.err.find(".damaged"), std::string::npos) << show.err;
}

// A sound archive that holds something else than the preferences is no file to save over.
TEST_F(PrefsTool, SetKeepsAsideAnArchiveWithoutThePreferences) {
    const std::string bytes =
        xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 4), xmlString("other"),
                         xmlString("value"), classEntry("NSDictionary")});
    const std::string file = home.write("other.prefs", bytes);
    const auto set = run({"set", "--file", file, "hideMouse", "YES"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(readFile(file + ".damaged"), bytes);
    EXPECT_NE(set.err.find(".damaged"), std::string::npos) << set.err;
    EXPECT_NE(run({"show", "--file", file}).out.find("hideMouse=YES\n"), std::string::npos);
}

// Every pair is checked before anything is loaded or saved.
TEST_F(PrefsTool, BadKeysAndValuesChangeNothing) {
    ASSERT_EQ(run({"set", "hscreens", "2"}).exitCode, 0);
    const std::string before = readFile(prefsFile);
    const std::vector<std::vector<std::string>> bad = {
        {"set", "Loop", "YES"},
        {"set", "loopbydefault", "YES"},
        {"set", "StartupInFullScreen", "YES"},
        {"set", "LoopByDefault", "yes"},
        {"set", "hideMouse", "1"},
        {"set", "Volume", "loud"},
        {"set", "Volume", ""},
        {"set", "Volume", "0.5x"},
        {"set", "Volume", "1e999"},
        {"set", "hscreens", "3000000000"},
        {"set", "vscreens", "2.5"},
        {"set", "hscreens", " 2"},
        {"set", "hscreens", "5", "Volume", "bad"},
    };
    for (const auto& args : bad) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 2) << args[1] << " " << args[2];
        EXPECT_FALSE(result.err.empty());
        EXPECT_EQ(readFile(prefsFile), before) << args[1] << " " << args[2];
    }
    EXPECT_FALSE(fs::exists(prefsFile.string() + ".damaged"));
}

TEST_F(PrefsTool, UsageErrorsExitTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"set"},
        {"set", "hscreens"},
        {"set", "--file"},
        {"show", "extra"},
        {"path", "extra"},
        {"show", "--file", "a", "--file", "b"},
    };
    for (const auto& args : bad) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(result.err.find("Usage"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(prefsFile));
}

TEST_F(PrefsTool, HelpExplainsTheCommands) {
    const auto result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* word : {"path", "show", "set", "--file", "StartupInFulLScreen", "YES"}) {
        EXPECT_NE(result.out.find(word), std::string::npos) << word;
    }
}

TEST_F(PrefsTool, FailedSaveExitsOne) {
    home.write("folder.prefs/inside", "x"); // a non-empty folder where the file should go
    const auto result =
        run({"set", "--file", (home.path() / "folder.prefs").string(), "hideMouse", "YES"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Not saving"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(home.path() / "folder.prefs" / "inside"), "x");
    const auto nowhere =
        run({"set", "--file", (home.path() / "missing" / "x.prefs").string(), "hideMouse", "YES"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_NE(nowhere.err.find("Cannot save"), std::string::npos) << nowhere.err;
}

// ---- set saves the way the player does ----

TEST_F(PrefsTool, SetLeavesWhatItCannotReadAndExitsOne) {
    fs::create_directories(prefsFile.parent_path());
    ASSERT_EQ(mkfifo(prefsFile.c_str(), 0600), 0);
    const auto result = run({"set", "hideMouse", "YES"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Cannot read"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Not saving"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_fifo(prefsFile));
}

// Root reads a file of mode 000 anyway; setpriv takes that power away for the run.
TEST_F(PrefsTool, SetLeavesAFileOfMode000) {
    ASSERT_EQ(run({"set", "hscreens", "3"}).exitCode, 0);
    const std::string before = readFile(prefsFile);
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0) {
            GTEST_SKIP() << "running as root without setpriv";
        }
        prefix = {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search"};
    }
    ASSERT_EQ(chmod(prefsFile.c_str(), 0), 0);
    const auto result = run({"set", "hscreens", "5"}, prefix);
    ASSERT_EQ(chmod(prefsFile.c_str(), 0600), 0);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(prefsFile), before);
}

TEST_F(PrefsTool, SetWritesThroughALinkButNeverIntoAFifo) {
    fs::create_directories(prefsFile.parent_path());
    fs::create_directories(home.path() / "kept");
    fs::create_symlink(home.path() / "kept" / "show.prefs", prefsFile);
    ASSERT_EQ(run({"set", "hscreens", "4"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(prefsFile));
    EXPECT_NE(run({"show"}).out.find("hscreens=4\n"), std::string::npos);
    EXPECT_EQ(readFile(home.path() / "kept" / "show.prefs").substr(0, 8), "bplist00");

    const fs::path fifo = home.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, home.path() / "fifo.prefs");
    const auto result =
        run({"set", "--file", (home.path() / "fifo.prefs").string(), "hideMouse", "YES"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(fifo.string()), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(PrefsTool, SetRemovesTempFilesOfKilledSaves) {
    ASSERT_EQ(run({"set", "hscreens", "2"}).exitCode, 0);
    const std::string stale = home.write("config/Lumenarc/.Lumenarc.prefs.k1LLed", "half");
    timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - 3600;
    ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), times, 0), 0);
    ASSERT_EQ(run({"set", "hscreens", "3"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_NE(run({"show"}).out.find("hscreens=3\n"), std::string::npos);
}

} // namespace
} // namespace lumenarc
