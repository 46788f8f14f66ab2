#pragma once

#include <memory>

namespace lumenarc {

class MainWindow;
class MyOpenGLView;
class PrefsManager;

// The application's delegate: owns the preferences for the whole run and hands them to the
// video view before the view wakes.
class MyController {
public:
    MyController(MainWindow& window, MyOpenGLView& view);
    ~MyController();

    // Loads the preferences and hands them over; runs before the view's own wake-up.
    void awakeFromNib();
    // Saves the preferences, then has the view clean up.
    void applicationWillTerminate();

    void loadPrefs();
    void savePrefs();
    PrefsManager& prefs() { return *m_prefsManager; }

private:
    MainWindow& m_mainWindow;
    MyOpenGLView& myGLView;
    std::unique_ptr<PrefsManager> m_prefsManager;
    bool m_terminated = false;
};

} // namespace lumenarc
