#pragma once

#include "input/Command.h"
#include "remote/OscServer.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumenarc {

class PlayerCommands;

// OSC show control joined to the player: each message received is carried out, on the main
// thread, as the player's own command for it. Off unless started.
class ShowControl {
public:
    explicit ShowControl(PlayerCommands& commands);

    // Main thread: listens on the numeric address and port; false with the reason if it cannot.
    bool start(const std::string& address, uint16_t port, std::string& why);
    // Main thread: stops listening (at the end of the run, before the player goes).
    void stop() { m_server.stop(); }

    // The player's command for a message; none for a status request, which is answered here.
    static std::optional<Command> commandFor(const OscCommand& message);

private:
    void carryOut(const OscCommand& command);

    PlayerCommands& m_commands;
    OscServer m_server;
};

} // namespace lumenarc
