#include "prefs/DamagedCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace lumenarc {
namespace {

// Renames without ever replacing an existing file: renameat2 where the filesystem has it,
// else a hard link (which fails on an existing name) and unlink. A plain rename is never used,
// since it would replace a file created between a check and the rename.
bool renameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) {
        return false;
    }
#endif
    if (link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    // Should the unlink fail, the file has two names: still nothing is lost.
    unlink(from.c_str());
    return true;
}

std::string timeStamp(const std::tm& when) {
    char text[32];
    if (std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &when) == 0) {
        return "00000000-000000";
    }
    return text;
}

} // namespace

std::string DamagedCopy::candidate(const std::string& file, const std::tm& when, int attempt) {
    std::string name = file;
    name += kSuffix;
    if (attempt == 0) {
        return name;
    }
    name += '.';
    name += timeStamp(when);
    if (attempt > 1) {
        name += '.';
        name += std::to_string(attempt);
    }
    return name;
}

std::optional<std::string> DamagedCopy::moveAside(const std::string& file, std::time_t now,
                                                  std::string& error) {
    std::tm when{};
    localtime_r(&now, &when);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = candidate(file, when, attempt);
        if (renameNoReplace(file, name)) {
            return name;
        }
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return std::nullopt;
        }
    }
    error = "every name for a copy is taken";
    return std::nullopt;
}

} // namespace lumenarc
