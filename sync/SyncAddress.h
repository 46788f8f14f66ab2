#pragma once

#include <cstdint>
#include <string>
#include <sys/socket.h>

namespace lumenarc {

// A UDP address as the sockets API holds it, and for a datagram received, the address of this
// machine it arrived on, so that the answer leaves from there.
struct SyncAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    sockaddr_storage local{}; // family 0: not known

    // By the peer's host and port; `local` does not count.
    bool operator==(const SyncAddress& other) const;
    std::string describe() const;
    // The host alone, as text.
    std::string host() const;
    // Resolves "host" and a port (names allowed), in `family` if one is given; false with the
    // reason.
    static bool resolve(const std::string& host, uint16_t port, SyncAddress& out, std::string& why,
                        int family = AF_UNSPEC);
};

} // namespace lumenarc
