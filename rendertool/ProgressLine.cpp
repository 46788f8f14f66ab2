#include "rendertool/ProgressLine.h"

#include <algorithm>
#include <cmath>

namespace lumenarc {
namespace {

constexpr std::chrono::milliseconds kRedraw{250};

} // namespace

ProgressLine::ProgressLine(std::FILE* out, bool enabled, std::optional<double> totalSeconds)
    : m_out(out), m_enabled(enabled), m_total(totalSeconds) {
    if (m_total && *m_total <= 0) {
        m_total.reset();
    }
}

std::string ProgressLine::clock(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

std::string ProgressLine::format(std::optional<double> fraction, int64_t frames, double fps,
                                 double elapsed, std::optional<double> remaining) {
    char text[160];
    const std::string percent =
        fraction ? std::to_string(std::lround(std::clamp(*fraction, 0.0, 1.0) * 100)) + "%"
                 : std::string("?%");
    std::snprintf(text, sizeof text, "%4s  %lld frames  %.1f fps  elapsed %s  remaining %s",
                  percent.c_str(), static_cast<long long>(frames), fps, clock(elapsed).c_str(),
                  remaining ? clock(*remaining).c_str() : "?");
    return text;
}

void ProgressLine::draw(int64_t frames, double seconds) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - m_started).count();
    const double fps = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0;
    std::optional<double> fraction, remaining;
    if (m_total) {
        fraction = std::clamp(seconds / *m_total, 0.0, 1.0);
        if (*fraction > 0) {
            remaining = elapsed * (1 - *fraction) / *fraction;
        }
    }
    // \r returns to the start of the line, ESC [K wipes what a longer line left behind.
    std::fprintf(m_out, "\r%s\033[K", format(fraction, frames, fps, elapsed, remaining).c_str());
    std::fflush(m_out);
    m_drawn = true;
}

void ProgressLine::update(int64_t frames, double seconds) {
    if (!m_enabled) {
        return;
    }
    const auto now = Clock::now();
    if (m_drawn && now - m_lastDrawn < kRedraw) {
        return;
    }
    m_lastDrawn = now;
    draw(frames, seconds);
}

void ProgressLine::finish(int64_t frames, double seconds) {
    if (!m_enabled) {
        return;
    }
    if (m_total) {
        seconds = *m_total; // the cut is done, whatever the last frame's start time
    }
    draw(frames, seconds);
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_drawn = false;
}

void ProgressLine::clear() {
    if (m_enabled && m_drawn) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

} // namespace lumenarc
