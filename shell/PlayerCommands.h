#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumenarc {

class MainWindow;
class MyController;
class MyOpenGLView;
class PlaybackControl;
class PlayListControl;

// What a remote (MPRIS, OSC, a drop) may ask of the player, each command taking the same path
// as its key, button or menu command: toggling is Space, pausing is the play button's pause,
// looping is Movie › Loop, quitting is File › Quit (preferences saved). Main thread only.
class PlayerCommands {
public:
    struct Parts {
        MainWindow& window;
        MyOpenGLView& view;
        PlaybackControl& playback;
        PlayListControl& playList;
        MyController& controller;
    };
    // What the player is doing, as a remote is told.
    struct Status {
        bool hasMovie = false;
        std::string path;    // the file of the movie on show
        std::string title;   // the movie's own name
        double position = 0; // seconds
        double duration = 0; // seconds
        float rate = 0;      // 0 while paused or at the end
        bool looping = false;
        float volume = 0;
        bool hasNext = false;
        bool hasPrevious = false;
        uint64_t openCount = 0; // changes whenever another movie opens
        bool fullScreen = false;
    };

    // Told why a remote's command could not be carried out, instead of an alert.
    using Report = std::function<void(const std::string& reason)>;

    explicit PlayerCommands(const Parts& parts) : m_parts(parts) {}

    void play();
    void pause();
    void toggle();
    // Pauses and goes back to the start.
    void stop();
    // Any finite rate; 0 pauses.
    void setRate(float rate);
    // To a time in seconds, through the position slider as a drag would; false without a movie
    // of known length.
    bool seekTo(double seconds);
    // 0..1 (clamped), through the volume slider.
    void setVolume(float volume);
    void setLooping(bool on);
    void setGrid(bool on);
    void setLines(bool on);
    void setReadout(bool on);
    // A projection type code as the Projection menu's; false for a code the menu lacks.
    bool setProjection(int code);
    // With a report, a movie that does not open (now or as the list moves on) or a file that is
    // not a mesh is reported there instead of in an alert.
    void openFiles(const std::vector<std::string>& paths, Report report = {});
    void openMesh(const std::string& path, Report report = {});
    void next(Report report = {});
    void previous(Report report = {});
    void fullScreen();
    void raise();
    void quit();

    Status status() const;

private:
    void trigger(const char* name) const;

    Parts m_parts;
};

} // namespace lumenarc
