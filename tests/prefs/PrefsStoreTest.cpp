#include "prefs/PrefsStore.h"

#include "prefs/ArchiveSamples.h"
#include "prefs/DamagedCopy.h"
#include "prefs/PrefsArchive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <linux/capability.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

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

// The kind of node at a path, not following a link there.
mode_t nodeType(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

// Root reads a file of mode 000 anyway. Without these two capabilities it cannot, just like
// every other user; the test gives them up for its scope and takes them back at the end.
class ReadOverrideOff {
public:
    ReadOverrideOff() {
        if (geteuid() != 0 || syscall(SYS_capget, &m_header, m_saved) != 0) {
            return;
        }
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_lowered = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~ReadOverrideOff() {
        if (m_lowered) {
            syscall(SYS_capset, &m_header, m_saved);
        }
    }
    ReadOverrideOff(const ReadOverrideOff&) = delete;
    ReadOverrideOff& operator=(const ReadOverrideOff&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};

bool canOpenForReading(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
    }
    return fd >= 0;
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
    original.setHScreens(16);
    original.setVScreens(3);
    original.setHideMouse(true);
    ASSERT_TRUE(PrefsStore::savePrefs(original, path));
    const auto loaded = PrefsStore::loadPrefs(path);
    EXPECT_TRUE(loaded->loopByDefault());
    EXPECT_TRUE(loaded->quitWhenMovieFinishes());
    EXPECT_TRUE(loaded->startupInFullScreen());
    EXPECT_EQ(loaded->volume(), 0.3f);
    EXPECT_EQ(loaded->defaultMapPath(), std::optional<std::string>(""));
    EXPECT_EQ(loaded->hscreens(), 16);
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

// Such an archive holds something, only not the preferences: the next save must not lose it.
TEST_F(PrefsStoreFile, RootWithoutPrefsGivesDefaultsAndIsKeptAside) {
    const std::string bytes = test::xmlKeyedArchive(
        {test::xmlString("$null"), test::dictionaryEntry(2, 3, 4), test::xmlString("other"),
         test::xmlString("value"), test::classEntry("NSDictionary")});
    folder.write("Lumenarc.prefs", bytes);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(log), 1u) << log;
    EXPECT_NE(log.find("no \"prefs\" entry"), std::string::npos) << log;
    expectDefaults(*loaded);
    EXPECT_EQ(readFile(damaged), bytes);
    ASSERT_TRUE(PrefsStore::savePrefs(*loaded, path));
    EXPECT_EQ(readFile(damaged), bytes);
}

// A file written by hand (or by an older tool) with values the player cannot show with: the
// run gets values it can use, and the file stays as it is until the run saves.
TEST_F(PrefsStoreFile, OutOfRangeSettingsAreClampedWithOneLine) {
    PrefsManager stored;
    stored.setVolume(std::numeric_limits<float>::quiet_NaN());
    stored.setHScreens(-3);
    stored.setVScreens(100000);
    stored.setHideMouse(true);
    const std::string bytes = *PrefsArchive::encode(stored);
    folder.write("Lumenarc.prefs", bytes);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded->volume(), 0.0f);
    EXPECT_EQ(loaded->hscreens(), 1);
    EXPECT_EQ(loaded->vscreens(), 16);
    EXPECT_TRUE(loaded->hideMouse());
    EXPECT_EQ(lineCount(log), 1u) << log;
    EXPECT_NE(log.find(path), std::string::npos) << log;
    EXPECT_NE(log.find("hscreens -3 is outside 1..16, using 1"), std::string::npos) << log;
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_FALSE(fs::exists(damaged));
    ASSERT_TRUE(PrefsStore::savePrefs(*loaded, path));
    const auto saved = PrefsArchive::decode(readFile(path));
    ASSERT_EQ(saved.outcome, PrefsArchive::Outcome::Manager);
    EXPECT_EQ(saved.manager->hscreens(), 1);
    EXPECT_EQ(saved.manager->vscreens(), 16);
    EXPECT_EQ(saved.manager->volume(), 0.0f);
}

std::unique_ptr<PrefsManager> storedManager(const std::string& path) {
    auto decoded = PrefsArchive::decode(readFile(path));
    EXPECT_EQ(decoded.outcome, PrefsArchive::Outcome::Manager) << decoded.problem;
    return decoded.manager ? std::move(decoded.manager) : std::make_unique<PrefsManager>();
}

// Another program (the preferences tool) sets a few things while the player runs; the
// player's save at its end writes only what the player itself changed.
TEST_F(PrefsStoreFile, SettingsChangedInTheFileSinceTheLoadAreKeptAtTheSave) {
    PrefsManager first;
    first.setDefaultMapPath("/maps/old.data");
    first.setVolume(0.8f);
    ASSERT_TRUE(PrefsStore::savePrefs(first, path));
    const auto running = PrefsStore::loadPrefs(path);

    PrefsManager meanwhile; // written the way the tool writes, as another process would
    meanwhile.setDefaultMapPath("/maps/new.data");
    meanwhile.setVolume(0.8f);
    meanwhile.setHScreens(2);
    meanwhile.setStartupInFullScreen(true);
    meanwhile.setLoopByDefault(true);
    folder.write("Lumenarc.prefs", *PrefsArchive::encode(meanwhile));

    running->setVolume(0.3f);        // the player's own change
    running->setLoopByDefault(true); // the same change as the file's
    ASSERT_TRUE(PrefsStore::savePrefs(*running, path));
    auto saved = storedManager(path); // not loaded: a load would stand for a new run
    EXPECT_EQ(saved->volume(), 0.3f);
    EXPECT_EQ(saved->defaultMapPath(), "/maps/new.data");
    EXPECT_EQ(saved->hscreens(), 2);
    EXPECT_TRUE(saved->startupInFullScreen());
    EXPECT_TRUE(saved->loopByDefault());

    // A second save of the same run keeps the file's settings again, and its own change.
    PrefsManager later;
    later.setVolume(0.3f);
    later.setVScreens(4);
    folder.write("Lumenarc.prefs", *PrefsArchive::encode(later));
    running->setHideMouse(true);
    ASSERT_TRUE(PrefsStore::savePrefs(*running, path));
    saved = storedManager(path);
    EXPECT_EQ(saved->vscreens(), 4);
    EXPECT_EQ(saved->hscreens(), 1);
    EXPECT_TRUE(saved->hideMouse());
    EXPECT_EQ(saved->volume(), 0.3f);
}

// mkstemp's 0600 whatever the umask: a file made with the usual 0666 would pass under 077.
TEST_F(PrefsStoreFile, FirstFileIsPrivateWhateverTheUmask) {
    const mode_t old = umask(0);
    const bool saved = PrefsStore::savePrefs(PrefsManager(), path);
    umask(old);
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::status(path).permissions(), static_cast<fs::perms>(0600));
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
    const std::time_t before = std::time(nullptr);
    testing::internal::CaptureStderr();
    PrefsStore::loadPrefs(path);
    testing::internal::GetCapturedStderr();
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(readFile(damaged), "first");
    EXPECT_EQ(readFile(damaged + ".1"), "second");
    // The next copy is named for the moment it was made.
    std::tm when{};
    std::vector<std::string> named;
    for (std::time_t t = before; t <= after; ++t) {
        const std::string name = DamagedCopy::candidate(path, *localtime_r(&t, &when), 1);
        if (fs::exists(name) && readFile(name) == "third") {
            named.push_back(name);
        }
    }
    EXPECT_EQ(named.size(), 1u);
    EXPECT_EQ(folderEntries(folder.path()).size(), 3u);
}

TEST_F(PrefsStoreFile, DamagedFileAfterAHundredCopiesIsKeptToo) {
    folder.write("Lumenarc.prefs.damaged", "copy 0");
    for (int n = 1; n < 100; ++n) {
        folder.write("Lumenarc.prefs.damaged." + std::to_string(n), "copy " + std::to_string(n));
    }
    folder.write("Lumenarc.prefs", "copy 100");
    testing::internal::CaptureStderr();
    expectDefaults(*PrefsStore::loadPrefs(path));
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));

    EXPECT_EQ(readFile(damaged), "copy 0");
    for (int n = 1; n < 100; ++n) {
        EXPECT_EQ(readFile(damaged + "." + std::to_string(n)), "copy " + std::to_string(n));
    }
    std::vector<std::string> newCopies;
    for (const auto& name : folderEntries(folder.path())) {
        if (readFile(folder.path() / name) == "copy 100") {
            newCopies.push_back(name);
        }
    }
    ASSERT_EQ(newCopies.size(), 1u);
    EXPECT_EQ(newCopies[0].rfind("Lumenarc.prefs.damaged.", 0), 0u) << newCopies[0];
    EXPECT_EQ(lineCount(log), 1u) << log;
    EXPECT_NE(log.find(newCopies[0]), std::string::npos) << log;
}

TEST_F(PrefsStoreFile, DamagedFilesInQuickSuccessionAreAllKept) {
    std::vector<std::string> written;
    for (int n = 0; n < 5; ++n) {
        written.push_back("damage " + std::to_string(n));
        folder.write("Lumenarc.prefs", written.back());
        testing::internal::CaptureStderr();
        PrefsStore::loadPrefs(path);
        testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> kept;
    for (const auto& name : folderEntries(folder.path())) {
        EXPECT_EQ(name.rfind("Lumenarc.prefs.damaged", 0), 0u) << name;
        kept.push_back(readFile(folder.path() / name));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, written);
    EXPECT_EQ(readFile(damaged), "damage 0");
}

// Never lost even then: the file stays, and the run's defaults are not saved over it.
TEST_F(PrefsStoreFile, DamagedFileThatCannotBeMovedAsideIsNotSavedOver) {
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now; t < now + 5; ++t) {
        std::tm when{};
        for (int attempt = 0; attempt < DamagedCopy::kMaxAttempts; ++attempt) {
            const std::string name = DamagedCopy::candidate(path, *localtime_r(&t, &when), attempt);
            if (!fs::exists(name)) {
                folder.write(fs::path(name).filename(), "taken");
            }
        }
    }
    folder.write("Lumenarc.prefs", "damaged and precious");
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string loadLog = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(*loaded, path));
    const std::string saveLog = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_EQ(readFile(path), "damaged and precious");
    EXPECT_NE(loadLog.find("could not be moved aside"), std::string::npos) << loadLog;
    EXPECT_EQ(lineCount(loadLog), 1u) << loadLog;
    EXPECT_NE(saveLog.find("Not saving"), std::string::npos) << saveLog;
    EXPECT_EQ(lineCount(saveLog), 1u) << saveLog;
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

// ---- Files that cannot be read are never saved over ----

TEST_F(PrefsStoreFile, FileOfMode000IsLeftAsItIs) {
    PrefsManager stored;
    stored.setHScreens(4);
    ASSERT_TRUE(PrefsStore::savePrefs(stored, path));
    const std::string before = readFile(path);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    std::string loadLog;
    std::string saveLog;
    {
        ReadOverrideOff readOverrideOff;
        if (canOpenForReading(path)) {
            chmod(path.c_str(), 0600);
            GTEST_SKIP() << "this process reads files of mode 000";
        }
        testing::internal::CaptureStderr();
        const auto loaded = PrefsStore::loadPrefs(path);
        loadLog = testing::internal::GetCapturedStderr();
        expectDefaults(*loaded);
        loaded->setVScreens(9);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(PrefsStore::savePrefs(*loaded, path));
        saveLog = testing::internal::GetCapturedStderr();
    }
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
    EXPECT_EQ(lineCount(loadLog), 1u) << loadLog;
    EXPECT_NE(loadLog.find("Cannot read"), std::string::npos) << loadLog;
    EXPECT_EQ(lineCount(saveLog), 1u) << saveLog;
    EXPECT_NE(saveLog.find(path), std::string::npos) << saveLog;
}

struct UnreadableNode {
    const char* name;
    void (*make)(const fs::path& path);
};

const UnreadableNode kUnreadableNodes[] = {
    {"fifo", [](const fs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
    {"empty_folder", [](const fs::path& path) { ASSERT_TRUE(fs::create_directory(path)); }},
    {"link_loop",
     [](const fs::path& path) {
         fs::create_symlink(path.filename().string() + ".loop", path);
         fs::create_symlink(path.filename(), path.string() + ".loop");
     }},
};

void PrintTo(const UnreadableNode& node, std::ostream* out) {
    *out << node.name;
}

class PrefsStoreUnreadable : public PrefsStoreFile,
                             public ::testing::WithParamInterface<UnreadableNode> {};

TEST_P(PrefsStoreUnreadable, DefaultsForTheRunAndTheNodeStays) {
    GetParam().make(path);
    const mode_t type = nodeType(path);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    const std::string loadLog = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(*loaded, path));
    const std::string saveLog = testing::internal::GetCapturedStderr();
    expectDefaults(*loaded);
    EXPECT_EQ(nodeType(path), type);
    EXPECT_EQ(nodeType(damaged), 0u);
    EXPECT_EQ(lineCount(loadLog), 1u) << loadLog;
    EXPECT_EQ(lineCount(saveLog), 1u) << saveLog;
    EXPECT_NE(saveLog.find("Not saving"), std::string::npos) << saveLog;
}

INSTANTIATE_TEST_SUITE_P(Nodes, PrefsStoreUnreadable, ::testing::ValuesIn(kUnreadableNodes),
                         [](const auto& info) { return std::string(info.param.name); });

// The run goes on with the defaults; a file put back meanwhile must not get them.
TEST_F(PrefsStoreFile, FileUnreadableAtStartIsNotSavedOverOnceReadable) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    const auto loaded = PrefsStore::loadPrefs(path);
    testing::internal::GetCapturedStderr();
    fs::remove(path);
    PrefsManager stored;
    stored.setHScreens(6);
    folder.write("Lumenarc.prefs", PrefsArchive::encode(stored).value());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(*loaded, path));
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    const auto reloaded = PrefsStore::loadPrefs(path);
    EXPECT_EQ(reloaded->hscreens(), 6);
    // That load read the file, so what it gave may be saved again.
    reloaded->setVScreens(2);
    ASSERT_TRUE(PrefsStore::savePrefs(*reloaded, path));
    EXPECT_EQ(PrefsStore::loadPrefs(path)->vscreens(), 2);
}

// ---- Links and other nodes at the path ----

TEST_F(PrefsStoreFile, LinkToAFifoOrDeviceLeavesTheNodeAlone) {
    std::vector<fs::path> nodes;
    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    nodes.push_back(fifo);
    // Root may make a node like /dev/null here, which a broken save would replace.
    const fs::path device = folder.path() / "null";
    if (mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        nodes.push_back(device);
    }
    for (const fs::path& node : nodes) {
        fs::remove(path);
        fs::create_symlink(node, path);
        const mode_t type = nodeType(node);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path)) << node;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(nodeType(node), type) << node;
        EXPECT_TRUE(fs::is_symlink(path)) << node;
        EXPECT_EQ(lineCount(log), 1u) << log;
        EXPECT_NE(log.find(node.string()), std::string::npos) << log;
    }
    EXPECT_EQ(folderEntries(folder.path()).size(), nodes.size() + 1);
}

TEST_F(PrefsStoreFile, FifoOrFolderAtThePathIsNotReplaced) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path));
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(nodeType(path), static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(lineCount(log), 1u) << log;
    fs::remove(path);
    fs::create_directory(path);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path));
    log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_NE(log.find("not a regular file"), std::string::npos) << log;
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
}

TEST_F(PrefsStoreFile, LinkLoopIsLeftAsItIs) {
    fs::create_symlink("b.prefs", path);
    fs::create_symlink("Lumenarc.prefs", folder.path() / "b.prefs");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs::read_symlink(path), "b.prefs");
    EXPECT_EQ(fs::read_symlink(folder.path() / "b.prefs"), "Lumenarc.prefs");
    EXPECT_EQ(folderEntries(folder.path()),
              (std::vector<std::string>{"Lumenarc.prefs", "b.prefs"}));
    EXPECT_EQ(lineCount(log), 1u) << log;
}

// A link made before its file exists (a settings folder kept elsewhere) gets that file.
TEST_F(PrefsStoreFile, DanglingLinkGetsItsFileCreatedAndStaysALink) {
    fs::create_directory(folder.path() / "kept");
    fs::create_symlink("kept/prefs.plist", path);
    PrefsManager manager;
    manager.setVScreens(5);
    ASSERT_TRUE(PrefsStore::savePrefs(manager, path));
    EXPECT_EQ(fs::read_symlink(path), "kept/prefs.plist");
    EXPECT_EQ(PrefsStore::loadPrefs(path)->vscreens(), 5);
    EXPECT_EQ(folderEntries(folder.path() / "kept"), std::vector<std::string>{"prefs.plist"});
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"Lumenarc.prefs", "kept"}));
}

TEST_F(PrefsStoreFile, DanglingLinkIntoAMissingFolderFailsAndStaysALink) {
    fs::create_symlink("missing/prefs.plist", path);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PrefsStore::savePrefs(PrefsManager(), path));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs::read_symlink(path), "missing/prefs.plist");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
    EXPECT_EQ(lineCount(log), 1u) << log;
}

TEST_F(PrefsStoreFile, LinkChainIsWrittenThroughKeepingEveryLinkAndTheMode) {
    const std::string target = folder.write("kept/real.plist", validArchive());
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    fs::create_symlink("kept/real.plist", folder.path() / "middle");
    fs::create_symlink("middle", path);
    PrefsManager manager;
    manager.setHScreens(8);
    ASSERT_TRUE(PrefsStore::savePrefs(manager, path));
    EXPECT_EQ(fs::read_symlink(path), "middle");
    EXPECT_EQ(fs::read_symlink(folder.path() / "middle"), "kept/real.plist");
    EXPECT_EQ(PrefsStore::loadPrefs(target)->hscreens(), 8);
    EXPECT_EQ(fs::status(target).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(folderEntries(folder.path() / "kept"), std::vector<std::string>{"real.plist"});
}

TEST_F(PrefsStoreFile, DamagedFileBehindALinkIsKeptBesideItAndTheLinkStays) {
    const std::string target = folder.write("kept/real.plist", "garbage");
    fs::create_symlink(target, path);
    testing::internal::CaptureStderr();
    expectDefaults(*PrefsStore::loadPrefs(path));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(target + ".damaged"), "garbage");
    EXPECT_NE(log.find(target + ".damaged"), std::string::npos) << log;
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(PrefsArchive::decode(readFile(target)).outcome, PrefsArchive::Outcome::Manager);
}

// ---- Temp files of saves that were killed ----

void setModified(const fs::path& path, std::chrono::seconds ago) {
    timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - ago.count();
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST_F(PrefsStoreFile, StaleTempFilesOfKilledSavesGoAtTheNextSave) {
    const std::vector<std::string> stale = {".Lumenarc.prefs.a1B2c3", ".Lumenarc.prefs.ZZZZZZ"};
    const std::vector<std::string> unrelated = {
        ".Lumenarc.prefs.abc",    ".Lumenarc.prefs.abcdefg", ".Lumenarc.prefs.ab-def",
        ".Other.prefs.abcdef",    "Lumenarc.prefs.abcdef",   "notes.txt",
        ".Lumenarc.prefs.Young1", // just made: a save that is starting
    };
    for (const auto& name : stale) {
        folder.write(name, "half a save");
        setModified(folder.path() / name, std::chrono::hours(1));
    }
    for (const auto& name : unrelated) {
        folder.write(name, "keep");
        if (name != ".Lumenarc.prefs.Young1") {
            setModified(folder.path() / name, std::chrono::hours(1));
        }
    }
    fs::create_directory(folder.path() / ".Lumenarc.prefs.DIRxyz");
    fs::create_symlink("notes.txt", folder.path() / ".Lumenarc.prefs.LNKxyz");
    setModified(folder.path() / ".Lumenarc.prefs.DIRxyz", std::chrono::hours(1));
    setModified(folder.path() / ".Lumenarc.prefs.LNKxyz", std::chrono::hours(1));

    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    std::vector<std::string> expected = unrelated;
    expected.insert(expected.end(),
                    {".Lumenarc.prefs.DIRxyz", ".Lumenarc.prefs.LNKxyz", "Lumenarc.prefs"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderEntries(folder.path()), expected);
    EXPECT_EQ(readFile(folder.path() / "notes.txt"), "keep");
}

// flock() locks belong to an open file description, so this open one stands for another
// process that is saving right now.
TEST_F(PrefsStoreFile, TempFileLockedByASaveInProgressStays) {
    const std::string live = folder.write(".Lumenarc.prefs.Live01", "being written");
    setModified(live, std::chrono::hours(1));
    const int fd = open(live.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    EXPECT_EQ(readFile(live), "being written");
    close(fd);
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Lumenarc.prefs"});
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
