#include "sync/SyncSocket.h"

#include "base/MainThread.h"
#include "base/WallClock.h"
#include "net/UdpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace lumenarc {

struct SyncSocket::Shared {
    Handler handler;
    std::atomic<bool> stopped{false};
    std::atomic<int> waiting{0};
};

namespace {

double environmentNumber(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return 0;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && value > 0 && value < 1e6 ? value : 0;
}

// The test-only faults: a drop fraction and a largest delay.
struct Faults {
    double drop = environmentNumber("LUMENARC_SYNC_TEST_DROP");
    int64_t delay =
        static_cast<int64_t>(environmentNumber("LUMENARC_SYNC_TEST_DELAY_MS") * 1'000'000);
    std::mt19937_64 random{std::random_device{}()};

    bool dropped() { return drop > 0 && std::uniform_real_distribution<>(0, 1)(random) < drop; }
    int64_t delayFor() {
        return delay > 0 ? std::uniform_int_distribution<int64_t>(0, delay)(random) : 0;
    }
};

struct Delayed {
    std::vector<char> data;
    SyncAddress from;
    int64_t arrived = 0;
};

} // namespace

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

std::string SyncAddress::describe() const {
    char host[INET6_ADDRSTRLEN] = "?";
    const void* raw =
        address.ss_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr)
            : &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr;
    inet_ntop(address.ss_family, raw, host, sizeof host);
    return std::string(host) + ":" + std::to_string(UdpListener::portOf(address));
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

SyncSocket::SyncSocket(Handler handler) : m_shared(std::make_shared<Shared>()) {
    m_shared->handler = std::move(handler);
}

SyncSocket::~SyncSocket() {
    stop();
}

bool SyncSocket::start(const std::string& address, uint16_t port, bool answerPings,
                       std::string& why) {
    m_answerPings = answerPings;
    return m_listener.start(
        address, port, [this](int socket, int wake) { receive(socket, wake); }, why);
}

uint16_t SyncSocket::port() const {
    return m_listener.port();
}

void SyncSocket::send(const SyncMessage& message, const SyncAddress& to) const {
    const std::vector<char> bytes = message.encode();
    if (m_listener.socket() >= 0 && !bytes.empty()) {
        sendto(m_listener.socket(), bytes.data(), bytes.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&to.address), to.length);
    }
}

void SyncSocket::stop() {
    m_listener.stop();
    m_shared->stopped = true;
}

void SyncSocket::receive(int socket, int wake) {
    Faults faults;
    std::multimap<int64_t, Delayed> delayed; // by the time each is due
    std::vector<char> buffer(65536);
    pollfd waits[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    while (true) {
        int timeout = -1;
        if (!delayed.empty()) {
            const int64_t wait = delayed.begin()->first - WallClock::now();
            timeout = wait > 0 ? static_cast<int>(wait / 1'000'000) + 1 : 0;
        }
        if (poll(waits, 2, timeout) < 0 && errno != EINTR) {
            return;
        }
        if (waits[1].revents != 0) {
            return; // asked to stop
        }
        while (!delayed.empty() && delayed.begin()->first <= WallClock::now()) {
            const Delayed& due = delayed.begin()->second;
            deliver(due.data.data(), due.data.size(), due.from, WallClock::now());
            delayed.erase(delayed.begin());
        }
        if ((waits[0].revents & POLLIN) == 0) {
            continue;
        }
        SyncAddress from;
        from.length = sizeof from.address;
        const ssize_t got = recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from.address), &from.length);
        const int64_t arrived = WallClock::now();
        if (got <= 0 || faults.dropped()) {
            continue;
        }
        if (const int64_t delay = faults.delayFor(); delay > 0) {
            delayed.emplace(arrived + delay,
                            Delayed{{buffer.data(), buffer.data() + got}, from, arrived});
            continue;
        }
        deliver(buffer.data(), static_cast<size_t>(got), from, arrived);
    }
}

void SyncSocket::deliver(const char* data, size_t size, const SyncAddress& from, int64_t arrived) {
    auto message = SyncMessage::decode(data, size);
    if (!message) {
        return; // not ours: stray datagrams are no reason to log
    }
    if (message->kind == SyncMessage::Kind::Ping && m_answerPings) {
        SyncMessage pong;
        pong.kind = SyncMessage::Kind::Pong;
        pong.t1 = message->t1;
        pong.t2 = arrived;
        pong.t3 = WallClock::now();
        send(pong, from);
    }
    if (m_shared->waiting.fetch_add(1) >= kMaxWaiting) {
        m_shared->waiting.fetch_sub(1);
        return;
    }
    MainThread::post(
        [weak = std::weak_ptr<Shared>(m_shared), message = std::move(*message), from, arrived] {
            const auto shared = weak.lock();
            if (!shared) {
                return;
            }
            shared->waiting.fetch_sub(1);
            if (!shared->stopped) {
                shared->handler(message, from, arrived);
            }
        });
}

} // namespace lumenarc
