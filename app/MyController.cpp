#include "app/MyController.h"

#include "app/MainWindow.h"
#include "prefs/PrefsManager.h"
#include "prefs/PrefsStore.h"
#include "render/MyOpenGLView.h"

namespace lumenarc {

MyController::MyController(MainWindow& window, MyOpenGLView& view)
    : m_mainWindow(window), myGLView(view) {}

MyController::~MyController() = default;

void MyController::awakeFromNib() {
    loadPrefs();
    myGLView.setPrefsManager(m_prefsManager.get());
}

void MyController::applicationWillTerminate() {
    if (m_terminated) {
        return;
    }
    m_terminated = true;
    savePrefs();
    myGLView.cleanUp();
}

void MyController::loadPrefs() { m_prefsManager = PrefsStore::loadPrefs(PrefsStore::getPrefsPath()); }

void MyController::savePrefs() {
    if (m_prefsManager) {
        PrefsStore::savePrefs(*m_prefsManager, PrefsStore::getPrefsPath());
    }
}

} // namespace lumenarc
