#pragma once

#include <functional>

namespace lumenarc {

// Every way of quitting goes through here, so that each ends the same orderly way (preferences
// saved, then the view cleaned up), wherever it comes from: a signal, the Quit command, the end
// of a movie. A request made while a modal alert or sheet runs closes it; one made before the
// event loop runs (an alert at start) is remembered, and the start-up ends as soon as it can.
// Main thread only.
class QuitRequest {
public:
    // Asked before a quit that may be refused (unsaved mesh edits): false keeps the run going.
    void setGuard(std::function<bool()> mayQuit) { m_mayQuit = std::move(mayQuit); }
    // A quit the guard may refuse: a command, a remote's, the end of a movie.
    void request();
    // A quit nobody is asked about: a signal.
    void requestWithoutAsking();
    bool requested() const { return m_requested; }

private:
    static void closeModalWindows();

    bool m_requested = false;
    std::function<bool()> m_mayQuit;
};

} // namespace lumenarc
