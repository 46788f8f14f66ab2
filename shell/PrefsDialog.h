#pragma once

#include "prefs/PrefsWindow.h"
#include "shell/QtButton.h"
#include "shell/QtSlider.h"
#include "shell/QtTextField.h"

#include <QDialog>
#include <memory>

class QAbstractButton;
class QLineEdit;
class QSlider;

namespace Ui {
class PrefsDialog;
}

namespace lumenarc {

class PrefsManager;

// The preferences sheet as a window-modal dialog on the main window. Check boxes act on the
// manager when clicked; OK stores the text fields and ends the loop with 1. Closing the window
// or pressing Escape ends the loop with 0 and stores no text field; the check boxes clicked
// meanwhile stay applied, as there is nothing to undo them. Each showing fills the controls
// from the manager, so it shows the settings in force, not what was typed and dropped.
class PrefsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrefsDialog(QWidget* parent = nullptr);
    ~PrefsDialog() override;

    // Fills the controls from the first manager handed over (see PrefsWindow).
    void setPrefsManager(PrefsManager* prefsManager);
    // Fills the sheet from the manager, shows it and returns once it is accepted (1) or
    // closed (0).
    int runModal();

    Ui::PrefsDialog& ui() { return *m_ui; }

private:
    static std::unique_ptr<Ui::PrefsDialog> setUpUi(QDialog* dialog);
    void wireControls();
    void connectCheckBox(QAbstractButton* box, Button& sender,
                         void (PrefsWindow::*action)(Button&));
    void linkSliderToField(QSlider* slider, QLineEdit* field);
    void chooseDefaultMap();

    std::unique_ptr<Ui::PrefsDialog> m_ui;
    QtButton m_loopByDefaultButton;
    QtButton m_quitWhenMovieFinishesButton;
    QtButton m_startupInFullScreenButton;
    QtButton m_hideMouseButton;
    QtTextField m_defaultMap;
    QtTextField m_hscreens;
    QtTextField m_vscreens;
    QtSlider m_hscreensslide;
    QtSlider m_vscreensslide;
    PrefsWindow m_prefsWindow;
};

} // namespace lumenarc
