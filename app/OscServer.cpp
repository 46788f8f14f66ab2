#include "app/OscServer.h"

#include "app/OscParser.h"
#include "sync/UdpListener.h"
#include "view/MainThread.h"

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

OscServer::OscServer(Handler handler) : m_shared(std::make_shared<Shared>()) {
    m_shared->handler = std::move(handler);
}

OscServer::~OscServer() {
    stop();
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
    switch (m_shared->queue.push(std::move(*command))) {
    case OscQueue::Pushed::First:
        postDrain(m_shared);
        break;
    case OscQueue::Pushed::Dropped:
        m_shared->log.write("OSC: ignored: too many messages at once");
        break;
    default:
        break;
    }
}

void OscServer::postDrain(const std::shared_ptr<Shared>& shared) {
    MainThread::post([weak = std::weak_ptr<Shared>(shared)] { drain(weak); });
}

void OscServer::drain(const std::weak_ptr<Shared>& weak) {
    const auto shared = weak.lock();
    if (!shared || shared->stopped) {
        return;
    }
    for (const OscCommand& command : shared->queue.take(kBatch)) {
        if (shared->stopped) {
            return; // a command (quit) ended the show control
        }
        shared->handler(command);
    }
    // What came meanwhile waits for the next turn, so that the window answers between batches.
    if (shared->queue.size() > 0) {
        postDrain(shared);
    }
}

void OscServer::replyStatus(const OscCommand& request, const std::string& path, float position,
                            float duration, float rate, bool looping) {
    if (m_listener.socket() < 0 || request.senderLength == 0) {
        return;
    }
    lo_message message = lo_message_new();
    lo_message_add_string(message, path.c_str());
    lo_message_add_float(message, position);
    lo_message_add_float(message, duration);
    lo_message_add_float(message, rate);
    lo_message_add_int32(message, looping ? 1 : 0);
    size_t length = 0;
    void* bytes = lo_message_serialise(message, "/lumenarc/status", nullptr, &length);
    if (bytes != nullptr) {
        sendto(m_listener.socket(), bytes, length, MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&request.sender), request.senderLength);
        std::free(bytes);
    }
    lo_message_free(message);
}

} // namespace lumenarc
