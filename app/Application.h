#pragma once

#include "app/LaunchOptions.h"
#include "app/SignalQuit.h"
#include "app/SyncLink.h"
#include "input/MeshEditSession.h"
#include "input/MeshInteraction.h"
#include "playback/MpvPlayback.h"
#include "playback/PlaybackControl.h"
#include "shell/AboutBox.h"
#include "shell/DropHandler.h"
#include "shell/KeyRouter.h"
#include "shell/MainWindow.h"
#include "shell/MeshSaving.h"
#include "shell/MyController.h"
#include "shell/PlayListControl.h"
#include "shell/PlayerCommands.h"
#include "shell/PrefsDialog.h"
#include "shell/QtMenuItem.h"
#include "shell/QuitRequest.h"
#include "shell/SeekSlider.h"
#include "view/MyOpenGLView.h"

#include <QApplication>
#include <array>
#include <memory>

namespace lumenarc {

class MprisService;
class ShowControl;

// The whole application as the interface description joins it: the main window with the view
// and its controls, the menus and their commands, the sheets, the controller as delegate.
class Application {
public:
    explicit Application(QApplication& application);
    ~Application();
    // Wakes the objects in the required order, opens what the command line asked of this run
    // (its movies as a play list, its mesh, and settings that hold for this run only), and runs
    // the event loop. Returns the exit status.
    int run(const LaunchOptions& options);

private:
    enum class Launch { Running, Quit, Failed };
    // The start-up steps before the event loop: whether the loop is to run, or why not (a quit
    // was asked for meanwhile, or the command line asked for what cannot be had).
    Launch launch(const LaunchOptions& options);
    void connectControls();
    void connectMenus();
    // Every key, menu item, button and start-up step goes to the command table through here.
    bool send(const Command& command);
    void connectMenuItem(QAction* action, const Command& command);
    void addMenuItems();
    QAction* addMenuItem(QMenu* menu, QAction* before, const char* name, const QString& text,
                         const QKeySequence& key, const Command& command);
    // What the command line asks for before the first frame; false when the run cannot start.
    bool applyLaunchOptions(const LaunchOptions& options);
    void startRemotes(const LaunchOptions& options);
    // The settings the command line or the preferences give, before the view wakes, so that
    // its start-up mesh never waits on an alert in a show.
    void applySettings(const LaunchOptions& options);
    void applyShowMode(bool on);
    // Where unsaved mesh edits go when the mesh's own folder cannot take them.
    static std::string configFolder();

    QApplication& m_application;
    QuitRequest m_quit;
    SignalQuit m_signals{m_quit};
    MainWindow m_window;
    MyOpenGLView m_view;
    MpvPlayback m_mpv;
    PlaybackControl m_playback;
    MeshInteraction m_interaction;
    MeshEditSession m_edit;
    AboutBox m_aboutBox;
    PrefsDialog m_prefsDialog;
    MyController m_controller;
    MeshSaving m_meshSaving;
    KeyRouter m_keys;
    std::unique_ptr<SeekSlider> m_seekSlider;
    PlayListControl m_playList;
    PlayerCommands m_commands;
    DropHandler m_drops;
    SyncLink m_sync;
    bool m_pauseFirstMovie = false;
    std::unique_ptr<QtMenuItem> m_loopingItem;
    std::unique_ptr<QtMenuItem> m_gridItem;
    std::unique_ptr<QtMenuItem> m_linesItem;
    std::unique_ptr<QtMenuItem> m_overlayItem;
    std::unique_ptr<QtMenuItem> m_editItem;
    std::array<std::unique_ptr<QtMenuItem>, 10> m_projectionItems;
    // Remote control, when asked for; they go first at the end, before what they drive.
    std::unique_ptr<ShowControl> m_showControl;
    std::unique_ptr<MprisService> m_mpris;
};

} // namespace lumenarc
