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

void ShowControl::carryOut(const OscCommand& command) {
    using Verb = OscCommand::Verb;
    const auto number = static_cast<float>(command.number);
    switch (command.verb) {
    case Verb::Play:
        m_commands.play();
        break;
    case Verb::Pause:
        m_commands.pause();
        break;
    case Verb::Toggle:
        m_commands.toggle();
        break;
    case Verb::Rate:
        m_commands.setRate(number);
        break;
    case Verb::Seek:
        if (!m_commands.seekTo(command.number)) {
            m_server.replyError(command, "/lumenarc/seek: no movie of known length");
        }
        break;
    case Verb::Volume:
        m_commands.setVolume(number);
        break;
    case Verb::Loop:
        m_commands.setLooping(command.on);
        break;
    // What goes wrong with these is answered, never put up as an alert: nobody may be at the
    // screen, and an alert would hold the show control up until somebody came.
    case Verb::Open:
        m_commands.openFiles({command.text}, m_server.errorReplier(command));
        break;
    case Verb::Mesh:
        m_commands.openMesh(command.text, m_server.errorReplier(command));
        break;
    case Verb::Next:
        m_commands.next(m_server.errorReplier(command));
        break;
    case Verb::Previous:
        m_commands.previous(m_server.errorReplier(command));
        break;
    case Verb::Grid:
        m_commands.setGrid(command.on);
        break;
    case Verb::Lines:
        m_commands.setLines(command.on);
        break;
    case Verb::Readout:
        m_commands.setReadout(command.on);
        break;
    case Verb::Projection:
        m_commands.setProjection(static_cast<int>(command.number));
        break;
    case Verb::FullScreen:
        m_commands.fullScreen();
        break;
    case Verb::Quit:
        m_server.stop(); // nothing more is taken once the run is ending
        m_commands.quit();
        break;
    case Verb::Status: {
        const auto status = m_commands.status();
        m_server.replyStatus(command, status.path, static_cast<float>(status.position),
                             static_cast<float>(status.duration), status.rate, status.looping);
        break;
    }
    }
}

} // namespace lumenarc
