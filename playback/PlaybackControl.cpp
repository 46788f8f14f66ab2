#include "playback/PlaybackControl.h"

#include "prefs/PrefsManager.h"
#include "ui/Button.h"
#include "ui/MenuItem.h"
#include "ui/Slider.h"
#include "view/Movie.h"
#include "view/MyOpenGLView.h"

#include <filesystem>

namespace lumenarc {

PlaybackControl::PlaybackControl(MyOpenGLView& view, MovieOpener opener)
    : m_view(view), m_opener(std::move(opener)) {}

void PlaybackControl::openMovie(const std::string& path) {
    // The old movie goes first; its last frame stays on screen until the new one delivers.
    m_view.setMovie(nullptr);
    std::string reason;
    std::shared_ptr<Movie> movie = m_opener ? m_opener(path, &reason) : nullptr;
    m_view.setMovie(movie);
    if (movie) {
        const auto size = movie->naturalSize();
        m_view.movieSize = {size.width, size.height};
    }
    setLoopingProg(m_view.m_looping);
    if (movie) {
        if (TextureContext* context = m_view.textureContext()) {
            context->setMovie(movie);
        }
        movie->setRate(1.0f);
    }
    PrefsManager* prefs = m_view.prefsManager();
    const float volume = prefs != nullptr ? prefs->volume() : 0.0f;
    if (movie) {
        movie->setVolume(volume);
    }
    if (Slider* slider = m_view.volumeSlider()) {
        slider->setFloatValue(prefs != nullptr ? prefs->volume() : 0.0f);
    }
    if (Button* button = m_view.playButton()) {
        button->setTitle("Pause");
    }
    m_view.frameTimer().reset();
    m_view.host().setWindowTitle(movie ? movie->displayName() : "Lumenarc");
    m_view.renderThread().post([&view = m_view] { view.reshape(); });
    if (!movie) {
        // Nothing plays, whatever the button says: the user is told why.
        const std::string name = std::filesystem::path(path).filename().string();
        m_view.host().runAlert("Movie error", "The movie \"" + name + "\" could not be opened" +
                                                  (reason.empty() ? "." : ": " + reason + "."));
    }
}

void PlaybackControl::togglePaused() {
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
}

void PlaybackControl::keyDown(PhysicalKey key) {
    const auto movie = m_view.currentMovie();
    const float rate = movie ? movie->rate() : 0.0f;
    switch (key) {
    case PhysicalKey::Return:
        if (movie) {
            movie->play();
        }
        break;
    case PhysicalKey::Comma:
        if (movie) {
            movie->setRate(faster(rate));
        }
        break;
    case PhysicalKey::Period:
        if (movie) {
            movie->setRate(slower(rate));
        }
        break;
    case PhysicalKey::Tab:
        m_view.m_showFPS = !m_view.m_showFPS;
        break;
    case PhysicalKey::Space:
        togglePaused();
        break;
    case PhysicalKey::LeftArrow:
        if (movie && rate == 0.0f) {
            movie->stepBackward();
        }
        break;
    case PhysicalKey::RightArrow:
        if (movie && rate == 0.0f) {
            movie->stepForward();
        }
        break;
    case PhysicalKey::Other:
        break; // silently ignored: no alert sound, not passed on
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
    m_view.m_looping = looping;
    if (const auto movie = m_view.currentMovie()) {
        movie->setLoops(looping);
    }
}

void PlaybackControl::setPosition() {
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
    const float volume = sender.floatValue();
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
        item->setState(m_view.m_looping ? 1 : 0);
    }
}

} // namespace lumenarc
