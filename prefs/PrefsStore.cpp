#include "prefs/PrefsStore.h"

#include "prefs/PrefsArchive.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

// Never overwrite an earlier damaged copy: the next free name of "<path>.damaged",
// "<path>.damaged.1", ... is used, and after this many the file is left where it is.
constexpr int kMaxDamagedCopies = 100;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting the error that close() may be the first to see.
    bool reset() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int m_fd;
};

void logLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string errnoText() {
    return std::strerror(errno);
}

// HOME first, as every desktop program does; the password database when it is unset. With
// neither, the path becomes absolute under "/", where creating the folder fails harmlessly.
std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::filesystem::path prefsFolder() {
#ifdef __APPLE__
    return std::filesystem::path(homeFolder()) / "Library" / "Preferences" / "Lumenarc";
#else
    // The base-directory rules make a relative XDG_CONFIG_HOME invalid; it is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path base = config != nullptr && config[0] == '/'
                                           ? std::filesystem::path(config)
                                           : std::filesystem::path(homeFolder()) / ".config";
    return base / "Lumenarc";
#endif
}

// ---- Reading ----

enum class ReadStatus { Read, Missing, Unreadable, TooLarge };

struct FileRead {
    ReadStatus status = ReadStatus::Unreadable;
    std::string bytes;
    std::string error;
};

FileRead unreadable(std::string error) {
    return {ReadStatus::Unreadable, {}, std::move(error)};
}

bool readUpTo(int fd, std::size_t limit, std::string& bytes) {
    bytes.resize(limit);
    std::size_t used = 0;
    while (used < limit) {
        const ssize_t n = read(fd, bytes.data() + used, limit - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bytes.resize(used);
            return n == 0;
        }
        used += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads at most maxBytes + 1 bytes, so that a huge file costs no more than a big one. Opening
// without blocking keeps a FIFO planted at the path from hanging the start.
FileRead readLimited(const std::string& path, std::size_t maxBytes) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        return errno == ENOENT ? FileRead{ReadStatus::Missing, {}, {}} : unreadable(errnoText());
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        return unreadable(errnoText());
    }
    if (!S_ISREG(info.st_mode)) {
        return unreadable("not a regular file");
    }
    FileRead file{ReadStatus::Read, {}, {}};
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        file.status = ReadStatus::TooLarge;
    } else if (!readUpTo(fd.get(), maxBytes + 1, file.bytes)) {
        return unreadable(errnoText());
    } else if (file.bytes.size() > maxBytes) {
        file.status = ReadStatus::TooLarge;
    }
    return file;
}

// ---- Keeping a damaged file ----

// Renames without ever replacing an existing file: renameat2 where the filesystem has it,
// else a hard link (which fails on an existing name) and unlink, else a checked rename.
bool renameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return false;
    }
#endif
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    struct stat existing {};
    if (lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<std::string> moveAside(const std::string& path, std::string& error) {
    for (int n = 0; n < kMaxDamagedCopies; ++n) {
        std::string candidate = path + PrefsStore::kDamagedSuffix;
        if (n > 0) {
            candidate += "." + std::to_string(n);
        }
        if (renameNoReplace(path, candidate)) {
            return candidate;
        }
        if (errno != EEXIST) {
            error = errnoText();
            return std::nullopt;
        }
    }
    error = "too many damaged copies already";
    return std::nullopt;
}

// Moving (not copying) keeps the bytes exactly, costs nothing for a huge file, and lets the
// next start find no file instead of reporting the same damage again.
void keepDamaged(const std::string& path, const std::string& problem) {
    std::string error;
    if (const auto kept = moveAside(path, error)) {
        logLine("Preferences file " + path + " is damaged (" + problem + "); moved to " + *kept +
                "; using the defaults");
    } else {
        logLine("Preferences file " + path + " is damaged (" + problem +
                ") and could not be moved aside (" + error + "); using the defaults");
    }
}

// ---- Writing ----

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

// A symbolic link at the path (a kept-in-a-repository setup) is written through, not replaced.
std::filesystem::path writeTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
        auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) {
            return resolved;
        }
    }
    return path;
}

// The new file keeps the permissions of the one it replaces; a first file is private (0600,
// as mkstemp makes it): it holds the user's paths.
void keepMode(int fd, const std::filesystem::path& target) {
    struct stat old {};
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, old.st_mode & 07777);
    }
}

void syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        fsync(fd.get());
    }
}

bool writeTemp(int fd, const std::filesystem::path& target, const std::string& bytes) {
    keepMode(fd, target);
    return writeAll(fd, bytes) && fsync(fd) == 0;
}

// Temp file beside the target, written and synced, then renamed over it: readers see the old
// file or the new one, never a part. On failure the temp file goes and the old file stays.
bool replaceFile(const std::filesystem::path& target, const std::string& bytes,
                 std::string& error) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        error = errnoText();
        return false;
    }
    if (!writeTemp(fd.get(), target, bytes) || !fd.reset() ||
        std::rename(temp.c_str(), target.c_str()) != 0) {
        error = errnoText();
        unlink(temp.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

} // namespace

std::string PrefsStore::getPrefsPath() {
    const std::filesystem::path folder = prefsFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return (folder / kFileName).string();
}

std::unique_ptr<PrefsManager> PrefsStore::loadPrefs(const std::string& path) {
    const FileRead file = readLimited(path, PrefsArchive::kMaxBytes);
    if (file.status == ReadStatus::Unreadable) {
        logLine("Cannot read preferences file " + path + " (" + file.error +
                "); using the defaults");
    } else if (file.status == ReadStatus::TooLarge) {
        keepDamaged(path, "larger than " + std::to_string(PrefsArchive::kMaxBytes) + " bytes");
    } else if (file.status == ReadStatus::Read) {
        auto decoded = PrefsArchive::decode(file.bytes);
        if (decoded.outcome == PrefsArchive::Outcome::Manager) {
            return std::move(decoded.manager);
        }
        if (decoded.outcome == PrefsArchive::Outcome::Damaged) {
            keepDamaged(path, decoded.problem);
        }
    }
    return std::make_unique<PrefsManager>();
}

bool PrefsStore::savePrefs(const PrefsManager& manager, const std::string& path) {
    const auto bytes = PrefsArchive::encode(manager);
    std::string error = "the archive could not be encoded";
    if (!bytes || !replaceFile(writeTarget(path), *bytes, error)) {
        logLine("Cannot save preferences to " + path + ": " + error);
        return false;
    }
    return true;
}

} // namespace lumenarc
