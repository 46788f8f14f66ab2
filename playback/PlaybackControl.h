#pragma once

#include "input/KeyMap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
// decision reads the movie's own rate, as last published; nothing keeps a rate of its own.
class PlaybackControl {
public:
    // Runs on the main thread when an open ends: the movie, or nullptr and the reason.
    using OpenDone = std::function<void(std::shared_ptr<Movie> movie, const std::string& reason)>;
    // Starts opening a movie file and returns at once with the movie being loaded (nullptr when
    // nothing is); `done` follows later, on the main thread, unless the pending movie was
    // dropped first, which abandons the load.
    using MovieOpener =
        std::function<std::shared_ptr<Movie>(const std::string& path, OpenDone done)>;
    // Told of every open that ends: whether a movie was opened.
    using OpenHook = std::function<void(bool opened)>;
    // Told why a movie did not open, instead of the alert (for opens a remote asked for).
    using FailureReport = std::function<void(const std::string& why)>;

    PlaybackControl(MyOpenGLView& view, MovieOpener opener);

    // Starts opening; the movie that plays now plays on until the new one is ready, and stays
    // when it fails, with an alert saying why, or told to `report` when given. A later open
    // supersedes one still loading.
    void openMovie(const std::string& path, FailureReport report = {});
    bool isOpening() const { return m_pending != nullptr; }
    // The file of the movie on show, as it was opened ("" before the first).
    const std::string& moviePath() const { return m_moviePath; }
    // Abandons a load in progress (at the end of the run).
    void cancelOpen();
    void setOpenHook(OpenHook hook) { m_openHook = std::move(hook); }
    void togglePaused();
    void keyDown(PhysicalKey key);
    // The transport, the volume, looping and the readout, as the command table hands them on,
    // with their checks: nothing moves without a movie, steps only while paused, a seek only in
    // a movie of known length. False when nothing could be done, or for another command.
    bool carryOut(const Command& command);
    void setLooping(MenuItem& sender);
    void setLooping(Button& sender);
    void setLoopingProg(bool looping);
    void setPosition();
    void setVolume(const Slider& sender);
    void setPrefsManager(PrefsManager* prefs);
    // A volume for this run that movies open with instead of the saved one, until the user
    // moves the volume slider. It is no preference: it is never saved.
    void setRunVolume(float volume) { m_runVolume = volume; }

    // The speed keys: a tenth more or less, landing on the nearest multiple of a tenth (as a
    // float), so that any number of steps neither drifts nor misses 0 on the way through.
    static float faster(float rate) { return steppedRate(rate, 1); }
    static float slower(float rate) { return steppedRate(rate, -1); }
    static float steppedRate(float rate, int tenths);
    // The time value a slider position seeks to: single-precision product, truncated.
    static int64_t seekValue(int64_t durationValue, float sliderValue) {
        return static_cast<int64_t>(static_cast<float>(durationValue) * sliderValue);
    }

private:
    void openDidEnd(uint64_t ticket, const std::string& path, std::shared_ptr<Movie> movie,
                    const std::string& reason);
    void showOpenedMovie(const std::shared_ptr<Movie>& movie);
    bool seekTo(double seconds);
    bool seekToFraction(double fraction);
    bool takeVolume(double volume);
    void turnLooping(const Command& command);
    void turnReadout(const Command& command);
    // Flips looping from a sender's on/off state; returns the sender's new state.
    int flipLooping(int senderState);

    MyOpenGLView& m_view;
    MovieOpener m_opener;
    OpenHook m_openHook;
    std::shared_ptr<Movie> m_pending; // the movie being loaded
    uint64_t m_openTicket = 0;        // the newest open; older ones are ignored when they end
    bool m_openEnded = true;          // the newest open has ended
    FailureReport m_openReport;       // where the newest open's failure goes, if not an alert
    std::string m_moviePath;
    std::optional<float> m_runVolume;
};

} // namespace lumenarc
