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

class QScreen;
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
    // A show runs unattended: losing focus never pauses it, no open sheet comes up at start,
    // the pointer stays hidden and full screen stays above other windows.
    void setShowMode(bool on) { m_showMode = on; }
    // One machine of a synchronised show: losing focus never pauses it either, since the pause
    // would stop every machine of the show.
    void setSyncRole(bool on) { m_syncRole = on; }
    // The output full screen starts from, by name or number ("" = the primary one).
    void setScreen(std::string screen) { m_screen = std::move(screen); }
    // Before the main window first shows: it opens on the chosen output, so that full screen
    // never has to move the view between the screens of a display (which X cannot do).
    void openOnChosenScreen();
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
    FullScreenGeometry::Rect fullScreenRect(const QScreen& start) const;
    // The output asked for, or the primary one (with a line saying so when none matches).
    QScreen* chosenScreen() const;
    void send(const Command& command);
    // What a start without a movie does: the open sheet at a desk, a log line in a show.
    void askForMovie();
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
    bool m_showMode = false;
    bool m_syncRole = false;
    std::string m_screen;
    mutable bool m_screenMissing = false; // said once that no output has that name
    std::function<bool(const Command&)> m_commands;
    // Movies given at start are still loading when launching finishes; what launching would
    // have done with a movie (full screen) or without one (the open sheet) waits for them.
    bool m_launchOpenPending = false;
    PointerHider m_pointer;
    ModalWatcher m_modals{[this](bool up) { modalChanged(up); }};
};

} // namespace lumenarc
