#include "input/Command.h"

namespace lumenarc {

std::string_view Command::name(Verb verb) {
    switch (verb) {
    case Verb::Play:
        return "play";
    case Verb::Pause:
        return "pause";
    case Verb::Toggle:
        return "toggle";
    case Verb::Resume:
        return "resume";
    case Verb::Stop:
        return "stop";
    case Verb::Rate:
        return "rate";
    case Verb::Faster:
        return "faster";
    case Verb::Slower:
        return "slower";
    case Verb::StepForward:
        return "step forward";
    case Verb::StepBackward:
        return "step backward";
    case Verb::Seek:
        return "seek";
    case Verb::AudioDelay:
        return "audio delay";
    case Verb::Jump:
        return "jump";
    case Verb::Overlay:
        return "overlay";
    case Verb::Position:
        return "position";
    case Verb::Volume:
        return "volume";
    case Verb::Loop:
        return "loop";
    case Verb::Grid:
        return "grid";
    case Verb::Lines:
        return "lines";
    case Verb::Readout:
        return "readout";
    case Verb::Projection:
        return "projection";
    case Verb::ResetView:
        return "reset view";
    case Verb::Edit:
        return "edit";
    case Verb::Save:
        return "save";
    case Verb::SaveAs:
        return "save as";
    case Verb::Size:
        return "size";
    case Verb::Open:
        return "open";
    case Verb::Mesh:
        return "mesh";
    case Verb::OpenSheet:
        return "open sheet";
    case Verb::MeshSheet:
        return "mesh sheet";
    case Verb::Next:
        return "next";
    case Verb::Previous:
        return "previous";
    case Verb::FullScreen:
        return "full screen";
    case Verb::Raise:
        return "raise";
    case Verb::Preferences:
        return "preferences";
    case Verb::About:
        return "about";
    case Verb::Quit:
        return "quit";
    }
    return "unknown";
}

} // namespace lumenarc
