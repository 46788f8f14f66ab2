#include "shell/PrefsDialog.h"

#include "ui_PrefsDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSignalBlocker>
#include <optional>

namespace lumenarc {

namespace {

// The slider position for a screen-count field's text: only a whole number within the
// slider's range moves it; anything else leaves the slider where it is.
std::optional<int> sliderPositionFor(const QString& text, const QSlider& slider) {
    bool isNumber = false;
    const int value = text.trimmed().toInt(&isNumber);
    if (!isNumber || value < slider.minimum() || value > slider.maximum()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

PrefsDialog::PrefsDialog(QWidget* parent)
    : QDialog(parent), m_ui(setUpUi(this)), m_loopByDefaultButton(m_ui->loopByDefaultButton),
      m_quitWhenMovieFinishesButton(m_ui->quitWhenMovieFinishesButton),
      m_startupInFullScreenButton(m_ui->startupInFullScreenButton),
      m_hideMouseButton(m_ui->hideMouseButton), m_defaultMap(m_ui->defaultMap),
      m_hscreens(m_ui->hscreens), m_vscreens(m_ui->vscreens),
      m_hscreensslide(m_ui->hscreensslide, 1), m_vscreensslide(m_ui->vscreensslide, 1),
      m_prefsWindow([this](int code) { done(code); }) {
    setWindowModality(Qt::WindowModal);
    wireControls();
}

PrefsDialog::~PrefsDialog() = default;

std::unique_ptr<Ui::PrefsDialog> PrefsDialog::setUpUi(QDialog* dialog) {
    auto ui = std::make_unique<Ui::PrefsDialog>();
    ui->setupUi(dialog);
    return ui;
}

void PrefsDialog::wireControls() {
    m_prefsWindow.setControls({
        .loopByDefaultButton = &m_loopByDefaultButton,
        .quitWhenMovieFinishesButton = &m_quitWhenMovieFinishesButton,
        .startupInFullScreenButton = &m_startupInFullScreenButton,
        .defaultMap = &m_defaultMap,
        .hscreens = &m_hscreens,
        .vscreens = &m_vscreens,
        .hscreensslide = &m_hscreensslide,
        .vscreensslide = &m_vscreensslide,
        .hideMouseButton = &m_hideMouseButton,
    });
    connectCheckBox(m_ui->loopByDefaultButton, m_loopByDefaultButton,
                    &PrefsWindow::setLoopByDefault);
    connectCheckBox(m_ui->quitWhenMovieFinishesButton, m_quitWhenMovieFinishesButton,
                    &PrefsWindow::setQuitWhenMovieFinishes);
    connectCheckBox(m_ui->startupInFullScreenButton, m_startupInFullScreenButton,
                    &PrefsWindow::setStartupInFullScreen);
    connectCheckBox(m_ui->hideMouseButton, m_hideMouseButton, &PrefsWindow::setHideMouse);
    linkSliderToField(m_ui->hscreensslide, m_ui->hscreens);
    linkSliderToField(m_ui->vscreensslide, m_ui->vscreens);
    connect(m_ui->chooseDefaultMapButton, &QPushButton::clicked, this,
            &PrefsDialog::chooseDefaultMap);
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { m_prefsWindow.acceptSheet(); });
}

void PrefsDialog::connectCheckBox(QAbstractButton* box, Button& sender,
                                  void (PrefsWindow::*action)(Button&)) {
    // clicked, not toggled: a state set from code is not the user's click.
    connect(box, &QAbstractButton::clicked, this,
            [this, &sender, action] { (m_prefsWindow.*action)(sender); });
}

void PrefsDialog::linkSliderToField(QSlider* slider, QLineEdit* field) {
    connect(slider, &QSlider::valueChanged, field,
            [field](int value) { field->setText(QString::number(value)); });
    connect(field, &QLineEdit::textChanged, slider, [slider](const QString& text) {
        if (const auto position = sliderPositionFor(text, *slider)) {
            const QSignalBlocker quiet(slider); // the field already shows the value
            slider->setValue(*position);
        }
    });
}

void PrefsDialog::chooseDefaultMap() {
    const QString current = m_ui->defaultMap->text();
    const QString folder = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    auto* chooser = new QFileDialog(this, tr("Choose the default distortion matrix"), folder,
                                    QStringLiteral("*.data"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setFileMode(QFileDialog::ExistingFile);
    // Only the field is filled: the path is stored on OK, as if it had been typed.
    connect(chooser, &QFileDialog::fileSelected, m_ui->defaultMap, &QLineEdit::setText);
    chooser->open();
}

void PrefsDialog::setPrefsManager(PrefsManager* prefsManager) {
    m_prefsWindow.setPrefsManager(prefsManager);
}

int PrefsDialog::runModal() {
    m_prefsWindow.sheetWillOpen();
    return exec();
}

} // namespace lumenarc
