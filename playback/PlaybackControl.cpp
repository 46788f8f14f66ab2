#include "playback/PlaybackControl.h"

#include "input/MeshInteraction.h"
#include "movie/Movie.h"
#include "prefs/PrefsManager.h"
#include "ui/Button.h"
#include "ui/MenuItem.h"
#include "ui/Slider.h"
#include "view/MyOpenGLView.h"

#include "base/MainThread.h"
#include "view/ThreadContract.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

namespace lumenarc {

PlaybackControl::PlaybackControl(MyOpenGLView& view, MovieOpener opener)
    : m_view(view), m_opener(std::move(opener)) {}

void PlaybackControl::openMovie(const std::string& path, FailureReport report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const uint64_t ticket = ++m_openTicket;
    m_openEnded = false;
    m_openReport = std::move(report);
    m_pending.reset(); // a load still in progress is abandoned
    if (!m_opener) {
        openDidEnd(ticket, path, nullptr, "no decoder");
        return;
    }
    auto pending = m_opener(
        path, [this, ticket, path](std::shared_ptr<Movie> movie, const std::string& reason) {
            openDidEnd(ticket, path, std::move(movie), reason);
        });
    if (ticket == m_openTicket && !m_openEnded) {
        m_pending = std::move(pending);
    }
}

void PlaybackControl::cancelOpen() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    ++m_openTicket;
    m_openEnded = true;
    m_pending.reset();
    m_openReport = {};
}

void PlaybackControl::openDidEnd(uint64_t ticket, const std::string& path,
                                 std::shared_ptr<Movie> movie, const std::string& reason) {
    if (ticket != m_openTicket || m_openEnded) {
        return; // superseded or abandoned
    }
    m_openEnded = true;
    m_pending.reset();
    const FailureReport report = std::exchange(m_openReport, {});
    if (movie) {
        m_moviePath = path;
        showOpenedMovie(movie);
    } else {
        // The movie that was playing plays on, with its title and button; the user (or the
        // remote that asked) is told why the new one did not open.
        const std::string name = std::filesystem::path(path).filename().string();
        const std::string why = "The movie \"" + name + "\" could not be opened" +
                                (reason.empty() ? "." : ": " + reason + ".");
        if (report) {
            report(why);
        } else {
            m_view.host().runAlert("Movie error", why);
        }
        m_view.showPlayState();
    }
    if (m_openHook) {
        m_openHook(movie != nullptr);
    }
}

void PlaybackControl::showOpenedMovie(const std::shared_ptr<Movie>& movie) {
    // The old movie goes as the new one takes its place; its last frame stays on screen until
    // the new one delivers.
    m_view.setMovie(movie);
    const auto size = movie->naturalSize();
    m_view.setMovieSize({size.width, size.height});
    setLoopingProg(m_view.looping());
    movie->setRate(1.0f);
    PrefsManager* prefs = m_view.prefsManager();
    const float volume = m_runVolume ? *m_runVolume : prefs != nullptr ? prefs->volume() : 0.0f;
    movie->setVolume(volume);
    if (Slider* slider = m_view.volumeSlider()) {
        slider->setFloatValue(volume);
    }
    if (Button* button = m_view.playButton()) {
        button->setTitle("Pause");
    }
    m_view.resetFrameTimer();
    m_view.host().setWindowTitle(movie->displayName());
    m_view.requestReshape();
}

void PlaybackControl::togglePaused() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = m_view.currentMovie();
    const float rate = movie ? movie->rate() : 0.0f;
    if (rate == 0.0f) {
        if (movie) {
            movie->setRate(1.0f);
        }
        if (Button* button = m_view.playButton()) {
            button->setTitle("Pause");
        }
    } else {
        if (Button* button = m_view.playButton()) {
            button->setTitle("Play");
        }
        movie->setRate(0.0f);
    }
    m_view.showPlayState();
}

void PlaybackControl::keyDown(PhysicalKey key) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (const auto command = KeyMap::commandFor(key)) {
        carryOut(*command);
    }
    m_view.showPlayState(); // an unknown key is silently ignored: no sound, not passed on
}

bool PlaybackControl::carryOut(const Command& command) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    using Verb = Command::Verb;
    const auto movie = m_view.currentMovie();
    const float rate = movie ? movie->rate() : 0.0f;
    bool done = movie != nullptr;
    switch (command.verb) {
    case Verb::Play:
    case Verb::Pause:
        if (movie && (rate == 0.0f) == (command.verb == Verb::Play)) {
            togglePaused(); // the play button
        }
        break;
    case Verb::Toggle:
        togglePaused();
        break;
    case Verb::Resume:
        if (movie) {
            movie->play();
        }
        break;
    case Verb::Stop:
        carryOut(Command::of(Verb::Pause));
        return seekTo(0.0);
    case Verb::Rate: {
        const auto wanted = static_cast<float>(command.number);
        if (!std::isfinite(wanted)) {
            return false;
        }
        if (wanted == 0.0f) {
            return carryOut(Command::of(Verb::Pause));
        }
        if (movie) {
            movie->setRate(wanted); // the play button follows below
        }
        break;
    }
    case Verb::Faster:
    case Verb::Slower:
        if (movie) {
            movie->setRate(command.verb == Verb::Faster ? faster(rate) : slower(rate));
        }
        break;
    case Verb::StepForward:
    case Verb::StepBackward:
        done = movie && rate == 0.0f;
        if (done && command.verb == Verb::StepForward) {
            movie->stepForward();
        } else if (done) {
            movie->stepBackward();
        }
        break;
    case Verb::Seek:
        return seekTo(command.number);
    case Verb::Position:
        return seekToFraction(command.number);
    case Verb::Volume:
        return takeVolume(command.number);
    case Verb::Loop:
        turnLooping(command);
        return true;
    case Verb::Readout:
        turnReadout(command);
        return true;
    default:
        return false;
    }
    m_view.showPlayState();
    return done;
}

bool PlaybackControl::seekTo(double seconds) {
    const auto movie = m_view.currentMovie();
    const MovieTime length = movie ? movie->duration() : MovieTime{};
    const double total = length.scale > 0 ? static_cast<double>(length.value) / length.scale : 0;
    if (!(total > 0.0) || !std::isfinite(seconds)) {
        return false;
    }
    return seekToFraction(seconds / total);
}

bool PlaybackControl::seekToFraction(double fraction) {
    const auto movie = m_view.currentMovie();
    if (!movie || !std::isfinite(fraction)) {
        return false;
    }
    // Through the position slider, as a drag would: the seek lands where the slider can show.
    if (Slider* slider = m_view.positionSlider()) {
        slider->setFloatValue(static_cast<float>(std::clamp(fraction, 0.0, 1.0)));
        setPosition();
    } else {
        const MovieTime duration = movie->duration();
        movie->setCurrentTime(
            {seekValue(duration.value, static_cast<float>(std::clamp(fraction, 0.0, 1.0))),
             duration.scale, duration.flags});
    }
    return true;
}

bool PlaybackControl::takeVolume(double volume) {
    Slider* slider = m_view.volumeSlider();
    if (!std::isfinite(volume) || slider == nullptr) {
        return false;
    }
    slider->setFloatValue(static_cast<float>(std::clamp(volume, 0.0, 1.0)));
    setVolume(*slider); // as the slider's own move: the user's choice, saved
    return true;
}

void PlaybackControl::turnLooping(const Command& command) {
    if (!command.switches(m_view.looping())) {
        return;
    }
    if (MenuItem* item = m_view.loopingMenuItem()) {
        setLooping(*item); // the item keeps its tick
    } else {
        setLoopingProg(!m_view.looping());
    }
}

void PlaybackControl::turnReadout(const Command& command) {
    if (command.switches(m_view.showFPS())) {
        m_view.setShowFPS(!m_view.showFPS());
        MeshInteraction::redrawIfStill(m_view);
    }
}

int PlaybackControl::flipLooping(int senderState) {
    const bool looping = senderState != 1;
    setLoopingProg(looping);
    return looping ? 1 : 0;
}

void PlaybackControl::setLooping(MenuItem& sender) {
    sender.setState(flipLooping(sender.state()));
}

void PlaybackControl::setLooping(Button& sender) {
    sender.setState(flipLooping(sender.state()));
}

void PlaybackControl::setLoopingProg(bool looping) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_view.setLooping(looping);
    if (const auto movie = m_view.currentMovie()) {
        movie->setLoops(looping);
    }
}

void PlaybackControl::setPosition() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = m_view.currentMovie();
    Slider* slider = m_view.positionSlider();
    if (!movie || slider == nullptr) {
        return;
    }
    const MovieTime duration = movie->duration();
    movie->setCurrentTime(
        {seekValue(duration.value, slider->floatValue()), duration.scale, duration.flags});
}

void PlaybackControl::setVolume(const Slider& sender) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const float volume = sender.floatValue();
    m_runVolume.reset(); // the user's own choice from now on, saved as ever
    if (PrefsManager* prefs = m_view.prefsManager()) {
        prefs->setVolume(volume);
    }
    if (const auto movie = m_view.currentMovie()) {
        movie->setVolume(volume);
    }
}

void PlaybackControl::setPrefsManager(PrefsManager* prefs) {
    m_view.bindPrefsManager(prefs);
    setLoopingProg(prefs != nullptr && prefs->loopByDefault());
    if (MenuItem* item = m_view.loopingMenuItem()) {
        item->setState(m_view.looping() ? 1 : 0);
    }
}

// Counted in tenths in double precision: a float tenth is not exact, and adding it again and
// again would leave 1.0 minus ten steps at -7.3e-8 instead of 0, which plays backward.
float PlaybackControl::steppedRate(float rate, int tenths) {
    const double steps = std::round(static_cast<double>(rate) * 10.0) + tenths;
    return static_cast<float>(steps / 10.0);
}

} // namespace lumenarc
