#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace lumenarc {

// The sync session's lines on standard error, throttled by kind: at most one line of a kind per
// kPeriod, whatever a peer sends, with the number held back told in the next. Main thread.
class SyncLog {
public:
    // The line to write for `text` of `kind` at `now` (nanoseconds), or "" to hold it back.
    std::string admit(const std::string& kind, const std::string& text, int64_t now);
    // Writes what admit lets through, at the wall clock's now.
    void write(const std::string& kind, const std::string& text);

    static constexpr int64_t kPeriod = 1'000'000'000;

private:
    struct Kind {
        int64_t last = 0;
        bool wrote = false;
        uint64_t heldBack = 0;
    };
    std::map<std::string, Kind> m_kinds; // a few, named by the code
};

} // namespace lumenarc
