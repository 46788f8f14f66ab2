#pragma once

namespace lumenarc {

// Every way of quitting goes through here, so that each ends the same orderly way (preferences
// saved, then the view cleaned up), wherever it comes from: a signal, the Quit command, the end
// of a movie. A request made while a modal alert or sheet runs closes it; one made before the
// event loop runs (an alert at start) is remembered, and the start-up ends as soon as it can.
// Main thread only.
class QuitRequest {
public:
    void request();
    bool requested() const { return m_requested; }

private:
    static void closeModalWindows();

    bool m_requested = false;
};

} // namespace lumenarc
