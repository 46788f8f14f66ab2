#include "shell/MyController.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "movie/Movie.h"
#include "playback/MpvMovie.h"
#include "playback/PlaybackControl.h"
#include "prefs/PrefsManager.h"
#include "prefs/PrefsStore.h"
#include "shell/AboutBox.h"
#include "shell/FullScreenGeometry.h"
#include "shell/MainWindow.h"
#include "shell/NSFullScreenWindow.h"
#include "shell/PrefsDialog.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace lumenarc {
namespace {

QString movieFilter() {
    QStringList patterns;
    for (const auto& type : MpvMovie::movieUnfilteredFileTypes()) {
        patterns << QStringLiteral("*.") + QString::fromStdString(type);
    }
    return QStringLiteral("Movies (%1)").arg(patterns.join(' '));
}

// A window-modal open sheet on `parent`, showing `folder` first (the last one used when empty);
// `done` runs with the result code and the chosen files.
void beginOpenSheet(QWidget* parent, const QString& title, const QString& folder,
                    const QString& filter, std::function<void(int, const QStringList&)> done,
                    QFileDialog::FileMode mode = QFileDialog::ExistingFile) {
    auto* sheet = new QFileDialog(parent, title, folder, filter);
    sheet->setFileMode(mode);
    sheet->setAcceptMode(QFileDialog::AcceptOpen);
    sheet->setOption(QFileDialog::DontUseNativeDialog);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(
        sheet, &QFileDialog::finished, sheet,
        [sheet, done = std::move(done)](int code) { done(code, sheet->selectedFiles()); });
    sheet->open();
}

} // namespace

MyController::MyController(MainWindow& window, MyOpenGLView& view, PlaybackControl& playback,
                           PrefsDialog& prefsWindow, AboutBox& aboutBox)
    : myGLView(view), m_mainWindow(window), m_aboutBox(aboutBox), m_prefsWindow(prefsWindow),
      m_playback(playback) {}

MyController::~MyController() = default;

void MyController::awakeFromNib() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    loadPrefs();
    fullScreen = false;
    m_prefsWindow.setPrefsManager(m_prefsManager.get());
    m_playback.setPrefsManager(m_prefsManager.get());
}

void MyController::applicationDidFinishLaunching() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_prefsManager->hideMouse()) {
        hideMouse = true;
    }
    if (m_playback.isOpening()) {
        m_launchOpenPending = true; // decided when the movie has opened, or failed to
        return;
    }
    if (!myGLView.currentMovie()) {
        open();
    }
    // The open sheet above does not wait: a start without a movie stays windowed.
    if (startupInFullScreen() && myGLView.currentMovie()) {
        send(Command::of(Command::Verb::FullScreen));
    }
}

void MyController::movieOpenDidEnd(bool opened) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_launchOpenPending || m_playback.isOpening()) {
        return;
    }
    m_launchOpenPending = false;
    if (!opened && !myGLView.currentMovie()) {
        open();
    }
    if (startupInFullScreen() && myGLView.currentMovie()) {
        send(Command::of(Command::Verb::FullScreen));
    }
}

void MyController::send(const Command& command) {
    if (m_commands) {
        m_commands(command);
    }
}

bool MyController::startupInFullScreen() const {
    return m_startupInFullScreen || m_prefsManager->startupInFullScreen();
}

void MyController::applicationWillTerminate() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_terminated) {
        return;
    }
    m_terminated = true;
    m_playback.cancelOpen();
    savePrefs();
    myGLView.cleanUp();
}

void MyController::applicationDidResignActive() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto movie = myGLView.currentMovie();
    if (movie && movie->rate() > 0.0f) {
        send(Command::of(Command::Verb::Pause));
    }
}

QWidget* MyController::viewWindow() const {
    return fullScreen && mainWindow ? static_cast<QWidget*>(mainWindow.get()) : &m_mainWindow;
}

void MyController::open() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    myGLView.stopDisplayLink(); // no frame is drawn while the sheet is up
    // Several files chosen play in order.
    beginOpenSheet(
        viewWindow(), QStringLiteral("Open Movie"), QString(), movieFilter(),
        [this](int code, const QStringList& files) { openPanelDidEnd(code, files); },
        QFileDialog::ExistingFiles);
}

void MyController::openPanelDidEnd(int returnCode, const QStringList& files) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (returnCode != 0 && !files.isEmpty()) {
        std::vector<std::string> paths;
        for (const QString& file : files) {
            paths.push_back(file.toStdString());
        }
        send(Command::files(Command::Verb::Open, std::move(paths)));
    }
    myGLView.startDisplayLink(); // in every case, chosen or not, running before or not
}

void MyController::openDistortionMatrix() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // The sample meshes are where a new user starts.
    beginOpenSheet(viewWindow(), QStringLiteral("Open Distortion Matrix"),
                   QString::fromStdString(myGLView.resourcePath() + "/meshes"),
                   QStringLiteral("Distortion matrices (*.data)"),
                   [this](int code, const QStringList& files) {
                       openDistortionMatrixPanelDidEnd(code, files);
                   });
}

void MyController::openDistortionMatrixPanelDidEnd(int returnCode, const QStringList& files) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (returnCode != 0 && !files.isEmpty()) {
        send(Command::files(Command::Verb::Mesh, {files.first().toStdString()}));
    }
}

void MyController::showAboutBox() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_aboutBox.setParent(&m_mainWindow, m_aboutBox.windowFlags());
    m_aboutBox.exec();
    m_aboutBox.hide();
}

void MyController::showPrefsWindow() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_prefsWindow.runModal();
}

void MyController::acceptSheet() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        sheet->done(1);
    }
}

void MyController::goFullScreen() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // Marked before anything runs the event loop: a request that comes meanwhile (the key
    // repeating, OSC, MPRIS) finds the player on its way and leaves the window being built be.
    fullScreen = true;
    const auto rect = fullScreenRect();
    mainWindow = std::make_unique<NSFullScreenWindow>();
    mainWindow->setGeometry(static_cast<int>(rect.x), static_cast<int>(rect.y),
                            static_cast<int>(rect.width), static_cast<int>(rect.height));
    myGLView.moveSurface([this] {
        mainWindow->takeView(m_mainWindow.takeVideo());
        mainWindow->show();
        // The toolkit finishes the move in its event loop; let it, before frames resume.
        QCoreApplication::processEvents();
    });
    mainWindow->raise();
    mainWindow->activateWindow();
    m_mainWindow.focusVideo();
    if (m_fullScreenHook) {
        m_fullScreenHook(mainWindow.get());
    }
    if (hideMouse) {
        startMouseHideTimer();
    }
}

FullScreenGeometry::Rect MyController::fullScreenRect() const {
    const auto toRect = [](const QRect& r) {
        return FullScreenGeometry::Rect{static_cast<float>(r.x()), static_cast<float>(r.y()),
                                        static_cast<float>(r.width()),
                                        static_cast<float>(r.height())};
    };
    std::vector<FullScreenGeometry::Rect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.push_back(toRect(screen->geometry()));
    }
    const int vscreens = m_prefsManager->vscreens();
    const auto placement =
        FullScreenGeometry::place(toRect(QGuiApplication::primaryScreen()->geometry()), screens,
                                  m_prefsManager->hscreens(), vscreens);
    const auto& rect = placement.rect;
    if (placement.cut) {
        DeveloperLog::write("lumenarc: full screen: vscreens " + std::to_string(vscreens) +
                            " reaches where there is no screen; the window covers " +
                            std::to_string(static_cast<int>(rect.width)) + "x" +
                            std::to_string(static_cast<int>(rect.height)) + " at " +
                            std::to_string(static_cast<int>(rect.x)) + "," +
                            std::to_string(static_cast<int>(rect.y)));
    }
    return rect;
}

void MyController::startMouseHideTimer() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (mouseHideTimer) {
        return;
    }
    mouseHideTimer = new QTimer(this);
    mouseHideTimer->setSingleShot(true);
    connect(mouseHideTimer, &QTimer::timeout, this, &MyController::doHideMouse);
    mouseHideTimer->start(2000);
}

void MyController::doHideMouse() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (mouseHideTimer) {
        mouseHideTimer->deleteLater();
    }
    mouseHideTimer = nullptr;
    m_pointer.hide(); // for the rest of the run, but for the times a sheet or an alert is up
}

void MyController::modalChanged(bool modalUp) {
    m_pointer.setModalUp(modalUp);
    // Closing a sheet hands the keyboard back to the full-screen window, so that the shortcuts
    // work at once: nothing else would make that borderless window active again.
    if (!modalUp && fullScreen && mainWindow) {
        mainWindow->raise();
        mainWindow->activateWindow();
        m_mainWindow.focusVideo();
    }
}

void MyController::loadPrefs() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_prefsManager = PrefsStore::loadPrefs(PrefsStore::getPrefsPath());
}

void MyController::savePrefs() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_prefsManager) {
        PrefsStore::savePrefs(*m_prefsManager, PrefsStore::getPrefsPath());
    }
}

} // namespace lumenarc
