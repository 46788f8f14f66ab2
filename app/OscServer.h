#pragma once

#include "app/LogThrottle.h"
#include "app/OscCommand.h"
#include "app/OscQueue.h"
#include "sync/UdpListener.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace lumenarc {

// Show control over UDP: a thread of its own receives OSC datagrams on one address and port,
// checks them and queues them, and the main thread carries them out. The thread never touches
// the player; nothing received is run or passed to a shell; bad input is ignored with at most
// one log line a second; the queue is bounded, so a flood neither stalls the drawing nor grows
// memory.
class OscServer {
public:
    // Main thread: carries out one command.
    using Handler = std::function<void(const OscCommand&)>;

    OscServer(Handler handler);
    ~OscServer();
    OscServer(const OscServer&) = delete;
    OscServer& operator=(const OscServer&) = delete;

    // Main thread, once: binds the numeric address and port and starts listening; false with
    // the reason when it cannot.
    bool start(const std::string& address, uint16_t port, std::string& why);
    // The port listened on (the one the system chose when started with 0), or 0.
    uint16_t port() const;
    // Main thread: stops listening; no command runs after it returns.
    void stop();
    // Main thread: sends a status reply to the sender of a status request.
    void replyStatus(const OscCommand& request, const std::string& path, float position,
                     float duration, float rate, bool looping);

    // Commands carried out in one turn of the main thread; more wait for the next turn.
    static constexpr size_t kBatch = 32;

private:
    struct Shared {
        OscQueue queue;
        LogThrottle log;
        Handler handler;
        std::atomic<bool> stopped{false};
    };

    void receive(int socket, int wake);
    void handleDatagram(const char* data, size_t size, const sockaddr_storage& from,
                        socklen_t fromLength);
    // Posts one drain of the queue to the main thread.
    static void postDrain(const std::shared_ptr<Shared>& shared);
    static void drain(const std::weak_ptr<Shared>& weak);

    std::shared_ptr<Shared> m_shared;
    UdpListener m_listener;
};

} // namespace lumenarc
