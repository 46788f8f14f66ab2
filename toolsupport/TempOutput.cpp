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

} // namespace

std::unique_ptr<TempOutput> TempOutput::create(const std::string& out, std::string* error) {
    const std::filesystem::path target(out);
    std::error_code ignored;
    if (std::filesystem::is_directory(target, ignored)) {
        setError(error, "it is a folder");
        return nullptr;
    }
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    // A hidden name beside OUT: same file system, so the rename is atomic.
    const std::string pattern =
        (folder / ("." + target.filename().string() + ".XXXXXX.part")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), 5);
    if (fd < 0) {
        setError(error, std::strerror(errno));
        return nullptr;
    }
    fchmod(fd, newFileMode());
    close(fd);
    return std::unique_ptr<TempOutput>(new TempOutput(name.data(), out));
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
    if (std::rename(m_path.c_str(), m_out.c_str()) != 0) {
        setError(error, std::strerror(errno));
        return false;
    }
    m_done = true;
    return true;
}

} // namespace lumenarc
