#include "prefs/PrefsWindow.h"

#include "prefs/PrefsLimits.h"
#include "prefs/PrefsManager.h"
#include "ui/Button.h"
#include "ui/Slider.h"
#include "ui/TextField.h"

#include <string>

namespace lumenarc {

void PrefsWindow::setControls(const Controls& controls) {
    m_loopByDefaultButton = controls.loopByDefaultButton;
    m_quitWhenMovieFinishesButton = controls.quitWhenMovieFinishesButton;
    m_startupInFullScreenButton = controls.startupInFullScreenButton;
    m_defaultMap = controls.defaultMap;
    m_hscreens = controls.hscreens;
    m_vscreens = controls.vscreens;
    m_hscreensslide = controls.hscreensslide;
    m_vscreensslide = controls.vscreensslide;
    hideMouseButton = controls.hideMouseButton;
}

void PrefsWindow::setPrefsManager(PrefsManager* prefsManager) {
    m_prefsManager = prefsManager;
    if (m_prefsManager == nullptr || m_filled) {
        return;
    }
    m_filled = true;
    fillControls();
}

void PrefsWindow::sheetWillOpen() {
    if (m_prefsManager != nullptr) {
        fillControls();
    }
}

void PrefsWindow::fillControls() {
    m_loopByDefaultButton->setState(m_prefsManager->loopByDefault() ? 1 : 0);
    m_quitWhenMovieFinishesButton->setState(m_prefsManager->quitWhenMovieFinishes() ? 1 : 0);
    m_startupInFullScreenButton->setState(m_prefsManager->startupInFullScreen() ? 1 : 0);
    hideMouseButton->setState(m_prefsManager->hideMouse() ? 1 : 0);
    // A manager loaded from a file without a map holds no path at all: show an empty field.
    m_defaultMap->setStringValue(m_prefsManager->defaultMapPath().value_or(std::string()));
    m_hscreensslide->setIntValue(m_prefsManager->hscreens());
    m_hscreens->setIntValue(m_prefsManager->hscreens());
    m_vscreensslide->setIntValue(m_prefsManager->vscreens());
    m_vscreens->setIntValue(m_prefsManager->vscreens());
}

bool PrefsWindow::isOn(const Button& sender) {
    return sender.state() == 1;
}

void PrefsWindow::setLoopByDefault(Button& sender) {
    if (m_prefsManager != nullptr) {
        m_prefsManager->setLoopByDefault(isOn(sender));
    }
}

void PrefsWindow::setQuitWhenMovieFinishes(Button& sender) {
    if (m_prefsManager != nullptr) {
        m_prefsManager->setQuitWhenMovieFinishes(isOn(sender));
    }
}

void PrefsWindow::setStartupInFullScreen(Button& sender) {
    if (m_prefsManager != nullptr) {
        m_prefsManager->setStartupInFullScreen(isOn(sender));
    }
}

void PrefsWindow::setHideMouse(Button& sender) {
    if (m_prefsManager != nullptr) {
        m_prefsManager->setHideMouse(isOn(sender));
    }
}

int PrefsWindow::acceptedScreenCount(TextField& field) {
    const int value = field.intValue();
    if (PrefsLimits::isValidScreenCount(value)) {
        return value;
    }
    const int accepted = PrefsLimits::clampScreenCount(value);
    field.setIntValue(accepted);
    return accepted;
}

void PrefsWindow::acceptSheet() {
    if (m_prefsManager != nullptr) {
        // The path is taken as typed: it is not checked for a file, and empty is allowed.
        m_prefsManager->setDefaultMapPath(m_defaultMap->stringValue());
        m_prefsManager->setHScreens(acceptedScreenCount(*m_hscreens));
        m_prefsManager->setVScreens(acceptedScreenCount(*m_vscreens));
    }
    if (m_stopModal) {
        m_stopModal(1);
    }
}

} // namespace lumenarc
