#pragma once

#include "app/AboutBox.h"
#include "app/KeyRouter.h"
#include "app/MainWindow.h"
#include "app/MyController.h"
#include "app/PrefsDialog.h"
#include "app/QtMenuItem.h"
#include "app/QuitRequest.h"
#include "app/SeekSlider.h"
#include "app/SignalQuit.h"
#include "playback/MeshInteraction.h"
#include "playback/MpvPlayback.h"
#include "playback/PlaybackControl.h"
#include "view/MyOpenGLView.h"

#include <QApplication>
#include <array>
#include <memory>

namespace lumenarc {

// The whole application as the interface description joins it: the main window with the view
// and its controls, the menus and their commands, the sheets, the controller as delegate.
class Application {
public:
    explicit Application(QApplication& application);
    ~Application();
    // Wakes the objects in the required order, opens the files given, and runs the event loop.
    int run(const QStringList& files);

private:
    // The start-up steps before the event loop; false when a quit was asked for meanwhile.
    bool launch(const QStringList& files);
    void connectControls();
    void connectMenus();
    void connectMenuItem(QAction* action, std::function<void()> command);

    QApplication& m_application;
    QuitRequest m_quit;
    SignalQuit m_signals{m_quit};
    MainWindow m_window;
    MyOpenGLView m_view;
    MpvPlayback m_mpv;
    PlaybackControl m_playback;
    MeshInteraction m_interaction;
    AboutBox m_aboutBox;
    PrefsDialog m_prefsDialog;
    MyController m_controller;
    KeyRouter m_keys;
    std::unique_ptr<SeekSlider> m_seekSlider;
    std::unique_ptr<QtMenuItem> m_loopingItem;
    std::unique_ptr<QtMenuItem> m_gridItem;
    std::unique_ptr<QtMenuItem> m_linesItem;
    std::array<std::unique_ptr<QtMenuItem>, 2> m_sizeItems;
    std::array<std::unique_ptr<QtMenuItem>, 10> m_projectionItems;
};

} // namespace lumenarc
