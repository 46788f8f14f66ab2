#include "RemoteSupport.h"

#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace lumenarc::test {

uint16_t freeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

PrivateBus::PrivateBus() {
    m_daemon = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--print-address=1"},
        std::map<std::string, std::string>{});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string out = m_daemon->output();
        const auto end = out.find('\n');
        if (end != std::string::npos) {
            m_address = out.substr(0, end);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

OscClient::OscClient(const std::string& host, uint16_t port)
    : m_server(lo_server_new_with_proto(nullptr, LO_UDP, nullptr)),
      m_target(lo_address_new(host.c_str(), std::to_string(port).c_str())) {
    lo_server_add_method(
        m_server, "/lumenarc/status", "sfffi",
        [](const char*, const char*, lo_arg** argv, int, lo_message, void* data) {
            // Copied out: liblo's arguments are not aligned for its own union.
            const auto real = [&](int k) {
                float value = 0;
                std::memcpy(&value, static_cast<const void*>(argv[k]), sizeof value);
                return value;
            };
            int32_t looping = 0;
            std::memcpy(&looping, static_cast<const void*>(argv[4]), sizeof looping);
            auto* reply = static_cast<std::optional<Status>*>(data);
            *reply =
                Status{reinterpret_cast<const char*>(argv[0]), real(1), real(2), real(3), looping};
            return 0;
        },
        &m_reply);
}

OscClient::~OscClient() {
    lo_address_free(m_target);
    lo_server_free(m_server);
}

std::optional<OscClient::Status> OscClient::status(std::chrono::milliseconds timeout) {
    // Replies to earlier requests still on their way are read and dropped first.
    while (lo_server_recv_noblock(m_server, 0) > 0) {
    }
    m_reply.reset();
    send("/lumenarc/status", "");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_reply && std::chrono::steady_clock::now() < deadline) {
        lo_server_recv_noblock(m_server, 100);
    }
    return m_reply;
}

std::optional<OscClient::Status>
OscClient::waitForStatus(const std::function<bool(const Status&)>& wanted,
                         std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto reply = status();
    while ((!reply || !wanted(*reply)) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reply = status();
    }
    return reply;
}

} // namespace lumenarc::test
