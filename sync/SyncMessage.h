#pragma once

#include "sync/SyncTimeline.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// The messages between a leader and its followers: OSC over UDP, in their own address space.
//   /lumenarc/sync/timeline  the leader's timeline, on every change and 10 times a second
//   /lumenarc/sync/join      a follower asks for a cookie; padded to more than the answer
//   /lumenarc/sync/cookie    the leader's answer: proof of the address the join came from
//   /lumenarc/sync/ping      a follower's t1 and nonce, with its cookie; it also tells the
//                            leader where to send timelines
//   /lumenarc/sync/pong      the leader's answer: t1, t2, t3 and the ping's nonce
//   /lumenarc/sync/command   a transport command a follower passes on: verb, value and cookie
// No answer is larger than what it answers, so a forged sender gains nothing by asking.
struct SyncMessage {
    enum class Kind { Timeline, Join, Cookie, Ping, Pong, Command };
    using Cookie = std::array<unsigned char, 16>;

    Kind kind = Kind::Timeline;
    // Timeline: a leader's run is its session; within it, later messages count higher.
    uint64_t session = 0;
    int64_t sequence = 0;
    SyncTimeline timeline;
    // Ping and pong, nanoseconds of CLOCK_REALTIME, and the nonce that pairs them.
    int64_t t1 = 0, t2 = 0, t3 = 0;
    uint64_t nonce = 0;
    // Cookie, ping and command.
    Cookie cookie{};
    // Command: "rate" (0 pauses, within ±kMaxRate), "seek" (seconds from the start), "loop" (0 or
    // 1), "step" (frames: the sign counts).
    std::string verb;
    double value = 0;

    std::vector<char> encode() const;
    // Nothing for a datagram that is not one of these messages, complete and well formed.
    static std::optional<SyncMessage> decode(const char* data, size_t size);

    static constexpr size_t kMaxNameLength = 1024;
    static constexpr size_t kJoinPadding = 32;
    // The player's own range of rates, either way.
    static constexpr double kMaxRate = 100.0;
};

} // namespace lumenarc
