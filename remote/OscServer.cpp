#include "remote/OscServer.h"

#include "base/MainThread.h"
#include "net/UdpListener.h"
#include "remote/OscParser.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <lo/lo_lowlevel.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {

namespace {

// The longest reason sent back: a reply stays about the size of a status reply.
constexpr size_t kMaxReason = 512;

} // namespace

OscServer::OscServer(Handler handler) : m_shared(std::make_shared<Shared>()) {
    m_shared->handler = std::move(handler);
    m_shared->owner = this;
}

OscServer::~OscServer() {
    stop();
    m_shared->owner = nullptr;
}

bool OscServer::start(const std::string& address, uint16_t port, std::string& why) {
    return m_listener.start(
        address, port, [this](int socket, int wake) { receive(socket, wake); }, why);
}

uint16_t OscServer::port() const {
    return m_listener.port();
}

void OscServer::stop() {
    m_listener.stop();
    // Drains already posted find nothing to do from here on.
    m_shared->stopped = true;
}

void OscServer::receive(int socket, int wake) {
    // The largest UDP payload; a datagram that does not fit is cut short and then refused.
    std::vector<char> buffer(65536);
    pollfd waits[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    while (true) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_shared->log.write("OSC: cannot wait for messages: " +
                                std::string(std::strerror(errno)));
            return;
        }
        if (waits[1].revents != 0) {
            return; // asked to stop
        }
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = recvfrom(socket, buffer.data(), buffer.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            continue;
        }
        if (static_cast<size_t>(got) > buffer.size()) {
            m_shared->log.write("OSC: ignored a datagram too large to be a message");
            continue;
        }
        handleDatagram(buffer.data(), static_cast<size_t>(got), from, fromLength);
    }
}

void OscServer::handleDatagram(const char* data, size_t size, const sockaddr_storage& from,
                               socklen_t fromLength) {
    std::string why;
    auto command = OscParser::parse(data, size, why);
    if (!command) {
        m_shared->log.write("OSC: ignored: " + why);
        return;
    }
    if (command->verb == OscCommand::Verb::Open || command->verb == OscCommand::Verb::Mesh) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(command->text, error)) {
            m_shared->log.write("OSC: ignored: not an existing regular file");
            return;
        }
    }
    command->sender = from;
    command->senderLength = fromLength;
    if (m_shared->queue.push(std::move(*command)) == OscQueue::Pushed::Dropped) {
        m_shared->log.write("OSC: ignored: too many messages at once");
        return;
    }
    postDrain(m_shared);
}

void OscServer::postDrain(const std::shared_ptr<Shared>& shared) {
    if (!shared->drainPosted.exchange(true)) {
        MainThread::post([weak = std::weak_ptr<Shared>(shared)] { drain(weak); });
    }
}

void OscServer::drain(const std::weak_ptr<Shared>& weak) {
    const auto shared = weak.lock();
    if (!shared || shared->stopped) {
        return;
    }
    shared->drainPosted = false; // what comes from now on asks for another
    // One command taken at a time, each just before it runs, and the next drain posted before
    // it runs: a command that runs an event loop of its own lets the rest through, in order.
    for (size_t done = 0; done < kBatch; ++done) {
        auto taken = shared->queue.take(1);
        if (taken.empty() || shared->stopped) {
            return; // all done, or a command (quit) ended the show control
        }
        if (shared->queue.size() > 0) {
            postDrain(shared);
        }
        shared->handler(taken.front());
    }
    // What came meanwhile waits for the next turn, so that the window answers between batches.
    if (shared->queue.size() > 0) {
        postDrain(shared);
    }
}

void OscServer::replyStatus(const OscCommand& request, const std::string& path, float position,
                            float duration, float rate, bool looping) {
    lo_message message = lo_message_new();
    lo_message_add_string(message, path.c_str());
    lo_message_add_float(message, position);
    lo_message_add_float(message, duration);
    lo_message_add_float(message, rate);
    lo_message_add_int32(message, looping ? 1 : 0);
    reply(request, "/lumenarc/status", message);
    lo_message_free(message);
}

void OscServer::replyError(const OscCommand& request, const std::string& reason) {
    m_shared->log.write("OSC: not done: " + reason);
    lo_message message = lo_message_new();
    lo_message_add_string(message, reason.substr(0, kMaxReason).c_str());
    reply(request, "/lumenarc/error", message);
    lo_message_free(message);
}

std::function<void(const std::string&)> OscServer::errorReplier(const OscCommand& request) {
    return [weak = std::weak_ptr<Shared>(m_shared), request](const std::string& reason) {
        const auto shared = weak.lock();
        if (shared && shared->owner != nullptr) {
            shared->owner->replyError(request, reason);
        }
    };
}

void OscServer::reply(const OscCommand& request, const char* address, lo_message message) {
    if (m_listener.socket() < 0 || request.senderLength == 0) {
        return;
    }
    size_t length = 0;
    void* bytes = lo_message_serialise(message, address, nullptr, &length);
    if (bytes == nullptr) {
        return;
    }
    if (m_budget.take(length, ReplyBudget::Clock::now())) {
        sendto(m_listener.socket(), bytes, length, MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&request.sender), request.senderLength);
    } else {
        m_budgetLog.write("OSC: replies held back: more asked for than a show controller asks");
    }
    std::free(bytes);
}

} // namespace lumenarc
