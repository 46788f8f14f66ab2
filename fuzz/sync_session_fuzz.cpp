// Feeds a decoded sequence of datagrams, and the time passing between them, to a leader's and a
// follower's message handling: the parts SyncSession composes (the cookie check, the table of
// followers, the order of timelines, the plausibility of their anchors, the pairing of pongs
// with pings, the clock offset), composed the same way. Whatever arrives, no rate or position
// becomes NaN, the follower's next change is never far away, and the table stays bounded.

#include "sync/ClockOffset.h"
#include "sync/SyncCookies.h"
#include "sync/SyncFollowers.h"
#include "sync/SyncMessage.h"
#include "sync/SyncSequence.h"
#include "sync/SyncTimeline.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace {

using namespace lumenarc;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "sync_session_fuzz: %s\n", what);
        std::abort();
    }
}

void checkSegment(const SyncSegment& segment, double duration, int64_t now) {
    check(!std::isnan(segment.rate) && std::fabs(segment.rate) <= SyncMessage::kMaxRate,
          "a rate out of range");
    for (const int64_t wall : {now, now + 1'000'000'000, segment.anchor, INT64_MAX, INT64_MIN}) {
        check(std::isfinite(segment.positionAt(wall, duration)), "a position that is not finite");
    }
}

SyncAddress addressOf(FuzzedDataProvider& input) {
    SyncAddress address;
    auto* in = reinterpret_cast<sockaddr_in*>(&address.address);
    in->sin_family = AF_INET;
    // Few hosts and ports, so that the same ones come back.
    in->sin_addr.s_addr = htonl(0x7f000000u | input.ConsumeIntegralInRange<uint32_t>(1, 40));
    in->sin_port = htons(input.ConsumeIntegralInRange<uint16_t>(1000, 1400));
    address.length = sizeof(sockaddr_in);
    return address;
}

struct Follower {
    SyncSequence order;
    ClockOffset offset;
    std::deque<std::pair<uint64_t, int64_t>> pings;
    std::optional<SyncTimeline> timeline;

    int64_t measured() const {
        const auto best = offset.best();
        return best ? best->offset : 0;
    }

    void receive(const SyncMessage& message, int64_t now) {
        if (message.kind == SyncMessage::Kind::Pong) {
            const auto ping = std::find_if(pings.begin(), pings.end(), [&](const auto& sent) {
                return sent.first == message.nonce;
            });
            if (ping != pings.end()) {
                const int64_t t1 = ping->second;
                pings.erase(ping);
                offset.add(t1, message.t2, message.t3, now);
                check(std::abs(measured()) < ClockOffset::kMaxOffset, "an offset beyond a day");
            }
        }
        if (message.kind != SyncMessage::Kind::Timeline ||
            !message.timeline.plausibleAt(now + measured())) {
            return;
        }
        const auto verdict = order.admit(message.session, message.sequence);
        if (verdict == SyncSequence::Verdict::Next || verdict == SyncSequence::Verdict::TakeOver) {
            timeline = message.timeline;
        }
    }

    void checkTimeline(int64_t now) const {
        if (!timeline) {
            return;
        }
        checkSegment(timeline->before, timeline->movie.duration, now);
        checkSegment(timeline->after, timeline->movie.duration, now);
        // The follower waits for the next change at most this long after it was heard.
        check(timeline->after.anchor - measured() <=
                  now + SyncTimeline::kMaxAhead + 2 * ClockOffset::kMaxOffset,
              "a wait without bound");
    }
};

struct Leader {
    SyncCookies cookies;
    SyncFollowers followers;
    SyncTimeline timeline;

    void receive(const SyncMessage& message, const SyncAddress& from, bool echo, int64_t now) {
        const SyncMessage::Cookie cookie = echo ? cookies.make(from, now) : message.cookie;
        if (!cookies.check(from, cookie, now)) {
            return;
        }
        if (message.kind == SyncMessage::Kind::Ping) {
            followers.heard(from, now);
        }
        if (message.kind == SyncMessage::Kind::Command) {
            SyncSegment& next = timeline.change(now, 200'000'000);
            if (message.verb == "rate") {
                next.paused = message.value == 0;
                next.rate = next.paused ? next.rate : message.value;
            } else if (message.verb == "seek") {
                next.position = message.value;
            }
        }
        checkSegment(timeline.after, timeline.movie.duration, now);
    }

    void checkTable() const {
        check(followers.size() <= SyncFollowers::kMaxTotal, "the table grew past its bound");
        std::map<std::string, size_t> perHost;
        followers.forEach([&](const SyncAddress& address) {
            check(++perHost[address.host()] <= SyncFollowers::kMaxPerHost,
                  "one host took more than its share");
        });
    }
};

// A time stamp anywhere in the range now and then, mostly within 10 s of `at`: the sum wraps as
// the wire would carry it.
int64_t near(FuzzedDataProvider& input, int64_t at) {
    const int64_t delta =
        input.ConsumeIntegralInRange(0, 7) == 0
            ? input.ConsumeIntegral<int64_t>()
            : input.ConsumeIntegralInRange<int64_t>(-10'000'000'000, 10'000'000'000);
    return static_cast<int64_t>(static_cast<uint64_t>(at) + static_cast<uint64_t>(delta));
}

// A number of any value now and then, mostly one within `span` of 0.
double number(FuzzedDataProvider& input, double span) {
    return input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeFloatingPoint<double>()
                                                   : input.ConsumeFloatingPointInRange(-span, span);
}

// A message of the given kind made of fuzzed fields, through the wire and back: what a sender
// who knows the format could send, reached quicker than through raw bytes.
std::optional<SyncMessage> madeUp(FuzzedDataProvider& input, int64_t now) {
    SyncMessage message;
    const auto segment = [&](int64_t around) {
        return SyncSegment{near(input, around), number(input, 100), number(input, 120),
                           input.ConsumeBool(), input.ConsumeBool()};
    };
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        message.kind = SyncMessage::Kind::Timeline;
        message.session = input.ConsumeIntegralInRange<uint64_t>(1, 3);
        message.sequence = input.ConsumeIntegralInRange(0, 7) == 0
                               ? input.ConsumeIntegral<int64_t>()
                               : input.ConsumeIntegralInRange<int64_t>(-5, 3000);
        message.timeline.movie = {"show.mp4", 160, 90, std::fabs(number(input, 100))};
        message.timeline.after = segment(now);
        message.timeline.before = segment(message.timeline.after.anchor - 10'000'000'000);
        break;
    case 1:
        message.kind = SyncMessage::Kind::Ping;
        message.t1 = near(input, now);
        break;
    case 2:
        message.kind = SyncMessage::Kind::Pong;
        message.nonce = input.ConsumeIntegralInRange<uint64_t>(0, 40);
        message.t2 = near(input, now);
        message.t3 = near(input, message.t2);
        break;
    default:
        message.kind = SyncMessage::Kind::Command;
        message.verb = input.PickValueInArray({"rate", "seek", "loop", "step"});
        message.value = number(input, 120);
        break;
    }
    const auto bytes = message.encode();
    return SyncMessage::decode(bytes.data(), bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    int64_t now = 1'800'000'000'000'000'000; // an instant of this era
    Follower follower;
    Leader leader;
    leader.timeline.movie = {"show.mp4", 160, 90, 12};
    leader.timeline.reset({now, 0, 1, false, false});
    uint64_t nonce = 0;
    bool crowded = false;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 6)) {
        case 0: { // a datagram for the follower
            const std::string bytes = input.ConsumeRandomLengthString(512);
            if (const auto message = SyncMessage::decode(bytes.data(), bytes.size())) {
                follower.receive(*message, now);
            }
            break;
        }
        case 1: { // a datagram for the leader
            const SyncAddress from = addressOf(input);
            const bool echo = input.ConsumeBool();
            const std::string bytes = input.ConsumeRandomLengthString(512);
            if (const auto message = SyncMessage::decode(bytes.data(), bytes.size())) {
                leader.receive(*message, from, echo, now);
            }
            leader.checkTable();
            break;
        }
        case 2: // time passes
            now += input.ConsumeIntegralInRange<int64_t>(0, 3'000'000'000);
            leader.followers.expire(now);
            break;
        case 3: // the follower pings
            follower.pings.emplace_back(++nonce, now);
            if (follower.pings.size() > 16 /* as the session keeps */) {
                follower.pings.pop_front();
            }
            break;
        case 4: // a message of fuzzed fields for the follower
            if (const auto message = madeUp(input, now)) {
                follower.receive(*message, now);
            }
            break;
        case 5: { // a message of fuzzed fields for the leader
            const SyncAddress from = addressOf(input);
            const bool echo = input.ConsumeBool();
            if (const auto message = madeUp(input, now)) {
                leader.receive(*message, from, echo, now);
            }
            leader.checkTable();
            break;
        }
        case 6: { // once, a crowd of proven senders, from few hosts or many
            if (crowded) {
                break;
            }
            crowded = true;
            const int count = input.ConsumeIntegralInRange<int>(1, 300);
            const uint32_t hosts = input.ConsumeIntegralInRange<uint32_t>(1, 64);
            for (int k = 0; k < count; ++k) {
                SyncAddress from;
                auto* in = reinterpret_cast<sockaddr_in*>(&from.address);
                in->sin_family = AF_INET;
                in->sin_addr.s_addr = htonl(0x7f000001u + static_cast<uint32_t>(k) % hosts);
                in->sin_port = htons(static_cast<uint16_t>(2000 + k));
                from.length = sizeof(sockaddr_in);
                leader.followers.heard(from, now); // their cookies are true
            }
            leader.checkTable();
            break;
        }
        }
        follower.checkTimeline(now);
    }
    return 0;
}
