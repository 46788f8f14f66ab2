#include "net/UdpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace lumenarc {
namespace {

int bindNumeric(const std::string& address, uint16_t port, std::string& why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int error =
            getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
        error != 0) {
        why = gai_strerror(error);
        return -1;
    }
    const int fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool bound = fd >= 0 && bind(fd, found->ai_addr, found->ai_addrlen) == 0;
    const int error = errno;
    freeaddrinfo(found);
    if (!bound) {
        why = std::strerror(error);
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

} // namespace

bool UdpListener::start(const std::string& address, uint16_t port, Loop loop, std::string& why) {
    const int fd = bindNumeric(address, port, why);
    if (fd < 0) {
        return false;
    }
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        why = std::strerror(errno);
        close(fd);
        return false;
    }
    m_socket = fd;
    m_thread = std::thread([loop = std::move(loop), fd, wake = m_wake] { loop(fd, wake); });
    return true;
}

void UdpListener::stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto wrote = write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    for (int* fd : {&m_socket, &m_wake}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

uint16_t UdpListener::port() const {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (m_socket < 0 || getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return portOf(local);
}

uint16_t UdpListener::portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

} // namespace lumenarc
