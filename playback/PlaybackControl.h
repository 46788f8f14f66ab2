#pragma once

#include "playback/KeyMap.h"

#include <functional>
#include <memory>
#include <string>

namespace lumenarc {

class Button;
class MenuItem;
class Movie;
class MyOpenGLView;
class PrefsManager;
class Slider;

// The movie-control side of the video view: opening a movie, pausing and resuming, stepping,
// speed, looping, seeking and volume, and the keys that drive them. Main thread only. Every
// decision reads the movie's own rate; nothing keeps a rate of its own.
class PlaybackControl {
public:
    // Opens a movie file; nullptr (and a reason) when the decoder cannot.
    using MovieOpener =
        std::function<std::shared_ptr<Movie>(const std::string& path, std::string* error)>;

    PlaybackControl(MyOpenGLView& view, MovieOpener opener);

    void openMovie(const std::string& path);
    void togglePaused();
    void keyDown(PhysicalKey key);
    void setLooping(MenuItem& sender);
    void setLooping(Button& sender);
    void setLoopingProg(bool looping);
    void setPosition();
    void setVolume(const Slider& sender);
    void setPrefsManager(PrefsManager* prefs);

    // The speed keys: a tenth more or less, in double precision from the float rate, rounded
    // back to the nearest float.
    static float faster(float rate) { return static_cast<float>(static_cast<double>(rate) + 0.1); }
    static float slower(float rate) { return static_cast<float>(static_cast<double>(rate) - 0.1); }
    // The time value a slider position seeks to: single-precision product, truncated.
    static int64_t seekValue(int64_t durationValue, float sliderValue) {
        return static_cast<int64_t>(static_cast<float>(durationValue) * sliderValue);
    }

private:
    // Flips looping from a sender's on/off state; returns the sender's new state.
    int flipLooping(int senderState);

    MyOpenGLView& m_view;
    MovieOpener m_opener;
};

} // namespace lumenarc
