#include "app/SignalQuit.h"

#include "shell/QuitRequest.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumenarc {
namespace {
int g_pipe[2] = {-1, -1};
}

SignalQuit::SignalQuit(QuitRequest& quit, QObject* parent) : QObject(parent), m_quit(quit) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        return;
    }
    fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
    fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalQuit::readSignal);
    struct sigaction action {};
    action.sa_handler = &SignalQuit::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

SignalQuit::~SignalQuit() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

void SignalQuit::handle(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const auto written = write(g_pipe[0], &byte, 1);
}

void SignalQuit::readSignal() {
    char byte = 0;
    while (read(g_pipe[1], &byte, 1) == 1) {
    }
    m_quit.requestWithoutAsking(); // nobody to ask: unsaved edits are kept at the end
}

} // namespace lumenarc
