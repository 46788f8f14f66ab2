#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace lumenarc {

// A UDP socket with a thread of its own that waits for datagrams, and a way to end that wait:
// what the show's listeners (show control, sync) share.
class UdpListener {
public:
    // The receiving thread's loop: it polls both descriptors and returns once `wake` is readable.
    using Loop = std::function<void(int socket, int wake)>;

    UdpListener() = default;
    ~UdpListener() { stop(); }
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    // Binds the numeric address and port (0: any free port) and starts `loop` on its thread;
    // false with the reason.
    bool start(const std::string& address, uint16_t port, Loop loop, std::string& why);
    // Ends the loop, joins the thread and closes the socket. Any thread but the loop's.
    void stop();
    int socket() const { return m_socket; }
    // The port listened on, or 0.
    uint16_t port() const;

    // The port an address names, IPv4 or IPv6.
    static uint16_t portOf(const sockaddr_storage& address);

private:
    int m_socket = -1;
    int m_wake = -1; // an eventfd that ends the loop's wait
    std::thread m_thread;
};

} // namespace lumenarc
