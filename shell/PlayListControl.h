#pragma once

#include "playback/PlaybackControl.h"
#include "shell/PlayList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumenarc {

class MyOpenGLView;
class PlaybackControl;

// Plays the movies of a play list one after the other: every movie the player opens goes
// through here. When a movie ends without looping the next one opens; Movie › Next and
// Previous move through the list; a movie that does not open has had its alert, and the list
// moves on. After the last one, quitting at the end applies as for a single movie. Main thread.
class PlayListControl {
public:
    PlayListControl(MyOpenGLView& view, PlaybackControl& playback)
        : m_view(view), m_playback(playback) {}

    // Told after each movie of the list has opened (the title is set by then).
    void setOpenedHook(std::function<void()> hook) { m_openedHook = std::move(hook); }

    using Report = PlaybackControl::FailureReport;

    // Replaces the list and opens its first movie. With a report, a movie of the list that does
    // not open is told there instead of in an alert, until another list or move asks otherwise.
    void openFiles(std::vector<std::string> paths, Report report = {});
    void next(Report report = {});
    void previous(Report report = {});
    // Every open that ends, before anyone else hears of it.
    void openDidEnd(bool opened);
    // The view's end hook: true when the next movie opens, so the run goes on.
    bool movieDidEnd();

    const PlayList& list() const { return m_list; }
    // How many movies have opened: a new number for each.
    uint64_t openCount() const { return m_openCount; }

private:
    void openCurrent();
    // The next movie, as the list goes on by itself: its failures go where the last ones went.
    void moveOn();
    // The list has run out while its last movie stands at its end.
    void endOfList();

    MyOpenGLView& m_view;
    PlaybackControl& m_playback;
    PlayList m_list;
    std::function<void()> m_openedHook;
    uint64_t m_openCount = 0;
    bool m_opening = false; // an open of the list's is under way
    Report m_report;        // where the list's failed opens go (an alert when empty)
};

} // namespace lumenarc
