// Saves killed or stopped part-way, in real child processes.

#include "prefs/PrefsArchive.h"
#include "prefs/PrefsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;
using lumenarc::test::readFile;
using lumenarc::test::TempDir;

std::vector<fs::path> tempFiles(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(".Lumenarc.prefs.", 0) == 0) {
            found.push_back(entry.path());
        }
    }
    return found;
}

void setModifiedAnHourAgo(const fs::path& path) {
    timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - 3600;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// A child that saves `rounds` times and exits with the number of saves that failed.
pid_t startSaving(const std::string& path, int rounds) {
    const pid_t pid = fork();
    if (pid == 0) {
        int failures = 0;
        PrefsManager manager;
        for (int n = 0; n < rounds; ++n) {
            manager.setHScreens(n);
            failures += PrefsStore::savePrefs(manager, path) ? 0 : 1;
        }
        _exit(std::min(failures, 100));
    }
    return pid;
}

bool holdsValidArchive(const std::string& path) {
    return PrefsArchive::decode(readFile(path)).outcome == PrefsArchive::Outcome::Manager;
}

class PrefsStoreKilled : public ::testing::Test {
protected:
    TempDir folder;
    std::string path = (folder.path() / "Lumenarc.prefs").string();
};

TEST_F(PrefsStoreKilled, TempFilesOfKilledSavesGoAtTheNextSave) {
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    const std::string unrelated = folder.write("notes.txt", "keep");
    setModifiedAnHourAgo(unrelated);
    int kills = 0;
    while (tempFiles(folder.path()).size() < 5 && kills < 400) {
        const pid_t pid = startSaving(path, 1 << 30);
        ASSERT_GT(pid, 0);
        usleep(static_cast<useconds_t>(300 + (kills * 137) % 3000));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ++kills;
        ASSERT_TRUE(holdsValidArchive(path)) << "after kill " << kills;
    }
    const auto left = tempFiles(folder.path());
    ASSERT_FALSE(left.empty()) << "no kill landed inside a save in " << kills << " tries";
    // The next start comes later: the killed saves' files look as old as they will then.
    for (const auto& file : left) {
        setModifiedAnHourAgo(file);
    }
    ASSERT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
    EXPECT_TRUE(tempFiles(folder.path()).empty()) << left.size() << " left by " << kills;
    EXPECT_EQ(readFile(unrelated), "keep");
}

// A save paused inside its write keeps its temp file, however old it looks, and then
// finishes: another save's cleaning never takes a live save's file for a killed one's.
TEST_F(PrefsStoreKilled, SaveStoppedMidwayKeepsItsTempFileAndFinishes) {
    const pid_t pid = startSaving(path, 400);
    ASSERT_GT(pid, 0);
    int caught = 0;
    int status = 0;
    bool exited = false;
    for (int tries = 0; tries < 4000 && caught < 3 && !exited; ++tries) {
        usleep(static_cast<useconds_t>(200 + (tries * 53) % 1500));
        kill(pid, SIGSTOP);
        ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
        exited = !WIFSTOPPED(status);
        for (const auto& file : exited ? std::vector<fs::path>() : tempFiles(folder.path())) {
            // A file not locked yet is one the save has only just made: it is young and
            // safe anyway, and ageing it would misrepresent it.
            const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
            const bool live = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            if (fd >= 0) {
                close(fd);
            }
            if (live) {
                setModifiedAnHourAgo(file);
                EXPECT_TRUE(PrefsStore::savePrefs(PrefsManager(), path));
                EXPECT_TRUE(fs::exists(file)) << file;
                ++caught;
            }
        }
        kill(pid, SIGCONT);
    }
    if (!exited) {
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "saves of the paused process failed";
    EXPECT_GT(caught, 0) << "never stopped the save inside its write";
    EXPECT_TRUE(holdsValidArchive(path));
}

} // namespace
} // namespace lumenarc
