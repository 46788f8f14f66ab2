// Feeds arbitrary bytes to the sync message decoder. Whatever it accepts must have every number
// within its range and survive a round trip through the encoder unchanged.

#include "sync/SyncMessage.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using lumenarc::SyncMessage;
using lumenarc::SyncSegment;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "sync_message_fuzz: %s\n", what);
        std::abort();
    }
}

void checkSegment(const SyncSegment& segment) {
    check(std::isfinite(segment.position), "a position that is not finite was accepted");
    check(std::isfinite(segment.rate) && std::fabs(segment.rate) <= SyncMessage::kMaxRate,
          "a rate out of range was accepted");
}

bool same(const SyncMessage& a, const SyncMessage& b) {
    const auto& ta = a.timeline;
    const auto& tb = b.timeline;
    return a.kind == b.kind && a.session == b.session && a.sequence == b.sequence && a.t1 == b.t1 &&
           a.t2 == b.t2 && a.t3 == b.t3 && a.nonce == b.nonce && a.cookie == b.cookie &&
           a.verb == b.verb &&
           (a.value == b.value || (std::isnan(a.value) && std::isnan(b.value))) &&
           ta.movie.name == tb.movie.name && ta.movie.width == tb.movie.width &&
           ta.movie.height == tb.movie.height && ta.movie.duration == tb.movie.duration &&
           ta.before == tb.before && ta.after == tb.after;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto message = SyncMessage::decode(reinterpret_cast<const char*>(data), size);
    if (!message) {
        return 0;
    }
    if (message->kind == SyncMessage::Kind::Timeline) {
        const auto& movie = message->timeline.movie;
        check(movie.name.size() <= SyncMessage::kMaxNameLength, "a name too long was accepted");
        check(std::isfinite(movie.duration) && movie.duration >= 0, "a bad length was accepted");
        check(movie.width >= 0 && movie.height >= 0, "a negative size was accepted");
        checkSegment(message->timeline.before);
        checkSegment(message->timeline.after);
    }
    if (message->kind == SyncMessage::Kind::Command) {
        check(std::isfinite(message->value), "a command value that is not finite was accepted");
    }
    const auto bytes = message->encode();
    check(!bytes.empty(), "an accepted message did not encode");
    const auto again = SyncMessage::decode(bytes.data(), bytes.size());
    check(again.has_value(), "a re-encoded message did not decode");
    check(same(*message, *again), "the round trip changed the message");
    return 0;
}
