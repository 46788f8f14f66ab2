#include "remote/ShowControl.h"

#include "base/DeveloperLog.h"
#include "shell/PlayerCommands.h"

namespace lumenarc {

ShowControl::ShowControl(PlayerCommands& commands)
    : m_commands(commands), m_server([this](const OscCommand& command) { carryOut(command); }) {}

bool ShowControl::start(const std::string& address, uint16_t port, std::string& why) {
    if (!m_server.start(address, port, why)) {
        return false;
    }
    DeveloperLog::write("OSC: listening on " + address + " port " + std::to_string(port));
    return true;
}

std::optional<Command> ShowControl::commandFor(const OscCommand& message) {
    using Verb = OscCommand::Verb;
    using To = Command::Verb;
    switch (message.verb) {
    case Verb::Play:
        return Command::of(To::Play);
    case Verb::Pause:
        return Command::of(To::Pause);
    case Verb::Toggle:
        return Command::of(To::Toggle);
    case Verb::Rate:
        return Command::with(To::Rate, static_cast<float>(message.number));
    case Verb::Seek:
        return Command::with(To::Seek, message.number);
    case Verb::Volume:
        return Command::with(To::Volume, static_cast<float>(message.number));
    case Verb::Loop:
        return Command::turn(To::Loop, message.on);
    case Verb::Open:
        return Command::files(To::Open, {message.text});
    case Verb::Mesh:
        return Command::files(To::Mesh, {message.text});
    case Verb::Next:
        return Command::of(To::Next);
    case Verb::Previous:
        return Command::of(To::Previous);
    case Verb::Grid:
        return Command::turn(To::Grid, message.on);
    case Verb::Lines:
        return Command::turn(To::Lines, message.on);
    case Verb::Readout:
        return Command::turn(To::Readout, message.on);
    case Verb::Overlay:
        return Command::turn(To::Overlay, message.on);
    case Verb::AudioDelay:
        return Command::with(To::AudioDelay, message.number);
    case Verb::Projection:
        return Command::with(To::Projection, message.number);
    case Verb::Edit:
        return Command::turn(To::Edit, message.on);
    case Verb::Save:
        return Command::of(To::Save);
    case Verb::FullScreen:
        return Command::of(To::FullScreen);
    case Verb::Quit:
        return Command::of(To::Quit);
    case Verb::Status:
        break;
    }
    return std::nullopt;
}

void ShowControl::carryOut(const OscCommand& message) {
    const auto command = commandFor(message);
    if (!command) {
        const auto status = m_commands.status();
        m_server.replyStatus(message, status.path, static_cast<float>(status.position),
                             static_cast<float>(status.duration), status.rate, status.looping);
        return;
    }
    // What goes wrong is answered, never put up as an alert: nobody may be at the screen, and
    // an alert would hold the show control up until somebody came.
    const bool done = m_commands.carryOut(*command, m_server.errorReplier(message));
    if (command->verb == Command::Verb::Quit && done) {
        m_server.stop(); // nothing more is taken once the run is ending (a quit asked about may
                         // have been cancelled)
    }
    if (!done && command->verb == Command::Verb::Seek) {
        m_server.replyError(message, "/lumenarc/seek: no movie of known length");
    }
}

} // namespace lumenarc
