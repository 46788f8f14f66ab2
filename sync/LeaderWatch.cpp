#include "sync/LeaderWatch.h"

#include <charconv>

namespace lumenarc {
namespace {

// Nanoseconds as seconds with one decimal, whatever the locale.
std::string seconds(int64_t span) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(span) / 1e9,
                                   std::chars_format::fixed, 1)
                         .ptr;
    return std::string(text, end) + " s";
}

} // namespace

std::string LeaderWatch::heard(int64_t now, const std::string& leader) {
    const State was = m_state;
    const int64_t silence = now - m_last;
    m_state = State::Following;
    m_last = now;
    switch (was) {
    case State::Waiting:
        return "sync: following the leader " + leader;
    case State::Lost:
        return "sync: following the leader " + leader + " again, after " + seconds(silence) +
               " without a timeline";
    case State::Following:
        break;
    }
    return {};
}

std::string LeaderWatch::check(int64_t now, const std::string& leader) {
    if (m_state != State::Following || now - m_last < kLost) {
        return {};
    }
    m_state = State::Lost;
    return "sync: lost the leader " + leader + ": no timeline for " + seconds(now - m_last);
}

} // namespace lumenarc
