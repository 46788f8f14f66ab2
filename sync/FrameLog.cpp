#include "sync/FrameLog.h"

#include "base/DeveloperLog.h"
#include "base/WallClock.h"

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
    // The header is written through at once: a file that takes no lines (a full disk,
    // /dev/full) is refused here, not found empty after the show.
    errno = 0;
    if (std::fprintf(file, "# %s\n", header.c_str()) < 0 || std::fflush(file) != 0) {
        why = std::strerror(errno != 0 ? errno : EIO);
        std::fclose(file);
        return nullptr;
    }
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

void FrameLog::source(const std::string& what) {
    if (what != m_source) {
        m_source = what;
        std::fprintf(m_file, "# presentation times: %s\n", what.c_str());
    }
}

void FrameLog::presented(int64_t wall, const MovieTime& time) {
    const std::string text = line(wall, time);
    std::fputs(text.c_str(), m_file);
    if (++m_unflushed >= kFlushEvery) {
        if (std::fflush(m_file) != 0 && !m_failed) {
            m_failed = true; // said once: the show goes on without its log
            DeveloperLog::write(std::string("sync: the sync log cannot be written: ") +
                                std::strerror(errno));
        }
        m_unflushed = 0;
    }
}

} // namespace lumenarc
