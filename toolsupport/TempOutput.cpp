#include "toolsupport/TempOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

constexpr const char* kSuffix = ".part";
constexpr size_t kNameMax = 255; // when the folder does not say

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// What OUT's own file is: the file a symbolic link names, so that the link stays.
std::filesystem::path resolved(const std::filesystem::path& out) {
    std::error_code failed;
    if (std::filesystem::is_symlink(out, failed)) {
        auto target = std::filesystem::canonical(out, failed);
        if (!failed) {
            return target;
        }
    }
    return out;
}

// Why OUT cannot be replaced by a file, or "".
std::string unusable(const std::filesystem::path& out) {
    struct stat info {};
    if (stat(out.c_str(), &info) != 0) {
        return "";
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    return S_ISREG(info.st_mode) ? "" : "it is not a regular file";
}

size_t nameMaxOf(const std::filesystem::path& folder) {
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : kNameMax;
}

} // namespace

std::string TempOutput::temporaryName(const std::string& outName, size_t nameMax) {
    const std::string tail = std::string(".XXXXXX") + kSuffix;
    size_t keep = outName.size();
    if (1 + keep + tail.size() > nameMax) {
        keep = nameMax > 1 + tail.size() ? nameMax - 1 - tail.size() : 0;
        // Not inside a UTF-8 character.
        while (keep > 0 && (static_cast<unsigned char>(outName[keep]) & 0xC0) == 0x80) {
            --keep;
        }
    }
    return "." + outName.substr(0, keep) + tail;
}

std::unique_ptr<TempOutput> TempOutput::create(const std::string& out, std::string* error) {
    const std::filesystem::path target = resolved(out);
    if (const auto problem = unusable(target); !problem.empty()) {
        setError(error, problem);
        return nullptr;
    }
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    // Beside OUT: same file system, so the rename is atomic.
    const std::string pattern =
        (folder / temporaryName(target.filename().string(), nameMaxOf(folder))).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), static_cast<int>(std::strlen(kSuffix)));
    if (fd < 0) {
        setError(error, std::strerror(errno));
        return nullptr;
    }
    fchmod(fd, newFileMode());
    close(fd);
    return std::unique_ptr<TempOutput>(new TempOutput(name.data(), target.string()));
}

TempOutput::~TempOutput() {
    discard();
}

void TempOutput::discard() {
    if (!m_done) {
        unlink(m_path.c_str());
        m_done = true;
    }
}

bool TempOutput::commit(std::string* error) {
    if (m_done) {
        setError(error, "the temporary file is gone");
        return false;
    }
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        setError(error, std::strerror(errno));
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    close(fd);
    // OUT may have become a folder or a device since the start: never replace that.
    if (const auto problem = unusable(m_out); !problem.empty()) {
        setError(error, problem);
        return false;
    }
    if (std::rename(m_path.c_str(), m_out.c_str()) != 0) {
        setError(error, std::strerror(errno));
        return false;
    }
    m_done = true;
    return true;
}

} // namespace lumenarc
