#include "remote/MprisRoot.h"

#include "shell/PlayerCommands.h"

namespace lumenarc {

MprisRoot::MprisRoot(QObject* object, PlayerCommands& commands)
    : QDBusAbstractAdaptor(object), m_commands(commands) {}

QStringList MprisRoot::mimeTypes() {
    return {"video/mp4",  "video/quicktime", "video/x-matroska", "video/webm",
            "video/mpeg", "video/x-msvideo", "video/ogg"};
}

bool MprisRoot::fullscreen() const {
    return m_commands.status().fullScreen;
}

void MprisRoot::setFullscreen(bool on) {
    if (on) {
        m_commands.carryOut(Command::of(Command::Verb::FullScreen));
    }
}

void MprisRoot::Raise() {
    m_commands.carryOut(Command::of(Command::Verb::Raise));
}

void MprisRoot::Quit() {
    m_commands.carryOut(Command::of(Command::Verb::Quit));
}

} // namespace lumenarc
