#include "shell/PlayerCommands.h"

#include "base/MainThread.h"
#include "movie/Movie.h"
#include "playback/PlaybackControl.h"
#include "shell/MainWindow.h"
#include "shell/MyController.h"
#include "shell/PlayListControl.h"
#include "shell/VideoWindow.h"
#include "ui/Slider.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <cmath>

namespace lumenarc {
namespace {

double seconds(const MovieTime& time) {
    return time.scale > 0 ? static_cast<double>(time.value) / time.scale : 0.0;
}

} // namespace

void PlayerCommands::trigger(const char* name) const {
    if (auto* item = m_parts.window.findChild<QAction*>(QString::fromLatin1(name))) {
        item->trigger(); // exactly as the menu command
    }
}

void PlayerCommands::play() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = m_parts.view.currentMovie();
    if (movie && movie->rate() == 0.0f) {
        m_parts.playback.togglePaused(); // the play button
    }
}

void PlayerCommands::pause() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = m_parts.view.currentMovie();
    if (movie && movie->rate() != 0.0f) {
        m_parts.playback.togglePaused(); // the play button
    }
}

void PlayerCommands::toggle() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_parts.playback.keyDown(PhysicalKey::Space);
}

void PlayerCommands::stop() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    pause();
    seekTo(0.0);
}

void PlayerCommands::setRate(float rate) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!std::isfinite(rate)) {
        return;
    }
    if (rate == 0.0f) {
        pause();
        return;
    }
    // As the speed keys do: the movie takes the rate, the play button follows.
    if (const auto movie = m_parts.view.currentMovie()) {
        movie->setRate(rate);
        m_parts.view.showPlayState();
    }
}

bool PlayerCommands::seekTo(double target) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = m_parts.view.currentMovie();
    const double length = movie ? seconds(movie->duration()) : 0.0;
    if (!movie || !(length > 0.0) || !std::isfinite(target)) {
        return false;
    }
    Slider& slider = m_parts.window.positionSlider();
    slider.setFloatValue(static_cast<float>(std::clamp(target / length, 0.0, 1.0)));
    m_parts.playback.setPosition();
    return true;
}

void PlayerCommands::setVolume(float volume) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!std::isfinite(volume)) {
        return;
    }
    Slider& slider = m_parts.window.volumeSlider();
    slider.setFloatValue(std::clamp(volume, 0.0f, 1.0f));
    m_parts.playback.setVolume(slider);
}

void PlayerCommands::setLooping(bool on) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_parts.view.looping() != on) {
        trigger("actionLooping");
    }
}

void PlayerCommands::setGrid(bool on) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_parts.view.showDistortionMatrix() != on) {
        trigger("actionShowDistortionMatrix");
    }
}

void PlayerCommands::setLines(bool on) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_parts.view.showGridLines() != on) {
        trigger("actionShowGridLines");
    }
}

void PlayerCommands::setReadout(bool on) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_parts.view.showFPS() != on) {
        m_parts.playback.keyDown(PhysicalKey::Tab);
    }
}

bool PlayerCommands::setProjection(int code) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto* menu = m_parts.window.findChild<QMenu*>(QStringLiteral("menuProjection"));
    if (menu == nullptr) {
        return false;
    }
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator() && item->property("tag").toInt() == code) {
            item->trigger(); // as the menu command
            return true;
        }
    }
    return false;
}

void PlayerCommands::openFiles(const std::vector<std::string>& paths, Report report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_parts.playList.openFiles(paths, std::move(report));
}

void PlayerCommands::openMesh(const std::string& path, Report report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!report) {
        m_parts.view.loadDistortionMatrix(path); // as the open sheet does
        return;
    }
    VideoWindow& surface = m_parts.window.videoWindow();
    auto before =
        surface.divertAlerts([&report](const std::string& title, const std::string& message,
                                       const std::string& informative) {
            report(title + ": " + message + (informative.empty() ? "" : " (" + informative + ")"));
        });
    m_parts.view.loadDistortionMatrix(path);
    surface.divertAlerts(std::move(before));
}

void PlayerCommands::next(Report report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_parts.playList.next(std::move(report)); // as Movie › Next
}

void PlayerCommands::previous(Report report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_parts.playList.previous(std::move(report)); // as Movie › Previous
}

void PlayerCommands::fullScreen() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    trigger("actionFullScreen");
}

void PlayerCommands::raise() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    QWidget* window = m_parts.controller.viewWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void PlayerCommands::quit() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    trigger("actionQuit");
}

PlayerCommands::Status PlayerCommands::status() const {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    Status status;
    status.looping = m_parts.view.looping();
    status.volume = m_parts.window.volumeSlider().floatValue();
    status.hasNext = m_parts.playList.list().hasNext();
    status.hasPrevious = m_parts.playList.list().hasPrevious();
    status.openCount = m_parts.playList.openCount();
    status.fullScreen = m_parts.controller.isFullScreen();
    const auto movie = m_parts.view.currentMovie();
    if (!movie) {
        return status;
    }
    status.hasMovie = true;
    status.path = m_parts.playback.moviePath(); // also when the show's leader opened it
    status.title = movie->displayName();
    status.position = seconds(movie->currentTime());
    status.duration = seconds(movie->duration());
    status.rate = movie->rate();
    return status;
}

} // namespace lumenarc
