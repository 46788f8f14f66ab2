#include "mesh/LargeBuffer.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace lumenarc {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// Huge pages only pay off for whole 2 MiB pages inside the mapping.
void adviseHugePages(char* data, size_t bytes) {
    const auto begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (end > begin) {
        // Only advice: memory without huge pages works the same, only slower to fill.
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

char* map(size_t bytes) {
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) {
        return nullptr;
    }
    adviseHugePages(static_cast<char*>(data), bytes);
    return static_cast<char*>(data);
}

} // namespace

std::optional<LargeBuffer> LargeBuffer::allocate(size_t bytes) {
    LargeBuffer buffer;
    if (bytes == 0) {
        return buffer;
    }
    buffer.m_mapped = bytes >= kMapThreshold;
    buffer.m_data = buffer.m_mapped ? map(bytes) : new (std::nothrow) char[bytes];
    if (buffer.m_data == nullptr) {
        return std::nullopt;
    }
    buffer.m_size = bytes;
    return buffer;
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, false)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, false);
    }
    return *this;
}

LargeBuffer::~LargeBuffer() {
    release();
}

void LargeBuffer::release() {
    if (m_mapped) {
        munmap(m_data, m_size);
    } else {
        delete[] m_data;
    }
    m_data = nullptr;
    m_size = 0;
    m_mapped = false;
}

} // namespace lumenarc
