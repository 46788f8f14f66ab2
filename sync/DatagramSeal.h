#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lumenarc {

// Authenticates datagrams with a secret that every machine of a show holds: each carries the
// time it was sent and an HMAC-SHA256 of its bytes and that time, keyed by the secret. A
// datagram is accepted once, within a few seconds of its time, and only with a true seal.
// Nothing in it is hidden. Not tied to one kind of message: any UDP protocol may seal with it.
// Sealing is any thread's; opening is one thread's at a time (it remembers what it accepted).
class DatagramSeal {
public:
    using Tag = std::array<unsigned char, 32>;

    explicit DatagramSeal(std::vector<unsigned char> key);
    // The secret from a file's whole contents; nothing, with the reason, for a file that cannot
    // be read or holds fewer than kMinKey bytes.
    static std::optional<DatagramSeal> fromFile(const std::string& path, std::string& why);

    // The datagram to send: `bytes`, then the time `now` (nanoseconds) and the tag.
    std::vector<char> seal(const char* bytes, size_t size, int64_t now) const;
    // The length of the message inside a datagram sealed with this secret within kWindow of
    // `now` and not seen before; nothing otherwise.
    std::optional<size_t> open(const char* datagram, size_t size, int64_t now);

    static constexpr size_t kOverhead = 8 + 32;
    static constexpr size_t kMinKey = 16;
    static constexpr size_t kMaxKey = 4096;
    // Clocks of a show differ by far less (chrony, PTP); a replay must come within this.
    static constexpr int64_t kWindow = 5'000'000'000;
    // Seals remembered against replay: more than a show sends within the window.
    static constexpr size_t kRemembered = 65536;

private:
    Tag tagOf(const char* bytes, size_t size) const;

    std::vector<unsigned char> m_key;
    std::deque<std::pair<int64_t, Tag>> m_seenOrder; // by time accepted
    std::set<Tag> m_seen;
};

} // namespace lumenarc
