#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumenarc {

// One thing asked of the player, whichever way it came: a key, a menu, a button, a drop, OSC,
// MPRIS or the command line. Every route builds one of these and hands it to the command table,
// which alone checks it and carries it out, so one command behaves the same by every route.
struct Command {
    enum class Verb {
        Play,         // resume at the rate 1 when paused
        Pause,        // pause when playing
        Toggle,       // pause or resume (Space, the play button)
        Resume,       // play at the rate 1, whatever the rate was (Return)
        Stop,         // pause and go back to the start
        Rate,         // number: any finite rate; 0 pauses
        Faster,       // a tenth more
        Slower,       // a tenth less
        StepForward,  // one frame, while paused
        StepBackward, // one frame back, while paused
        Seek,         // number: seconds from the start
        Jump,         // number: seconds forward (or back, below 0), within the movie
        Position,     // number: 0..1 of the length, as the position slider
        Volume,       // number: 0..1
        AudioDelay,   // number: seconds the sound comes later (earlier, below 0), -2..2
        Loop,         // state
        Grid,         // state
        Lines,        // state
        Readout,      // state
        Overlay,      // state: the overlay band
        Projection,   // number: a projection type code
        ResetView,    // undo the drags
        Edit,         // state: edit mode, the mesh's nodes by keys and mouse
        Save,         // the mesh to its own file (Save As where it has none it can write)
        SaveAs,       // ask where to save the mesh
        Size,         // number: the size item's tag (1 actual, 2 double)
        Open,         // paths: movies, played as a list
        Mesh,         // paths: one mesh file
        OpenSheet,    // ask for movies
        MeshSheet,    // ask for a mesh
        Next,
        Previous,
        FullScreen,
        Raise,
        Preferences,
        About,
        Quit,
    };
    // What a switch command does to its setting.
    enum class State { Off, On, Flip };

    Verb verb = Verb::Play;
    double number = 0;
    State state = State::Flip;
    std::vector<std::string> paths;

    static Command of(Verb verb) { return {verb, 0, State::Flip, {}}; }
    static Command with(Verb verb, double number) { return {verb, number, State::Flip, {}}; }
    static Command turn(Verb verb, bool on) { return {verb, 0, on ? State::On : State::Off, {}}; }
    static Command flip(Verb verb) { return {verb, 0, State::Flip, {}}; }
    static Command files(Verb verb, std::vector<std::string> paths) {
        return {verb, 0, State::Flip, std::move(paths)};
    }

    // Whether a switch now `on` changes under this command.
    bool switches(bool on) const { return state == State::Flip || (state == State::On) != on; }
    // The command's name, for logs and replies.
    static std::string_view name(Verb verb);
};

} // namespace lumenarc
