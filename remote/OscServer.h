#pragma once

#include "base/LogThrottle.h"
#include "net/UdpListener.h"
#include "remote/OscCommand.h"
#include "remote/OscQueue.h"
#include "remote/ReplyBudget.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <lo/lo_lowlevel.h>
#include <memory>
#include <string>
#include <thread>

namespace lumenarc {

// Show control over UDP: a thread of its own receives OSC datagrams on one address and port,
// checks them and queues them, and the main thread carries them out. The thread never touches
// the player; nothing received is run or passed to a shell; bad input is ignored with at most
// one log line a second; the queue is bounded, so a flood neither stalls the drawing nor grows
// memory; replies keep within a budget of bytes a second, so that forged requests cannot turn
// the player into an amplifier.
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
    // Commands received and not yet carried out. Any thread.
    size_t pending() const { return m_shared->queue.size(); }
    // Main thread: stops listening; no command runs after it returns.
    void stop();
    // Main thread: sends a status reply to the sender of a status request.
    void replyStatus(const OscCommand& request, const std::string& path, float position,
                     float duration, float rate, bool looping);
    // Main thread: a request could not be carried out. One line on standard error (throttled,
    // as for bad input) and `/lumenarc/error s` with the reason to its sender.
    void replyError(const OscCommand& request, const std::string& reason);
    // Main thread: replyError for `request`, callable later (an open fails once the file has
    // been read); does nothing once this server has gone.
    std::function<void(const std::string&)> errorReplier(const OscCommand& request);

    // Commands carried out in one turn of the main thread; more wait for the next turn.
    static constexpr size_t kBatch = 32;

private:
    struct Shared {
        OscQueue queue;
        LogThrottle log;
        Handler handler;
        std::atomic<bool> stopped{false};
        std::atomic<bool> drainPosted{false}; // a drain is on its way to the main thread
        OscServer* owner = nullptr;           // main thread; cleared as the server goes
    };

    void receive(int socket, int wake);
    void handleDatagram(const char* data, size_t size, const sockaddr_storage& from,
                        socklen_t fromLength);
    // Posts a drain of the queue to the main thread unless one is on its way.
    static void postDrain(const std::shared_ptr<Shared>& shared);
    static void drain(const std::weak_ptr<Shared>& weak);
    // Sends a message to the sender of `request`, within the reply budget.
    void reply(const OscCommand& request, const char* address, lo_message message);

    std::shared_ptr<Shared> m_shared;
    UdpListener m_listener;
    ReplyBudget m_budget;
    LogThrottle m_budgetLog;
};

} // namespace lumenarc
