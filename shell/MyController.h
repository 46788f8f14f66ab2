#pragma once

#include "input/Command.h"
#include "shell/FullScreenGeometry.h"
#include "shell/ModalWatcher.h"
#include "shell/PointerHider.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace lumenarc {

class AboutBox;
class MainWindow;
class MyOpenGLView;
class NSFullScreenWindow;
class PlaybackControl;
class PrefsDialog;
class PrefsManager;

// The application's delegate: owns the preferences for the whole run, hands them over before
// the view wakes, offers the open sheets, shows the about and preferences sheets, answers
// open-file requests, pauses when the application loses focus, goes full screen, and ends the
// run in order (preferences saved, then the view cleaned up). Main thread only.
class MyController : public QObject {
    Q_OBJECT
public:
    MyController(MainWindow& window, MyOpenGLView& view, PlaybackControl& playback,
                 PrefsDialog& prefsWindow, AboutBox& aboutBox);
    ~MyController() override;

    // Called with the full-screen window once it exists (keys must reach the view there too).
    void setFullScreenHook(std::function<void(QWidget*)> hook) {
        m_fullScreenHook = std::move(hook);
    }

    // What the controller asks of the player (the movies and the mesh chosen in its sheets,
    // full screen at start, the pause on losing focus) goes to the command table through here.
    void setCommandSink(std::function<bool(const Command&)> sink) { m_commands = std::move(sink); }
    // Full screen once a movie has loaded, for this run only, as the preference would.
    void setStartupInFullScreen(bool on) { m_startupInFullScreen = on; }

    void awakeFromNib();
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void applicationWillTerminate();
    void applicationDidResignActive();
    // An open ended, opened or not.
    void movieOpenDidEnd(bool opened);

    void open();
    void openPanelDidEnd(int returnCode, const QStringList& files);
    void openDistortionMatrix();
    void openDistortionMatrixPanelDidEnd(int returnCode, const QStringList& files);
    void showAboutBox();
    void showPrefsWindow();
    void acceptSheet();
    // Only the command table calls this: it alone checks whether full screen is there already.
    void goFullScreen();
    void startMouseHideTimer();
    void doHideMouse();

    void loadPrefs();
    void savePrefs();
    PrefsManager& prefs() { return *m_prefsManager; }
    bool isFullScreen() const { return fullScreen; }
    // The window that holds the video view now: the main window or the full-screen window.
    QWidget* viewWindow() const;

private:
    bool startupInFullScreen() const;
    // Where the full-screen window goes on the screens there are (a line on standard error when
    // the preferences reach where there is none).
    FullScreenGeometry::Rect fullScreenRect() const;
    void send(const Command& command);
    // A modal alert, sheet or dialog came up, or the last one went away.
    void modalChanged(bool modalUp);

    MyOpenGLView& myGLView;
    // The main window, which holds the video view at start; the sheets attach to it.
    MainWindow& m_mainWindow;
    AboutBox& m_aboutBox;
    PrefsDialog& m_prefsWindow;
    PlaybackControl& m_playback;
    // The full-screen window (not the main window: that is m_mainWindow), made by the first
    // goFullScreen and kept until the end.
    std::unique_ptr<NSFullScreenWindow> mainWindow;
    bool fullScreen = false;
    bool hideMouse = false;
    QPointer<QTimer> mouseHideTimer;
    std::unique_ptr<PrefsManager> m_prefsManager;
    std::function<void(QWidget*)> m_fullScreenHook;
    bool m_terminated = false;
    bool m_startupInFullScreen = false;
    std::function<bool(const Command&)> m_commands;
    // Movies given at start are still loading when launching finishes; what launching would
    // have done with a movie (full screen) or without one (the open sheet) waits for them.
    bool m_launchOpenPending = false;
    PointerHider m_pointer;
    ModalWatcher m_modals{[this](bool up) { modalChanged(up); }};
};

} // namespace lumenarc
