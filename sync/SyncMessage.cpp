#include "sync/SyncMessage.h"

#include "net/LoMessage.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <lo/lo.h>
#include <lo/lo_lowlevel.h>
#include <memory>
#include <string>
#include <string_view>

namespace lumenarc {
namespace {

constexpr const char* kTimeline = "/lumenarc/sync/timeline";
constexpr const char* kJoin = "/lumenarc/sync/join";
constexpr const char* kCookie = "/lumenarc/sync/cookie";
constexpr const char* kPing = "/lumenarc/sync/ping";
constexpr const char* kPong = "/lumenarc/sync/pong";
constexpr const char* kCommand = "/lumenarc/sync/command";
// Session, sequence, movie, then two segments.
constexpr std::string_view kTimelineTypes = "hhsiidhddiihddii";

void addBlob(lo_message message, const unsigned char* data, size_t size) {
    lo_blob blob = lo_blob_new(static_cast<int32_t>(size), data);
    lo_message_add_blob(message, blob);
    lo_blob_free(blob);
}

// A blob argument of exactly `size` bytes.
bool readBlob(lo_arg* arg, unsigned char* out, size_t size) {
    const auto blob = reinterpret_cast<lo_blob>(arg);
    if (lo_blob_datasize(blob) != size) {
        return false;
    }
    std::memcpy(out, lo_blob_dataptr(blob), size);
    return true;
}

void addSegment(lo_message message, const SyncSegment& segment) {
    lo_message_add_int64(message, segment.anchor);
    lo_message_add_double(message, segment.position);
    lo_message_add_double(message, segment.rate);
    lo_message_add_int32(message, segment.paused ? 1 : 0);
    lo_message_add_int32(message, segment.looping ? 1 : 0);
}

bool readSegment(lo_arg** argv, int first, SyncSegment& segment) {
    segment.anchor = LoMessage::valueOf<int64_t>(argv[first]);
    segment.position = LoMessage::valueOf<double>(argv[first + 1]);
    segment.rate = LoMessage::valueOf<double>(argv[first + 2]);
    segment.paused = LoMessage::valueOf<int32_t>(argv[first + 3]) != 0;
    segment.looping = LoMessage::valueOf<int32_t>(argv[first + 4]) != 0;
    return std::isfinite(segment.position) && std::isfinite(segment.rate) &&
           std::fabs(segment.rate) <= SyncMessage::kMaxRate;
}

bool readTimeline(lo_arg** argv, SyncMessage& out) {
    out.session = static_cast<uint64_t>(LoMessage::valueOf<int64_t>(argv[0]));
    out.sequence = LoMessage::valueOf<int64_t>(argv[1]);
    MovieIdentity& movie = out.timeline.movie;
    movie.name = reinterpret_cast<const char*>(argv[2]);
    movie.width = LoMessage::valueOf<int32_t>(argv[3]);
    movie.height = LoMessage::valueOf<int32_t>(argv[4]);
    movie.duration = LoMessage::valueOf<double>(argv[5]);
    if (movie.name.size() > SyncMessage::kMaxNameLength || !std::isfinite(movie.duration) ||
        movie.duration < 0 || movie.width < 0 || movie.height < 0) {
        return false;
    }
    return readSegment(argv, 6, out.timeline.before) && readSegment(argv, 11, out.timeline.after);
}

bool validCommand(const std::string& verb, double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    if (verb == "rate") {
        return std::fabs(value) <= SyncMessage::kMaxRate;
    }
    if (verb == "seek") {
        return value >= 0;
    }
    return verb == "loop" || verb == "step";
}

} // namespace

std::vector<char> SyncMessage::encode() const {
    LoMessage::Owned message(lo_message_new());
    const char* path = kTimeline;
    switch (kind) {
    case Kind::Timeline:
        lo_message_add_int64(message.get(), static_cast<int64_t>(session));
        lo_message_add_int64(message.get(), sequence);
        lo_message_add_string(message.get(), timeline.movie.name.c_str());
        lo_message_add_int32(message.get(), timeline.movie.width);
        lo_message_add_int32(message.get(), timeline.movie.height);
        lo_message_add_double(message.get(), timeline.movie.duration);
        addSegment(message.get(), timeline.before);
        addSegment(message.get(), timeline.after);
        break;
    case Kind::Join: {
        path = kJoin;
        const std::array<unsigned char, kJoinPadding> padding{};
        addBlob(message.get(), padding.data(), padding.size());
        break;
    }
    case Kind::Cookie:
        path = kCookie;
        addBlob(message.get(), cookie.data(), cookie.size());
        break;
    case Kind::Ping:
        path = kPing;
        lo_message_add_int64(message.get(), t1);
        lo_message_add_int64(message.get(), static_cast<int64_t>(nonce));
        addBlob(message.get(), cookie.data(), cookie.size());
        break;
    case Kind::Pong:
        path = kPong;
        lo_message_add_int64(message.get(), t1);
        lo_message_add_int64(message.get(), t2);
        lo_message_add_int64(message.get(), t3);
        lo_message_add_int64(message.get(), static_cast<int64_t>(nonce));
        break;
    case Kind::Command:
        path = kCommand;
        lo_message_add_string(message.get(), verb.c_str());
        lo_message_add_double(message.get(), value);
        addBlob(message.get(), cookie.data(), cookie.size());
        break;
    }
    size_t length = 0;
    void* bytes = lo_message_serialise(message.get(), path, nullptr, &length);
    std::vector<char> out;
    if (bytes != nullptr) {
        out.assign(static_cast<char*>(bytes), static_cast<char*>(bytes) + length);
        std::free(bytes);
    }
    return out;
}

std::optional<SyncMessage> SyncMessage::decode(const char* data, size_t size) {
    if (size < 4 || data[0] != '/') {
        return std::nullopt;
    }
    // liblo decodes from a buffer it may touch: hand it a copy.
    std::vector<char> bytes(data, data + size);
    int result = 0;
    LoMessage::Owned message(lo_message_deserialise(bytes.data(), bytes.size(), &result));
    if (!message) {
        return std::nullopt;
    }
    const std::string_view path(bytes.data(), strnlen(bytes.data(), bytes.size()));
    const char* typeText = lo_message_get_types(message.get());
    const std::string_view types = typeText != nullptr ? typeText : "";
    lo_arg** argv = lo_message_get_argv(message.get());
    SyncMessage out;
    if (path == kTimeline && types == kTimelineTypes) {
        out.kind = Kind::Timeline;
        return readTimeline(argv, out) ? std::optional(out) : std::nullopt;
    }
    if (path == kJoin && types == "b") {
        out.kind = Kind::Join;
        std::array<unsigned char, kJoinPadding> padding{};
        return readBlob(argv[0], padding.data(), padding.size()) ? std::optional(out)
                                                                 : std::nullopt;
    }
    if (path == kCookie && types == "b") {
        out.kind = Kind::Cookie;
        return readBlob(argv[0], out.cookie.data(), out.cookie.size()) ? std::optional(out)
                                                                       : std::nullopt;
    }
    if (path == kPing && types == "hhb") {
        out.kind = Kind::Ping;
        out.t1 = LoMessage::valueOf<int64_t>(argv[0]);
        out.nonce = static_cast<uint64_t>(LoMessage::valueOf<int64_t>(argv[1]));
        return readBlob(argv[2], out.cookie.data(), out.cookie.size()) ? std::optional(out)
                                                                       : std::nullopt;
    }
    if (path == kPong && types == "hhhh") {
        out.kind = Kind::Pong;
        out.t1 = LoMessage::valueOf<int64_t>(argv[0]);
        out.t2 = LoMessage::valueOf<int64_t>(argv[1]);
        out.t3 = LoMessage::valueOf<int64_t>(argv[2]);
        out.nonce = static_cast<uint64_t>(LoMessage::valueOf<int64_t>(argv[3]));
        return out;
    }
    if (path == kCommand && types == "sdb") {
        out.kind = Kind::Command;
        out.verb = reinterpret_cast<const char*>(argv[0]);
        out.value = LoMessage::valueOf<double>(argv[1]);
        if (!readBlob(argv[2], out.cookie.data(), out.cookie.size())) {
            return std::nullopt;
        }
        return validCommand(out.verb, out.value) ? std::optional(out) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace lumenarc
