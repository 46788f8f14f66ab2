#pragma once

#include <functional>
#include <utility>

namespace lumenarc {

class Button;
class PrefsManager;
class Slider;
class TextField;

// The preferences sheet's logic. Check boxes change the manager the moment they are clicked;
// the text fields reach it only when the sheet is accepted, and each opening shows the manager's
// settings afresh. The window around it supplies the
// controls and the way to end its modal loop.
class PrefsWindow {
public:
    // The sheet's controls, named so that the nine pointers cannot be wired in the wrong order.
    struct Controls {
        Button* loopByDefaultButton = nullptr;
        Button* quitWhenMovieFinishesButton = nullptr;
        Button* startupInFullScreenButton = nullptr;
        TextField* defaultMap = nullptr;
        TextField* hscreens = nullptr;
        TextField* vscreens = nullptr;
        Slider* hscreensslide = nullptr;
        Slider* vscreensslide = nullptr;
        Button* hideMouseButton = nullptr;
    };

    // Ends the running modal loop with the given code.
    using StopModal = std::function<void(int code)>;

    explicit PrefsWindow(StopModal stopModal) : m_stopModal(std::move(stopModal)) {}

    // Every control must be wired before the manager is handed over.
    void setControls(const Controls& controls);

    // Keeps the manager (not owned). The first manager fills every control; later calls only
    // replace the reference.
    void setPrefsManager(PrefsManager* prefsManager);
    // Fills every control from the manager again; called each time the sheet opens. A sheet
    // closed without accepting stored none of its fields, so it must not show them again as if
    // they were the settings in force.
    void sheetWillOpen();

    void setLoopByDefault(Button& sender);
    void setQuitWhenMovieFinishes(Button& sender);
    void setStartupInFullScreen(Button& sender);
    void setHideMouse(Button& sender);

    // Stores the text fields (a screen count below 1 becomes 1, one above 16 becomes 16, in the
    // field too) and ends the modal loop with 1.
    void acceptSheet();

private:
    void fillControls();
    static bool isOn(const Button& sender);
    static int acceptedScreenCount(TextField& field);

    PrefsManager* m_prefsManager = nullptr;
    Button* m_loopByDefaultButton = nullptr;
    Button* m_quitWhenMovieFinishesButton = nullptr;
    Button* m_startupInFullScreenButton = nullptr;
    TextField* m_defaultMap = nullptr;
    TextField* m_hscreens = nullptr;
    TextField* m_vscreens = nullptr;
    Slider* m_hscreensslide = nullptr;
    Slider* m_vscreensslide = nullptr;
    Button* hideMouseButton = nullptr;
    StopModal m_stopModal;
    bool m_filled = false;
};

} // namespace lumenarc
