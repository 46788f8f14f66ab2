#include "sync/SyncLog.h"

#include "base/DeveloperLog.h"
#include "base/WallClock.h"

namespace lumenarc {

std::string SyncLog::admit(const std::string& kind, const std::string& text, int64_t now) {
    Kind& state = m_kinds[kind];
    if (state.wrote && now - state.last < kPeriod) {
        ++state.heldBack;
        return "";
    }
    std::string line = "lumenarc: " + text;
    if (state.heldBack > 0) {
        line += " (" + std::to_string(state.heldBack) + " more like it held back)";
    }
    state = {now, true, 0};
    return line;
}

void SyncLog::write(const std::string& kind, const std::string& text) {
    if (const std::string line = admit(kind, text, WallClock::now()); !line.empty()) {
        DeveloperLog::write(line);
    }
}

} // namespace lumenarc
