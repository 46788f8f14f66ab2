#include "sync/FrameLog.h"

#include "sync/WallClock.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace lumenarc {

std::unique_ptr<FrameLog> FrameLog::create(const std::string& path, const std::string& header,
                                           std::string& why) {
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        why = std::strerror(errno);
        return nullptr;
    }
    std::fprintf(file, "# %s\n", header.c_str());
    std::fflush(file);
    return std::unique_ptr<FrameLog>(new FrameLog(file));
}

FrameLog::~FrameLog() {
    std::fclose(m_file);
}

std::string FrameLog::line(int64_t wallNanoseconds, const MovieTime& time) {
    const double seconds = time.scale > 0 ? static_cast<double>(time.value) / time.scale : 0.0;
    char text[96];
    std::snprintf(text, sizeof text, "%" PRId64 ".%09" PRId64 " %.6f\n",
                  wallNanoseconds / WallClock::kSecond, wallNanoseconds % WallClock::kSecond,
                  seconds);
    return text;
}

void FrameLog::presented(int64_t wall, const MovieTime& time) {
    const std::string text = line(wall, time);
    std::fputs(text.c_str(), m_file);
    if (++m_unflushed >= kFlushEvery) {
        std::fflush(m_file);
        m_unflushed = 0;
    }
}

} // namespace lumenarc
