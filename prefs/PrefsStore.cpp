#include "prefs/PrefsStore.h"

#include "base/OwnedFd.h"
#include "prefs/DamagedCopy.h"
#include "prefs/PrefsArchive.h"
#include "prefs/PrefsFileWriter.h"
#include "prefs/PrefsLimits.h"
#include "prefs/PrefsMerge.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

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
    OwnedFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
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

// ---- What each load found ----

// Per path, what the last load found: the reason a file must stay as it is, and the settings
// it read, against which a save tells the changes of this run from those another program made
// to the file meanwhile. The controller and the tool load a path and save that same path in
// one process.
struct LoadedFiles {
    std::mutex mutex;
    std::map<std::string, std::string> keptReasons;
    std::map<std::string, std::unique_ptr<PrefsManager>> settingsRead;
};

LoadedFiles& loadedFiles() {
    static LoadedFiles files;
    return files;
}

std::string keyFor(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

void setKept(const std::string& path, const std::optional<std::string>& reason) {
    LoadedFiles& files = loadedFiles();
    const std::lock_guard lock(files.mutex);
    if (reason) {
        files.keptReasons[keyFor(path)] = *reason;
    } else {
        files.keptReasons.erase(keyFor(path));
    }
}

std::string keptReason(const std::string& path) {
    LoadedFiles& files = loadedFiles();
    const std::lock_guard lock(files.mutex);
    const auto found = files.keptReasons.find(keyFor(path));
    return found == files.keptReasons.end() ? std::string() : found->second;
}

void rememberSettings(const std::string& path, const PrefsManager& manager) {
    auto copy = PrefsMerge::copyOf(manager);
    LoadedFiles& files = loadedFiles();
    const std::lock_guard lock(files.mutex);
    files.settingsRead[keyFor(path)] = std::move(copy);
}

std::unique_ptr<PrefsManager> settingsRead(const std::string& path) {
    LoadedFiles& files = loadedFiles();
    const std::lock_guard lock(files.mutex);
    const auto found = files.settingsRead.find(keyFor(path));
    return found == files.settingsRead.end() ? nullptr : PrefsMerge::copyOf(*found->second);
}

// ---- Keeping a damaged file ----

// The file itself is moved (not copied): that keeps the bytes exactly, costs nothing for a
// huge file, and lets the next start find no file instead of reporting the same damage again.
// Behind a link it is the file the link leads to, so the link stays and the next save
// creates that file afresh.
void keepDamaged(const std::string& path, const std::string& problem) {
    const PrefsFileWriter::Target target = PrefsFileWriter::resolve(path);
    std::string error = target.refusal;
    const auto kept = target.file.empty()
                          ? std::nullopt
                          : DamagedCopy::moveAside(target.file, std::time(nullptr), error);
    if (kept) {
        logLine("Preferences file " + path + " is damaged (" + problem + "); moved to " + *kept +
                "; using the defaults");
        return;
    }
    logLine("Preferences file " + path + " is damaged (" + problem +
            ") and could not be moved aside (" + error +
            "); using the defaults and leaving the file as it is");
    setKept(path, "it is damaged and could not be moved aside, so it is left as it is");
}

// The stored manager, or the defaults when there is none to take.
std::unique_ptr<PrefsManager> readManager(const std::string& path) {
    const FileRead file = readLimited(path, PrefsArchive::kMaxBytes);
    if (file.status == ReadStatus::Unreadable) {
        logLine("Cannot read preferences file " + path + " (" + file.error +
                "); using the defaults and leaving the file as it is");
        setKept(path, "it could not be read when loaded, so it is left as it is");
    } else if (file.status == ReadStatus::TooLarge) {
        keepDamaged(path, "larger than " + std::to_string(PrefsArchive::kMaxBytes) + " bytes");
    } else if (file.status == ReadStatus::Read) {
        auto decoded = PrefsArchive::decode(file.bytes);
        if (decoded.outcome == PrefsArchive::Outcome::Manager) {
            return std::move(decoded.manager);
        }
        // An archive without the entry holds something else: it is kept aside like any other
        // file that is no preferences, rather than replaced by the next save.
        keepDamaged(path, decoded.outcome == PrefsArchive::Outcome::NoPrefsEntry
                              ? "the archive holds no \"prefs\" entry"
                              : decoded.problem);
    }
    return std::make_unique<PrefsManager>();
}

// What a save writes: the settings this run changed since its load, and every other one as
// the file now holds it, since another program may have set it meanwhile. Without an earlier
// load, or without a readable manager in the file now, that is the run's own settings.
std::unique_ptr<PrefsManager> settingsToSave(const PrefsManager& manager, const std::string& path) {
    const auto read = settingsRead(path);
    const FileRead file = read ? readLimited(path, PrefsArchive::kMaxBytes) : FileRead{};
    if (file.status != ReadStatus::Read) {
        return PrefsMerge::copyOf(manager);
    }
    auto decoded = PrefsArchive::decode(file.bytes);
    if (decoded.outcome != PrefsArchive::Outcome::Manager) {
        return PrefsMerge::copyOf(manager);
    }
    static_cast<void>(PrefsLimits::clamp(*decoded.manager));
    return PrefsMerge::merge(manager, *read, *decoded.manager);
}

} // namespace

std::string PrefsStore::getPrefsPath() {
    const std::filesystem::path folder = prefsFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return (folder / kFileName).string();
}

std::unique_ptr<PrefsManager> PrefsStore::loadPrefs(const std::string& path) {
    setKept(path, std::nullopt);
    auto manager = readManager(path);
    const auto changes = PrefsLimits::clamp(*manager);
    if (!changes.empty()) {
        std::string line = "Preferences file " + path + " holds settings out of range: ";
        for (std::size_t i = 0; i < changes.size(); ++i) {
            line += (i == 0 ? "" : "; ") + changes[i];
        }
        logLine(line);
    }
    rememberSettings(path, *manager);
    return manager;
}

bool PrefsStore::savePrefs(const PrefsManager& manager, const std::string& path) {
    const PrefsFileWriter::Target target = PrefsFileWriter::resolve(path);
    const std::string refusal = target.file.empty() ? target.refusal : keptReason(path);
    if (!refusal.empty()) {
        logLine("Not saving preferences to " + path + ": " + refusal);
        return false;
    }
    PrefsFileWriter::removeStaleTemps(target.file);
    const auto bytes = PrefsArchive::encode(*settingsToSave(manager, path));
    std::string error = "the archive could not be encoded";
    if (!bytes || !PrefsFileWriter::replace(target.file, *bytes, error)) {
        logLine("Cannot save preferences to " + path + ": " + error);
        return false;
    }
    // The file now holds this run's settings wherever they differ from what it read.
    rememberSettings(path, manager);
    return true;
}

} // namespace lumenarc
