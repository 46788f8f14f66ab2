#include "sync/SyncAddress.h"

#include "net/UdpListener.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

namespace lumenarc {

bool SyncAddress::operator==(const SyncAddress& other) const {
    if (address.ss_family != other.address.ss_family ||
        UdpListener::portOf(address) != UdpListener::portOf(other.address)) {
        return false;
    }
    if (address.ss_family == AF_INET6) {
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr,
                           &reinterpret_cast<const sockaddr_in6*>(&other.address)->sin6_addr,
                           sizeof(in6_addr)) == 0;
    }
    return reinterpret_cast<const sockaddr_in*>(&address)->sin_addr.s_addr ==
           reinterpret_cast<const sockaddr_in*>(&other.address)->sin_addr.s_addr;
}

std::string SyncAddress::host() const {
    char text[INET6_ADDRSTRLEN] = "?";
    const void* raw =
        address.ss_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr)
            : &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr;
    inet_ntop(address.ss_family == AF_INET6 ? AF_INET6 : AF_INET, raw, text, sizeof text);
    return text;
}

std::string SyncAddress::describe() const {
    return host() + ":" + std::to_string(UdpListener::portOf(address));
}

bool SyncAddress::resolve(const std::string& host, uint16_t port, SyncAddress& out,
                          std::string& why, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        error != 0) {
        why = gai_strerror(error);
        return false;
    }
    std::memcpy(&out.address, found->ai_addr, found->ai_addrlen);
    out.length = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

} // namespace lumenarc
