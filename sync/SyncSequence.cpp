#include "sync/SyncSequence.h"

namespace lumenarc {

bool SyncSequence::follows(const Position& last, uint64_t session, int64_t sequence) {
    // Both are positive: the difference cannot overflow.
    return session == last.session && sequence > last.sequence &&
           sequence - last.sequence <= kMaxStep;
}

SyncSequence::Verdict SyncSequence::admit(uint64_t session, int64_t sequence) {
    if (sequence <= 0) {
        return Verdict::Stale;
    }
    if (m_current && follows(*m_current, session, sequence)) {
        m_current->sequence = sequence;
        m_candidate.reset();
        return Verdict::Next;
    }
    if (m_candidate && follows(*m_candidate, session, sequence)) {
        m_current = Position{session, sequence};
        m_candidate.reset();
        return Verdict::TakeOver;
    }
    if (m_current && session == m_current->session && sequence <= m_current->sequence) {
        return Verdict::Stale; // late or repeated
    }
    m_candidate = Position{session, sequence};
    return Verdict::Candidate;
}

std::optional<uint64_t> SyncSequence::session() const {
    if (!m_current) {
        return std::nullopt;
    }
    return m_current->session;
}

} // namespace lumenarc
