#pragma once

#include "input/Command.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumenarc {

class MainWindow;
class MenuItem;
class MeshEditSession;
class MeshInteraction;
class MeshSaving;
class MpvPlayback;
class MyController;
class MyOpenGLView;
class PlaybackControl;
class PlayListControl;
class QuitRequest;

// The command table: every command the player takes, from keys, menus, buttons, drops, the
// command line, OSC and MPRIS, is checked and carried out here, once, so that a command does the
// same whichever way it comes. The transport goes on to the playback control; a show's follower
// then forwards it to the leader as the command it is. Main thread only.
class PlayerCommands {
public:
    struct Parts {
        MainWindow& window;
        MyOpenGLView& view;
        PlaybackControl& playback;
        PlayListControl& playList;
        MyController& controller;
        MeshInteraction& interaction;
        QuitRequest& quit;
        MpvPlayback& sound; // the audio device and delay of every movie
        MeshEditSession& edit;
        MeshSaving& saving;
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

    // Told why a command could not be carried out, instead of an alert: a remote's commands
    // must never wait on somebody at the screen.
    using Report = std::function<void(const std::string& reason)>;

    explicit PlayerCommands(const Parts& parts) : m_parts(parts) {}
    // The items whose titles follow the grid and the mesh lines.
    void setToggleItems(MenuItem* grid, MenuItem* lines, MenuItem* overlay) {
        m_gridItem = grid;
        m_linesItem = lines;
        m_overlayItem = overlay;
    }
    // The item whose tick follows edit mode.
    void setEditItem(MenuItem* item) { m_editItem = item; }
    // In a show, a new mesh comes in while the movie plays on; at a desk, the movie stops
    // for it, except when a remote sent it (a show desk).
    void setShowMode(bool on) { m_showMode = on; }

    // Carries the command out, or does nothing where it cannot apply (no movie; steps while
    // playing; full screen already). False when nothing was done. With a report, a movie that
    // does not open (now or as the list moves on) or a file that is not a mesh is told there.
    bool carryOut(const Command& command, Report report = {});

    Status status() const;

private:
    bool openMesh(const std::string& path, const Report& report);
    bool switchEditing(const Command& command);
    void raise();

    Parts m_parts;
    MenuItem* m_gridItem = nullptr;
    MenuItem* m_linesItem = nullptr;
    MenuItem* m_overlayItem = nullptr;
    MenuItem* m_editItem = nullptr;
    bool m_showMode = false;
};

} // namespace lumenarc
