#include "sync/SyncSocket.h"

#include "base/MainThread.h"
#include "base/WallClock.h"
#include "net/UdpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace lumenarc {

struct SyncSocket::Shared {
    Handler handler;
    std::atomic<bool> stopped{false};
    std::atomic<int> waiting{0};
};

namespace {

SyncSocket::FaultMaker& faultMaker() {
    static SyncSocket::FaultMaker make;
    return make;
}

struct Delayed {
    std::vector<char> data;
    SyncAddress from;
    int64_t arrived = 0;
};

// The local address a datagram arrived at, from its control messages.
void readLocal(msghdr& header, SyncAddress& from) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            auto* local = reinterpret_cast<sockaddr_in*>(&from.local);
            local->sin_family = AF_INET;
            local->sin_addr = info.ipi_addr;
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            auto* local = reinterpret_cast<sockaddr_in6*>(&from.local);
            local->sin6_family = AF_INET6;
            local->sin6_addr = info.ipi6_addr;
        }
    }
}

} // namespace

SyncSocket::SyncSocket(Handler handler) : m_shared(std::make_shared<Shared>()) {
    m_shared->handler = std::move(handler);
}

SyncSocket::~SyncSocket() {
    stop();
}

bool SyncSocket::start(const std::string& address, uint16_t port, bool answerPings,
                       std::string& why) {
    m_answerPings = answerPings;
    m_faults = faultMaker() ? faultMaker()() : nullptr; // the receiving thread's from now on
    if (!m_listener.start(
            address, port, [this](int socket, int wake) { receive(socket, wake); }, why)) {
        return false;
    }
    // Where each datagram arrived, so that answers leave from there (one family applies).
    const int on = 1;
    setsockopt(m_listener.socket(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    setsockopt(m_listener.socket(), IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
    return true;
}

uint16_t SyncSocket::port() const {
    return m_listener.port();
}

void SyncSocket::send(const SyncMessage& message, const SyncAddress& to) const {
    std::vector<char> bytes = message.encode();
    if (m_listener.socket() < 0 || bytes.empty()) {
        return;
    }
    if (m_seal) {
        bytes = m_seal->seal(bytes.data(), bytes.size(), WallClock::now());
    }
    iovec data{bytes.data(), bytes.size()};
    msghdr header{};
    header.msg_name = const_cast<sockaddr_storage*>(&to.address);
    header.msg_namelen = to.length;
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    if (to.local.ss_family == AF_INET) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(in_pktinfo));
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = reinterpret_cast<const sockaddr_in*>(&to.local)->sin_addr;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    } else if (to.local.ss_family == AF_INET6) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(in6_pktinfo));
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = IPPROTO_IPV6;
        c->cmsg_type = IPV6_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in6_pktinfo));
        in6_pktinfo info{};
        info.ipi6_addr = reinterpret_cast<const sockaddr_in6*>(&to.local)->sin6_addr;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    if (sendmsg(m_listener.socket(), &header, MSG_DONTWAIT) < 0 && header.msg_control != nullptr) {
        // The address it arrived at is gone: any will do.
        header.msg_control = nullptr;
        header.msg_controllen = 0;
        sendmsg(m_listener.socket(), &header, MSG_DONTWAIT);
    }
}

void SyncSocket::stop() {
    m_listener.stop();
    m_shared->stopped = true;
}

void SyncSocket::installFaults(FaultMaker make) {
    faultMaker() = std::move(make);
}

void SyncSocket::receive(int socket, int wake) {
    SyncReceiveFaults* faults = m_faults.get();
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
        iovec data{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[256];
        msghdr header{};
        header.msg_name = &from.address;
        header.msg_namelen = sizeof from.address;
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(socket, &header, MSG_DONTWAIT);
        const int64_t arrived = WallClock::now();
        from.length = header.msg_namelen;
        if (got > 0) {
            readLocal(header, from);
        }
        if (got <= 0) {
            continue;
        }
        if (const int64_t delay = faults ? faults->delayFor() : 0; delay != 0) {
            if (delay < 0) {
                continue;
            }
            delayed.emplace(arrived + delay,
                            Delayed{{buffer.data(), buffer.data() + got}, from, arrived});
            continue;
        }
        deliver(buffer.data(), static_cast<size_t>(got), from, arrived);
    }
}

bool SyncSocket::answer(const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
    switch (message.kind) {
    case SyncMessage::Kind::Join: {
        SyncMessage cookie;
        cookie.kind = SyncMessage::Kind::Cookie;
        cookie.cookie = m_cookies.make(from, arrived);
        send(cookie, from);
        return false;
    }
    case SyncMessage::Kind::Ping: {
        if (!m_cookies.check(from, message.cookie, arrived)) {
            return false;
        }
        SyncMessage pong;
        pong.kind = SyncMessage::Kind::Pong;
        pong.t1 = message.t1;
        pong.nonce = message.nonce;
        pong.t2 = arrived;
        pong.t3 = WallClock::now();
        send(pong, from);
        return true;
    }
    case SyncMessage::Kind::Command:
        return m_cookies.check(from, message.cookie, arrived);
    default:
        return false; // a follower's kind of message
    }
}

void SyncSocket::deliver(const char* data, size_t size, const SyncAddress& from, int64_t arrived) {
    if (m_seal) {
        const std::optional<size_t> inside = m_seal->open(data, size, arrived);
        if (!inside) {
            return; // not sealed with the show's secret, or a replay
        }
        size = *inside;
    }
    auto message = SyncMessage::decode(data, size);
    if (!message) {
        return; // not ours: stray datagrams are no reason to log
    }
    if (m_answerPings ? !answer(*message, from, arrived)
                      : message->kind == SyncMessage::Kind::Join ||
                            message->kind == SyncMessage::Kind::Ping ||
                            message->kind == SyncMessage::Kind::Command) {
        return;
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
