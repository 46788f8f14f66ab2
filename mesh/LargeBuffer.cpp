#include "mesh/LargeBuffer.h"

#include <cstdint>
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

} // namespace

std::optional<LargeBuffer> LargeBuffer::allocate(size_t bytes) {
    LargeBuffer buffer;
    if (bytes == 0) {
        return buffer;
    }
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) {
        return std::nullopt;
    }
    buffer.m_data = static_cast<char*>(data);
    buffer.m_size = bytes;
    adviseHugePages(buffer.m_data, bytes);
    return buffer;
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

LargeBuffer::~LargeBuffer() {
    release();
}

void LargeBuffer::release() {
    if (m_data != nullptr) {
        munmap(m_data, m_size);
    }
    m_data = nullptr;
    m_size = 0;
}

} // namespace lumenarc
