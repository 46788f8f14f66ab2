#include "mesh/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
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

// Reads up to `capacity - used` bytes into data + used until the end of the file or the
// buffer is full; false on a read error.
bool fill(int fd, char* data, size_t capacity, size_t& used) {
    while (used < capacity) {
        const ssize_t n = ::read(fd, data + used, capacity - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        used += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::optional<TextFile> TextFile::read(const std::string& path, size_t maxBytes, std::string* why) {
    const auto refuse = [why](std::string reason) -> std::optional<TextFile> {
        if (why != nullptr) {
            *why = std::move(reason);
        }
        return std::nullopt;
    };
    const auto failed = [](const char* what) { return what + std::string(": ") + strerror(errno); };
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting, so the
    // type check below can refuse it. It changes nothing for regular files.
    maxBytes = std::min(maxBytes, SIZE_MAX - 1); // so that maxBytes + 1 below is a size
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0) {
        return refuse(errno == ENOENT ? "missing: no such file" : failed("not readable"));
    }
    if (fstat(fd.get(), &info) != 0) {
        return refuse(failed("not readable"));
    }
    if (!S_ISREG(info.st_mode)) {
        return refuse(S_ISDIR(info.st_mode) ? "not a regular file: a folder"
                                            : "not a regular file");
    }
    if (info.st_size < 0 || static_cast<uintmax_t>(info.st_size) > maxBytes) {
        return refuse("too large: more than " + std::to_string(maxBytes) + " bytes");
    }
    // A regular file from here on: its reads may wait for the disk like any other.
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return refuse(failed("not readable"));
    }
    // The size from fstat is a first guess: the file may shrink or grow while it is read, and
    // some (those in /proc) claim 0 bytes. The buffer holds one byte more than the guess, so
    // that a file which fills it has grown: reading then goes on in a larger buffer, up to
    // the limit.
    TextFile file;
    size_t capacity = static_cast<size_t>(info.st_size) + 1;
    for (;;) {
        if (!file.growTo(capacity)) {
            return refuse("too large for the memory there is");
        }
        if (!fill(fd.get(), file.m_buffer.data(), capacity, file.m_size)) {
            return refuse(failed("not readable"));
        }
        if (file.m_size < capacity) {
            return file; // the end of the file
        }
        if (file.m_size > maxBytes) {
            return refuse("too large: it grew past " + std::to_string(maxBytes) + " bytes");
        }
        capacity = std::min(maxBytes + 1, std::max<size_t>(2 * capacity, 65536));
    }
}

bool TextFile::growTo(size_t capacity) {
    auto larger = LargeBuffer::allocate(capacity);
    if (!larger) {
        return false;
    }
    if (m_size > 0) {
        std::memcpy(larger->data(), m_buffer.data(), m_size);
    }
    m_buffer = std::move(*larger);
    return true;
}

} // namespace lumenarc
