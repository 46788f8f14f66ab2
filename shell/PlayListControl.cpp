#include "shell/PlayListControl.h"

#include "movie/Movie.h"
#include "playback/PlaybackControl.h"
#include "view/MyOpenGLView.h"

namespace lumenarc {

void PlayListControl::openFiles(std::vector<std::string> paths, Report report) {
    if (paths.empty()) {
        return;
    }
    m_report = std::move(report);
    m_list.replace(std::move(paths));
    openCurrent();
}

void PlayListControl::next(Report report) {
    m_report = std::move(report);
    moveOn();
}

void PlayListControl::previous(Report report) {
    m_report = std::move(report);
    if (m_list.previous()) {
        openCurrent();
    }
}

void PlayListControl::moveOn() {
    if (m_list.next()) {
        openCurrent();
    }
}

void PlayListControl::openCurrent() {
    m_opening = true;
    m_playback.openMovie(m_list.current(), m_report);
}

void PlayListControl::openDidEnd(bool opened) {
    if (!m_opening || m_playback.isOpening()) {
        return;
    }
    m_opening = false;
    if (opened) {
        ++m_openCount;
        if (const auto movie = m_view.currentMovie()) {
            m_view.host().setWindowTitle(m_list.title(movie->displayName()));
        }
        if (m_openedHook) {
            m_openedHook();
        }
        return;
    }
    // The alert has been shown and dismissed by now (or the failure reported).
    if (m_list.hasNext()) {
        moveOn();
    } else {
        endOfList();
    }
}

bool PlayListControl::movieDidEnd() {
    if (m_opening) {
        return true; // the next one is on its way
    }
    if (!m_list.hasNext()) {
        return false;
    }
    moveOn();
    return true;
}

void PlayListControl::endOfList() {
    const auto movie = m_view.currentMovie();
    if (movie && movie->isDone() && !m_view.looping() && m_view.quitWhenMovieFinishes()) {
        m_view.terminate();
    }
}

} // namespace lumenarc
