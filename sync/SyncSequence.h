#pragma once

#include <cstdint>
#include <optional>

namespace lumenarc {

// Which of a leader's timelines a follower takes: within the session it follows, each later
// than the last by at most kMaxStep. Anything else, a restarted leader's or one heard after a
// long gap, takes over only once a second timeline agrees with it: one datagram, forged or
// stray, cannot make the follower ignore its leader.
class SyncSequence {
public:
    enum class Verdict {
        Stale,     // older, repeated or out of step: ignored
        Candidate, // kept, to be confirmed by the next
        Next,      // the next timeline of the session followed
        TakeOver,  // confirmed: a session followed from now on
    };

    Verdict admit(uint64_t session, int64_t sequence);
    std::optional<uint64_t> session() const;

    static constexpr int64_t kMaxStep = 1000;

private:
    struct Position {
        uint64_t session = 0;
        int64_t sequence = 0;
    };
    static bool follows(const Position& last, uint64_t session, int64_t sequence);

    std::optional<Position> m_current;
    std::optional<Position> m_candidate;
};

} // namespace lumenarc
