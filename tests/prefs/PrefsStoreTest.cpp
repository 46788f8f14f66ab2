#include "prefs/PrefsStore.h"

#include "prefs/ArchiveSamples.h"
#include "prefs/PrefsArchive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;
using lumenarc::test::readFile;
using lumenarc::test::TempDir;

// Keeps an environment variable for the test and puts it back afterwards.
class EnvVar {
public:
    EnvVar(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        set(value);
    }
    ~EnvVar() { set(m_old); }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            setenv(m_name, value->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    const char* m_name;
    std::optional<std::string> m_old;
};

// Whatever a test forgets, nothing in this binary may reach the real home folder.
class TempHome : public ::testing::Environment {
public:
    void SetUp() override {
        m_home = std::make_unique<TempDir>();
        setenv("HOME", m_home->path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_home->path() / "config").c_str(), 1);
    }
    void TearDown() override { m_home.reset(); }

private:
    std::unique_ptr<TempDir> m_home;
};

[[maybe_unused]] ::testing::Environment* const kTempHome =
    ::testing::AddGlobalTestEnvironment(new TempHome);

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void expectDefaults(const PrefsManager& m) {
    EXPECT_FALSE(m.loopByDefault());
    EXPECT_FALSE(m.quitWhenMovieFinishes());
    EXPECT_FALSE(m.startupInFullScreen());
    EXPECT_EQ(m.volume(), 1.0f);
    EXPECT_EQ(m.defaultMapPath(), std::optional<std::string>(""));
    EXPECT_EQ(m.hscreens(), 1);
    EXPECT_EQ(m.vscreens(), 1);
    EXPECT_FALSE(m.hideMouse());
}

// ---- Where the file lives ----

class PrefsStorePath : public ::testing::Test {
protected:
    TempDir home;
    EnvVar homeVar{"HOME", home.path().string()};
};

TEST_F(PrefsStorePath, UnderXdgConfigHomeCreatingMissingParents) {
    const fs::path config = home.path() / "deep" / "config";
    EnvVar xdg("XDG_CONFIG_HOME", config.string());
    EXPECT_EQ(PrefsStore::getPrefsPath(), (config / "Lumenarc" / "Lumenarc.prefs").string());
    EXPECT_TRUE(fs::is_directory(config / "Lumenarc"));
    EXPECT_FALSE(fs::exists(config / "Lumenarc" / "Lumenarc.prefs"));
}

TEST_F(PrefsStorePath, UnderHomeConfigWhenXdgIsUnsetEmptyOrRelative) {
    const std::string expected = (home.path() / ".config" / "Lumenarc" / "Lumenarc.prefs").string();
    for (const std::optional<std::string>& xdg :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/config")}) {
        fs::remove_all(home.path() / ".config");
        EnvVar var("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(PrefsStore::getPrefsPath(), expected) << xdg.value_or("(unset)");
        EXPECT_TRUE(fs::is_directory(home.path() / ".config" / "Lumenarc"));
    }
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(PrefsStorePath, FolderIsMadeAgainAtEveryComputation) {
    EnvVar xdg("XDG_CONFIG_HOME", std::nullopt);
    const fs::path folder = fs::path(PrefsStore::getPrefsPath()).parent_path();
    fs::remove_all(home.path() / ".config");
    PrefsStore::getPrefsPath();
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(PrefsStorePath, FolderThatCannotBeMadeIsNoFailure) {
    home.write("blocker", "a file where a folder should be");
    EnvVar xdg("XDG_CONFIG_HOME", (home.path() / "blocker").string());
    EXPECT_EQ(PrefsStore::getPrefsPath(),
              (home.path() / "blocker" / "Lumenarc" / "Lumenarc.prefs").string());
}

// ---- Loading and saving ----

class PrefsStoreFile : public ::testing::Test {
protected:
    TempDir folder;
    std::string path = (folder.path() / "Lumenarc.prefs").string();
    std::string damaged = path + ".damaged";
};

TEST_F(PrefsStoreFile, NoFileGivesDefaultsSilentlyAndWritesNothing) {
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    expectDefaults(*loaded);
    EXPECT_TRUE(folderEntries(folder.path()).empty());
}

TEST_F(PrefsStoreFile, FirstStartSavesExactlyTheDefaults) {
    const auto first = PrefsStore::loadPrefs(path);
    ASSERT_TRUE(PrefsStore::savePrefs(*first, path));
    EXPECT_EQ(readFile(path).substr(0, 8), "bplist00");
    const auto decoded = PrefsArchive::decode(readFile(path));
    ASSERT_EQ(decoded.outcome, PrefsArchive::Outcome::Manager);
    expectDefaults(*decoded.manager);
}

TEST_F(PrefsStoreFile, SaveThenLoadGivesEveryFieldBack) {
    PrefsManager original;
    original.setLoopByDefault(true);
    original.setQuitWhenMovieFinishes(true);
    original.setStartupInFullScreen(true);
    original.setVolume(0.3f);
    original.setDefaultMapPath("");
    original.setHScreens(-2);
    original.setVScreens(3);
    original.setHideMouse(true);
    ASSERT_TRUE(PrefsStore::savePrefs(original, path));
    const auto loaded = PrefsStore::loadPrefs(path);
    EXPECT_TRUE(loaded->loopByDefault());
    EXPECT_TRUE(loaded->quitWhenMovieFinishes());
    EXPECT_TRUE(loaded->startupInFullScreen());
    EXPECT_EQ(loaded->volume(), 0.3f);
    EXPECT_EQ(loaded->defaultMapPath(), std::optional<std::string>(""));
    EXPECT_EQ(loaded->hscreens(), -2);
    EXPECT_EQ(loaded->vscreens(), 3);
    EXPECT_TRUE(loaded->hideMouse());
}

TEST_F(PrefsStoreFile, SaveReplacesTheOldFileAndLeavesNoTempFiles) {
    PrefsManager manager;
    manager.setHScreens(2);
    ASSERT_TRUE(PrefsStore::savePrefs(manager, path));
    manager.setHScreens(5);
    ASSERT_TRUE(PrefsStore::savePrefs(manager, path));
    EXPECT_EQ(PrefsStore::loadPrefs(path)->hscreens(), 5);
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
}

TEST_F(PrefsStoreFile, XmlFileWrittenByHandLoads) {
    folder.write("Lumenarc.prefs", test::fullPrefsArchive());
    const auto loaded = PrefsStore::loadPrefs(path);
    EXPECT_EQ(loaded->hscreens(), 3);
    EXPECT_EQ(loaded->defaultMapPath(), "/maps/dome.data");
    EXPECT_FALSE(fs::exists(damaged));
}

TEST_F(PrefsStoreFile, RootWithoutPrefsGivesDefaultsSilentlyAndKeepsTheFile) {
    const std::string bytes = test::xmlKeyedArchive(
        {test::xmlString("$null"), test::dictionaryEntry(2, 3, 4), test::xmlString("other"),
         test::xmlString("value"), test::classEntry("NSDictionary")});
    folder.write("Lumenarc.prefs", bytes);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    expectDefaults(*loaded);
    EXPECT_FALSE(fs::exists(damaged));
    EXPECT_EQ(readFile(path), bytes);
}

TEST_F(PrefsStoreFile, SymbolicLinkIsWrittenThrough) {
    const std::string target = folder.write("kept/prefs.plist", "");
    fs::create_symlink(target, path);
    PrefsManager manager;
    manager.setVScreens(7);
    ASSERT_TRUE(PrefsStore::savePrefs(manager, path));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(PrefsStore::loadPrefs(target)->vscreens(), 7);
}

// ---- Damaged files ----

struct DamagedFile {
    const char* name;
    std::string bytes;
};

std::string validArchive() {
    PrefsManager manager;
    manager.setDefaultMapPath("/maps/dome.data");
    return PrefsArchive::encode(manager).value_or("");
}

const DamagedFile kDamagedFiles[] = {
    {"truncated", validArchive().substr(0, 200)},
    {"garbage", std::string("\0\x01garbage\xff", 10)},
    {"wrong_kind", test::xmlPrefsArchive("<key>Volume</key><string>loud</string>")},
    {"uid_out_of_range", test::xmlPrefsArchive("<key>DefaultMap</key>" + test::uid(40))},
    {"self_reference",
     test::xmlKeyedArchive({test::xmlString("$null"), test::dictionaryEntry(2, 1, 3),
                            test::xmlString("prefs"), test::classEntry("NSDictionary")})},
};

void PrintTo(const DamagedFile& file, std::ostream* out) {
    *out << file.name;
}

class PrefsStoreDamaged : public PrefsStoreFile,
                          public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(PrefsStoreDamaged, DefaultsAndTheOriginalIsKeptAside) {
    folder.write("Lumenarc.prefs", GetParam().bytes);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string log = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_EQ(readFile(damaged), GetParam().bytes);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(lineCount(log), 1u) << log;
    EXPECT_NE(log.find(damaged), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Samples, PrefsStoreDamaged, ::testing::ValuesIn(kDamagedFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrefsStoreFile, EarlierDamagedCopiesAreNeverOverwritten) {
    folder.write("Lumenarc.prefs.damaged", "first");
    folder.write("Lumenarc.prefs.damaged.1", "second");
    folder.write("Lumenarc.prefs", "third");
    testing::internal::CaptureStderr();
    PrefsStore::loadPrefs(path);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(damaged), "first");
    EXPECT_EQ(readFile(damaged + ".1"), "second");
    EXPECT_EQ(readFile(damaged + ".2"), "third");
}

TEST_F(PrefsStoreFile, HugeFileIsDamagedWithoutBeingRead) {
    { std::ofstream out(path, std::ios::binary); }
    fs::resize_file(path, std::uintmax_t{4} << 30); // sparse: takes no disk space
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const auto loaded = PrefsStore::loadPrefs(path);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string log = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_EQ(fs::file_size(damaged), std::uintmax_t{4} << 30);
    EXPECT_EQ(lineCount(log), 1u) << log;
}

TEST_F(PrefsStoreFile, UnreadablePathIsReportedAndLeftAlone) {
    fs::create_directory(path);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string log = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(fs::exists(damaged));
    EXPECT_EQ(lineCount(log), 1u) << log;
}

TEST_F(PrefsStoreFile, FifoAtThePathDoesNotHang) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string log = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_EQ(lineCount(log), 1u) << log;
}

// ---- Failed saves ----

TEST_F(PrefsStoreFile, FailedRenameLeavesTheTargetAndNoTempFile) {
    folder.write("Lumenarc.prefs/inside", "keep me"); // a non-empty folder at the path
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(fs::path(path) / "inside"), "keep me");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
    EXPECT_EQ(lineCount(log), 1u) << log;
}

TEST_F(PrefsStoreFile, MissingFolderFailsAndReports) {
    const std::string nowhere = (folder.path() / "missing" / "Lumenarc.prefs").string();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), nowhere));
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    EXPECT_FALSE(fs::exists(nowhere));
}

// A file size limit makes the write itself fail, even for root, while the old file exists.
// Standard error is not captured here: the capture file would fall under the limit too.
TEST_F(PrefsStoreFile, FailedWriteLeavesTheOldFileIntact) {
    PrefsManager old;
    old.setHScreens(4);
    ASSERT_TRUE(PrefsStore::savePrefs(old, path));
    const std::string before = readFile(path);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    PrefsManager changed;
    changed.setHScreens(9);
    const bool savedOk = PrefsStore::savePrefs(changed, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(savedOk);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(PrefsStore::loadPrefs(path)->hscreens(), 4);
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
}

} // namespace
} // namespace lumenarc
