#include "prefs/PrefsFileWriter.h"

#include "base/OwnedFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;

std::string errnoText() {
    return std::strerror(errno);
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// How a refusal names what it found: the path itself, or where its links lead.
std::string subject(const fs::path& at, const std::string& path) {
    return at == fs::path(path) ? "it" : "its link leads to " + at.string() + ", which";
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

constexpr std::size_t kRandom = 6;
// The leading dot, the dot before the random letters, and the letters.
constexpr std::size_t kTempExtra = 2 + kRandom;

// The file name as the temp name holds it: shortened where the whole would exceed the longest
// name a folder takes (a legal 249-byte file name would otherwise make no temp file at all).
std::string_view tempStem(std::string_view fileName) {
    return fileName.substr(0, std::min<std::size_t>(fileName.size(), NAME_MAX - kTempExtra));
}

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Over NFS an exclusive lock needs a descriptor open for writing; a temp file that kept a
// read-only mode from the file it was to replace is opened for reading.
int openToLock(const fs::path& temp) {
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = open(temp.c_str(), O_RDWR | kFlags);
    return fd >= 0 || errno != EACCES ? fd : open(temp.c_str(), O_RDONLY | kFlags);
}

// Only a file that no save holds locked, and that is still the one under that name once the
// lock is taken, is removed.
bool removeIfStale(const fs::path& temp) {
    struct stat named {};
    if (lstat(temp.c_str(), &named) != 0 || !S_ISREG(named.st_mode) ||
        std::time(nullptr) - named.st_mtime < PrefsFileWriter::kStaleTempSeconds) {
        return false;
    }
    OwnedFd fd(openToLock(temp));
    struct stat opened {};
    if (!fd.valid() || fstat(fd.get(), &opened) != 0 || !sameFile(named, opened) ||
        flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    struct stat still {};
    return lstat(temp.c_str(), &still) == 0 && sameFile(still, opened) && unlink(temp.c_str()) == 0;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The new file keeps the permissions of the one it replaces; a first file is private (0600,
// as mkstemp makes it): it holds the user's paths.
void keepMode(int fd, const fs::path& file) {
    struct stat old {};
    if (stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, old.st_mode & 07777);
    }
}

bool writeTemp(int fd, const fs::path& file, const std::string& bytes) {
    keepMode(fd, file);
    return writeAll(fd, bytes) && fsync(fd) == 0;
}

void syncFolder(const fs::path& folder) {
    OwnedFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        fsync(fd.get());
    }
}

} // namespace

PrefsFileWriter::Target PrefsFileWriter::resolve(const std::string& path) {
    fs::path at = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat info {};
        if (lstat(at.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return {at, {}};
            }
            return {{}, subject(at, path) + " cannot be examined (" + errnoText() + ")"};
        }
        if (S_ISREG(info.st_mode)) {
            return {at, {}};
        }
        if (!S_ISLNK(info.st_mode)) {
            return {{}, subject(at, path) + " is not a regular file"};
        }
        std::error_code ec;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) {
            return {{}, subject(at, path) + " cannot be examined (" + ec.message() + ")"};
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return {{}, "its links go round in a loop"};
}

bool PrefsFileWriter::isTempName(std::string_view name, std::string_view fileName) {
    const std::string_view stem = tempStem(fileName);
    return name.size() == stem.size() + kTempExtra && name.front() == '.' &&
           name.substr(1, stem.size()) == stem && name[stem.size() + 1] == '.' &&
           std::all_of(name.end() - kRandom, name.end(), isLetterOrDigit);
}

int PrefsFileWriter::removeStaleTemps(const fs::path& file) {
    const std::string fileName = file.filename().string();
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folderOf(file), ec), end; !ec && it != end; it.increment(ec)) {
        if (isTempName(it->path().filename().string(), fileName) && removeIfStale(it->path())) {
            ++removed;
        }
    }
    return removed;
}

bool PrefsFileWriter::replace(const fs::path& file, const std::string& bytes, std::string& error) {
    const fs::path folder = folderOf(file);
    std::string temp = (folder / ".").string();
    const std::string fileName = file.filename().string();
    temp.append(tempStem(fileName)).append(".XXXXXX");
    OwnedFd fd(mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        error = errnoText();
        return false;
    }
    // Locked until after the rename, through a second descriptor that outlives the checked
    // close below: another save's cleaning leaves a locked temp file alone.
    static_cast<void>(flock(fd.get(), LOCK_EX | LOCK_NB));
    const OwnedFd lock(fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!writeTemp(fd.get(), file, bytes) || !fd.reset() ||
        std::rename(temp.c_str(), file.c_str()) != 0) {
        error = errnoText();
        unlink(temp.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

} // namespace lumenarc
