#pragma once

#include "net/UdpListener.h"
#include "sync/DatagramSeal.h"
#include "sync/SyncAddress.h"
#include "sync/SyncCookies.h"
#include "sync/SyncMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace lumenarc {

// A stand-in for a poor network, which only tests install: the fate of each datagram received.
class SyncReceiveFaults {
public:
    virtual ~SyncReceiveFaults() = default;
    // Receiving thread: -1 drops the datagram, 0 hands it on at once, more delays it by that
    // many nanoseconds (which also reorders).
    virtual int64_t delayFor() = 0;
};

// The sync messages' socket: a thread of its own receives, stamps each datagram with the wall
// clock as it arrives and hands well-formed messages to the main thread. A leader's socket
// answers joins with cookies and pings with pongs on the receiving thread itself, so that the
// answer's time stamps hold no main-thread delay; pings and commands without a true cookie go
// no further. Answers leave from the address the request arrived at. With a secret, every
// datagram sent is sealed and every one received must be.
class SyncSocket {
public:
    // Main thread: a message, who sent it, and when it arrived (CLOCK_REALTIME, ns).
    using Handler =
        std::function<void(const SyncMessage& message, const SyncAddress& from, int64_t arrived)>;

    explicit SyncSocket(Handler handler);
    ~SyncSocket();
    SyncSocket(const SyncSocket&) = delete;
    SyncSocket& operator=(const SyncSocket&) = delete;

    // Main thread, before start: seal and check every datagram with this secret.
    void setSecret(DatagramSeal seal) { m_seal = std::move(seal); }
    // Main thread, once: binds the numeric address and port (0: any free port) and starts
    // receiving, as a leader's socket when `answerPings`; false with the reason.
    bool start(const std::string& address, uint16_t port, bool answerPings, std::string& why);
    uint16_t port() const;
    // Any thread.
    void send(const SyncMessage& message, const SyncAddress& to) const;
    // Main thread: stops receiving; no handler runs after it returns.
    void stop();

    // Messages waiting for the main thread at most; more are dropped until it catches up.
    static constexpr int kMaxWaiting = 256;

    // Tests only, on the main thread: every socket started afterwards receives through faults
    // made by `make`. The player itself never installs any.
    using FaultMaker = std::function<std::unique_ptr<SyncReceiveFaults>()>;
    static void installFaults(FaultMaker make);

private:
    struct Shared;

    void receive(int socket, int wake);
    void deliver(const char* data, size_t size, const SyncAddress& from, int64_t arrived);
    // Leader, receiving thread: answers what is answered at once; false for what goes no
    // further.
    bool answer(const SyncMessage& message, const SyncAddress& from, int64_t arrived);

    std::shared_ptr<Shared> m_shared;
    UdpListener m_listener;
    bool m_answerPings = false;
    std::unique_ptr<SyncReceiveFaults> m_faults; // tests only
    std::optional<DatagramSeal> m_seal;          // opened on the receiving thread only
    SyncCookies m_cookies;
};

} // namespace lumenarc
