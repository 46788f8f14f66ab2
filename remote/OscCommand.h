#pragma once

#include <string>
#include <sys/socket.h>

namespace lumenarc {

// One show-control message, checked and reduced to what the player needs.
struct OscCommand {
    enum class Verb {
        Play,
        Pause,
        Toggle,
        Rate,   // number: the rate
        Seek,   // number: seconds from the start
        Volume, // number: 0..1
        Loop,   // on
        Open,   // text: a movie file
        Mesh,   // text: a mesh file
        Next,
        Previous,
        Grid,       // on
        Lines,      // on
        Readout,    // on
        Overlay,    // on: the overlay band
        AudioDelay, // number: seconds, -2..2
        Projection, // number: a projection type code
        Edit,       // on: the mesh editor
        Save,       // the edited mesh to its file
        FullScreen,
        Quit,
        Status, // answered to `sender`
    };

    Verb verb = Verb::Play;
    double number = 0;
    bool on = false;
    std::string text;
    sockaddr_storage sender{}; // where a status reply goes
    socklen_t senderLength = 0;

    // A setter whose last value is all that counts, so that a run of them may be merged.
    bool mergeable() const;
};

} // namespace lumenarc
