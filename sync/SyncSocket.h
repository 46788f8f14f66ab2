#pragma once

#include "net/UdpListener.h"
#include "sync/SyncMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace lumenarc {

// A UDP address as the sockets API holds it.
struct SyncAddress {
    sockaddr_storage address{};
    socklen_t length = 0;

    bool operator==(const SyncAddress& other) const;
    std::string describe() const;
    // Resolves "host" and a port (names allowed); false with the reason.
    static bool resolve(const std::string& host, uint16_t port, SyncAddress& out, std::string& why,
                        int family = AF_UNSPEC);
};

// The sync messages' socket: a thread of its own receives, stamps each datagram with the wall
// clock as it arrives and hands well-formed messages to the main thread. Pings are answered on
// the receiving thread itself, so that the answer's time stamps hold no main-thread delay.
//
// For tests only, LUMENARC_SYNC_TEST_DROP (a fraction) and LUMENARC_SYNC_TEST_DELAY_MS (a
// largest delay) drop and delay received datagrams at random, which also reorders them.
class SyncSocket {
public:
    // Main thread: a message, who sent it, and when it arrived (CLOCK_REALTIME, ns).
    using Handler =
        std::function<void(const SyncMessage& message, const SyncAddress& from, int64_t arrived)>;

    explicit SyncSocket(Handler handler);
    ~SyncSocket();
    SyncSocket(const SyncSocket&) = delete;
    SyncSocket& operator=(const SyncSocket&) = delete;

    // Main thread, once: binds the numeric address and port (0: any free port) and starts
    // receiving; false with the reason.
    bool start(const std::string& address, uint16_t port, bool answerPings, std::string& why);
    uint16_t port() const;
    // Any thread.
    void send(const SyncMessage& message, const SyncAddress& to) const;
    // Main thread: stops receiving; no handler runs after it returns.
    void stop();

    // Messages waiting for the main thread at most; more are dropped until it catches up.
    static constexpr int kMaxWaiting = 256;

private:
    struct Shared;

    void receive(int socket, int wake);
    void deliver(const char* data, size_t size, const SyncAddress& from, int64_t arrived);

    std::shared_ptr<Shared> m_shared;
    UdpListener m_listener;
    bool m_answerPings = false;
};

} // namespace lumenarc
