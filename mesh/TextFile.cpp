#include "mesh/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenarc {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool readAll(int fd, std::string& out) {
    size_t used = 0;
    out.resize(65536);
    for (;;) {
        if (used == out.size()) {
            out.resize(out.size() * 2);
        }
        const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    out.resize(used);
    return true;
}

} // namespace

std::optional<TextFile> TextFile::read(const std::string& path) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    TextFile file;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        const auto size = static_cast<size_t>(info.st_size);
        void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (data != MAP_FAILED) {
            file.m_view = std::string_view(static_cast<const char*>(data), size);
            file.m_mapped = true;
            return file;
        }
    }
    if (!readAll(fd.get(), file.m_buffer)) {
        return std::nullopt;
    }
    return file;
}

TextFile::TextFile(TextFile&& other) noexcept
    : m_buffer(std::move(other.m_buffer)), m_view(other.m_view), m_mapped(other.m_mapped) {
    other.m_mapped = false;
    other.m_view = {};
}

TextFile::~TextFile() {
    if (m_mapped) {
        munmap(const_cast<char*>(m_view.data()), m_view.size());
    }
}

} // namespace lumenarc
