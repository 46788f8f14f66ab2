#pragma once

#include "support/BackgroundProcess.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <lo/lo.h>
#include <memory>
#include <optional>
#include <string>

namespace lumenarc::test {

// A UDP port free on 127.0.0.1 a moment ago.
uint16_t freeUdpPort();

// A private session bus for one test (dbus-daemon, as dbus-run-session starts it).
class PrivateBus {
public:
    PrivateBus();
    bool ok() const { return !m_address.empty(); }
    const std::string& address() const { return m_address; }

private:
    std::unique_ptr<BackgroundProcess> m_daemon;
    std::string m_address;
};

// An OSC controller: sends real datagrams to the player and hears its status replies on a
// port of its own.
class OscClient {
public:
    struct Status {
        std::string path;
        float position = 0, duration = 0, rate = 0;
        int looping = -1;
    };

    OscClient(const std::string& host, uint16_t port);
    ~OscClient();
    OscClient(const OscClient&) = delete;
    OscClient& operator=(const OscClient&) = delete;

    lo_address target() const { return m_target; }
    lo_server server() const { return m_server; }
    // Sends a message with a liblo type string, e.g. send("/lumenarc/rate", "f", 2.0f).
    template <typename... Args> void send(const char* path, const char* types, Args... args) {
        lo_send_from(m_target, m_server, LO_TT_IMMEDIATE, path, types, args...);
    }
    // Asks for the status and waits for the reply.
    std::optional<Status> status(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Asks until `wanted` holds for a reply, or the time is up; returns the last reply.
    std::optional<Status>
    waitForStatus(const std::function<bool(const Status&)>& wanted,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    lo_server m_server;
    lo_address m_target;
    std::optional<Status> m_reply;
};

} // namespace lumenarc::test
