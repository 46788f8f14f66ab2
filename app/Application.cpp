#include "app/Application.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "input/KeyMap.h"
#include "movie/Movie.h"
#include "prefs/PrefsManager.h"
#include "prefs/PrefsStore.h"
#include "remote/MprisService.h"
#include "remote/ShowControl.h"
#include "shell/VideoWindow.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

namespace lumenarc {
namespace {

// <folder of the executable>/../share/lumenarc, the shape of both the build and the installed tree.
std::string resourcePath() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/lumenarc")
        .toStdString();
}

int tagOf(const QAction* action) {
    return action->property("tag").toInt();
}

} // namespace

Application::Application(QApplication& application)
    : m_application(application), m_view(m_window.videoWindow(), resourcePath()),
      m_mpv(m_view, &VideoWindow::getProcAddress, nullptr, {}),
      m_playback(m_view,
                 [this](const std::string& path, PlaybackControl::OpenDone done) {
                     return m_sync.open(m_mpv.movieOpener(), path, std::move(done));
                 }),
      m_interaction(m_view), m_edit(m_view), m_aboutBox(&m_window), m_prefsDialog(&m_window),
      m_controller(m_window, m_view, m_playback, m_prefsDialog, m_aboutBox),
      m_meshSaving(m_edit, m_view, m_quit, [this] { return m_controller.viewWindow(); }),
      m_keys([this](uint32_t scanCode) {
          if (const auto command = KeyMap::commandFor(KeyMap::fromNativeScanCode(scanCode))) {
              m_commands.carryOut(*command);
          }
      }),
      m_playList(m_view, m_playback),
      m_commands({m_window, m_view, m_playback, m_playList, m_controller, m_interaction, m_quit,
                  m_mpv, m_edit, m_meshSaving}),
      m_drops(m_commands), m_sync(m_view, m_playback) {
    MainThread::setPoster([](MainThread::Task task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    });
    VideoWindow& surface = m_window.videoWindow();
    surface.setView(&m_view);
    surface.setQuitRequest(&m_quit);
    m_view.setProjectionMenuHook([this] {
        m_interaction.updateProjectionMenuItems();
        m_edit.meshLoaded(configFolder()); // unsaved edits of the mesh replaced are kept
        if (m_editItem) {
            m_editItem->setState(m_edit.editing() ? 1 : 0);
        }
    });
    m_interaction.setEditSession(&m_edit);
    m_quit.setGuard([this] { return m_meshSaving.mayClose(); });
    m_meshSaving.watchWindow(&m_window);
    m_keys.setEditHandler([this](uint32_t scanCode, EditKeys::Modifiers modifiers) {
        return m_edit.key(scanCode, modifiers);
    });
    connectMenus();
    connectControls();
    m_view.setControls(&m_window.playButton(), &m_window.positionSlider(), &m_window.volumeSlider(),
                       m_loopingItem.get());
    m_keys.addWindow(&m_window);
    m_keys.setVideoWindow(&surface);
    m_application.installEventFilter(&m_keys);
    m_controller.setFullScreenHook([this](QWidget* window) {
        m_keys.addWindow(window);
        m_meshSaving.watchWindow(window);
        m_drops.addTarget(window);
    });
    // The play list hears of each open first: after a failed one it moves on before the
    // controller decides whether the start found no movie.
    m_playback.setOpenHook([this](bool opened) {
        m_sync.movieOpenDidEnd(opened); // before a play list or start-up step moves the show
        m_playList.openDidEnd(opened);
        m_controller.movieOpenDidEnd(opened);
    });
    m_controller.setCommandSink([this](const Command& command) { return send(command); });
    m_view.setEndHook([this] { return m_playList.movieDidEnd(); });
    m_playList.setOpenedHook([this] {
        // Paused on its first frame: a frame or two may have played before the pause, so it
        // goes back to the start too.
        if (std::exchange(m_pauseFirstMovie, false)) {
            send(Command::of(Command::Verb::Stop));
        }
    });
    m_drops.addTarget(&m_window);
    m_drops.addTarget(&m_window.videoWindow());
}

Application::~Application() {
    // The view goes before the window that holds its surface, and that window still reports
    // its surface's end: to nobody from now on.
    m_window.videoWindow().setView(nullptr);
    m_application.removeEventFilter(&m_keys);
    MainThread::setPoster(nullptr);
}

std::string Application::configFolder() {
    return QFileInfo(QString::fromStdString(PrefsStore::getPrefsPath()))
        .absolutePath()
        .toStdString();
}

bool Application::send(const Command& command) {
    return m_commands.carryOut(command);
}

void Application::connectMenuItem(QAction* action, const Command& command) {
    // The looping item ticks itself when triggered, and the command flips looping from the
    // tick it had: undo the toolkit's tick first. (The projection items are ticked anew from
    // the type in use.)
    QObject::connect(action, &QAction::triggered, [this, action, command] {
        if (command.verb == Command::Verb::Loop && command.state == Command::State::Flip) {
            action->setChecked(!action->isChecked());
        }
        send(command);
    });
}

void Application::connectMenus() {
    auto& ui = m_window.ui();
    m_loopingItem = std::make_unique<QtMenuItem>(ui.actionLooping);
    m_gridItem = std::make_unique<QtMenuItem>(ui.actionShowDistortionMatrix);
    m_linesItem = std::make_unique<QtMenuItem>(ui.actionShowGridLines);
    addMenuItems();
    m_commands.setToggleItems(m_gridItem.get(), m_linesItem.get(), m_overlayItem.get());
    using Verb = Command::Verb;
    connectMenuItem(ui.actionOpenMovie, Command::of(Verb::OpenSheet));
    connectMenuItem(ui.actionOpenDistortionMatrix, Command::of(Verb::MeshSheet));
    connectMenuItem(ui.actionPreferences, Command::of(Verb::Preferences));
    connectMenuItem(ui.actionAbout, Command::of(Verb::About));
    connectMenuItem(ui.actionQuit, Command::of(Verb::Quit));
    m_commands.setEditItem(m_editItem.get());
    connectMenuItem(ui.actionFullScreen, Command::of(Verb::FullScreen));
    connectMenuItem(ui.actionLooping, Command::flip(Verb::Loop));
    connectMenuItem(ui.actionShowDistortionMatrix, Command::flip(Verb::Grid));
    connectMenuItem(ui.actionShowGridLines, Command::flip(Verb::Lines));
    connectMenuItem(ui.actionResetInteraction, Command::of(Verb::ResetView));
    for (QAction* size : {ui.actionActualSize, ui.actionDoubleSize}) {
        connectMenuItem(size, Command::with(Verb::Size, tagOf(size)));
    }
    const std::array<QAction*, 10> projections{ui.actionPlanar,          ui.actionFisheye,
                                               ui.actionCylindrical,     ui.actionSpherical,
                                               ui.actionCubic,           ui.actionStereoscopic,
                                               ui.actionStereoFisheye,   ui.actionStereoCylindrical,
                                               ui.actionStereoSpherical, ui.actionStereoCubic};
    std::array<MenuItem*, 10> items{};
    for (size_t k = 0; k < projections.size(); ++k) {
        m_projectionItems[k] = std::make_unique<QtMenuItem>(projections[k], tagOf(projections[k]));
        items[k] = m_projectionItems[k].get();
        // Not a switch: the projection menu sets every item's tick from the type in use.
        connectMenuItem(projections[k], Command::with(Verb::Projection, tagOf(projections[k])));
    }
    m_interaction.setProjectionMenuItems(items);
}

QAction* Application::addMenuItem(QMenu* menu, QAction* before, const char* name,
                                  const QString& text, const QKeySequence& key,
                                  const Command& command) {
    auto* action = new QAction(text, &m_window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::ApplicationShortcut); // in full screen too
    menu->insertAction(before, action);
    connectMenuItem(action, command);
    return action;
}

void Application::addMenuItems() {
    auto& ui = m_window.ui();
    using Verb = Command::Verb;
    // The movie's own shortcuts: the view's arrow keys keep stepping frames.
    ui.menuMovie->addSeparator();
    addMenuItem(ui.menuMovie, nullptr, "actionGoToStart", QStringLiteral("Go to Start"),
                QKeySequence(Qt::Key_Home), Command::with(Verb::Seek, 0));
    addMenuItem(ui.menuMovie, nullptr, "actionBack", QStringLiteral("Back 10 Seconds"),
                QKeySequence(Qt::CTRL | Qt::Key_Left), Command::with(Verb::Jump, -10));
    addMenuItem(ui.menuMovie, nullptr, "actionForward", QStringLiteral("Forward 10 Seconds"),
                QKeySequence(Qt::CTRL | Qt::Key_Right), Command::with(Verb::Jump, 10));
    ui.menuMovie->addSeparator();
    addMenuItem(ui.menuMovie, nullptr, "actionNext", QStringLiteral("Next"),
                QKeySequence(Qt::Key_PageDown), Command::of(Verb::Next));
    addMenuItem(ui.menuMovie, nullptr, "actionPrevious", QStringLiteral("Previous"),
                QKeySequence(Qt::Key_PageUp), Command::of(Verb::Previous));
    QAction* overlay =
        addMenuItem(ui.menuView, ui.actionResetInteraction, "actionOverlayBand",
                    QStringLiteral("Overlay Band"), QKeySequence(), Command::flip(Verb::Overlay));
    m_overlayItem = std::make_unique<QtMenuItem>(overlay);
    m_overlayItem->setState(1);
    // The mesh editor: its keys act only in edit mode; saving asks nothing of the movie.
    QAction* edit = addMenuItem(ui.menuView, ui.actionResetInteraction, "actionEditMesh",
                                QStringLiteral("Edit Mesh"), QKeySequence(Qt::CTRL | Qt::Key_E),
                                Command::flip(Verb::Edit));
    edit->setCheckable(true);
    m_editItem = std::make_unique<QtMenuItem>(edit);
    addMenuItem(ui.menuFile, ui.actionPreferences, "actionSaveMesh",
                QStringLiteral("Save Distortion Matrix"), QKeySequence(Qt::CTRL | Qt::Key_S),
                Command::of(Verb::Save));
    addMenuItem(ui.menuFile, ui.actionPreferences, "actionSaveMeshAs",
                QStringLiteral("Save Distortion Matrix As…"),
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), Command::of(Verb::SaveAs));
    ui.menuFile->insertSeparator(ui.actionPreferences);
}

void Application::connectControls() {
    auto& ui = m_window.ui();
    QObject::connect(ui.playButton, &QPushButton::clicked,
                     [this] { send(Command::of(Command::Verb::Toggle)); });
    // Only the user's own moves seek: positions set from the frame pump send nothing.
    QObject::connect(ui.positionSlider, &QSlider::valueChanged, [this] {
        send(Command::with(Command::Verb::Position, m_window.positionSlider().floatValue()));
    });
    m_seekSlider = std::make_unique<SeekSlider>(ui.positionSlider, [this] {
        const auto movie = m_view.currentMovie();
        return movie ? movie->duration().seconds() : 0.0;
    });
    QObject::connect(ui.volumeSlider, &QSlider::valueChanged, [this] {
        send(Command::with(Command::Verb::Volume, m_window.volumeSlider().floatValue()));
    });
    QObject::connect(m_aboutBox.okButton(), &QPushButton::clicked,
                     [this] { m_controller.acceptSheet(); });
    m_window.videoWindow().setMouseHandler(
        [this](VideoWindow::MouseAction action, float x, float y) {
            const MeshInteraction::Point point{x, y};
            if (action == VideoWindow::MouseAction::Down) {
                // Shift+click adds to the editor's selection; the press carries the modifiers.
                const bool shift = (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0;
                m_interaction.mouseDown(point, shift);
            } else if (action == VideoWindow::MouseAction::Dragged) {
                m_interaction.mouseDragged(point);
            } else {
                m_interaction.mouseUp(point);
            }
        });
    QObject::connect(&m_application, &QGuiApplication::applicationStateChanged,
                     [this](Qt::ApplicationState state) {
                         if (state != Qt::ApplicationActive) {
                             m_controller.applicationDidResignActive();
                         }
                     });
    QObject::connect(&m_application, &QCoreApplication::aboutToQuit, [this] {
        // Remotes stop first: nothing may drive the player while it ends.
        m_sync.stop();
        if (m_showControl) {
            m_showControl->stop();
        }
        m_mpris.reset();
        // Like the preferences, mesh edits nobody saved are kept, whatever ended the run.
        m_edit.keepUnsaved(configFolder());
        m_controller.applicationWillTerminate();
    });
}

bool Application::applyLaunchOptions(const LaunchOptions& options) {
    // None of these is a preference: the preferences saved at the end are the ones loaded,
    // with what the user changed in the preferences sheet.
    if (options.volume) {
        m_playback.setRunVolume(*options.volume);
        m_window.volumeSlider().setFloatValue(*options.volume);
    }
    if (options.loop) {
        send(Command::turn(Command::Verb::Loop, true));
    }
    m_view.setQuitAtEnd(options.quitAtEnd);
    m_controller.setStartupInFullScreen(options.fullScreen);
    // A follower plays what the leader plays: its own first movie never pauses the show.
    m_pauseFirstMovie = options.paused && options.syncLeaderHost.empty();
    if (!options.mesh.empty()) {
        send(Command::files(Command::Verb::Mesh, {options.mesh})); // the usual alert if bad
    }
    if (std::string why; !m_sync.start(options, why)) {
        DeveloperLog::write("lumenarc: cannot join the show: " + why);
        return false;
    }
    if (options.oscPort) {
        m_showControl = std::make_unique<ShowControl>(m_commands);
        std::string why;
        if (!m_showControl->start(options.oscBind, *options.oscPort, why)) {
            DeveloperLog::write("lumenarc: cannot listen for OSC on " + options.oscBind + " port " +
                                std::to_string(*options.oscPort) + ": " + why);
            m_showControl.reset();
            return false;
        }
    }
    return true;
}

void Application::startRemotes(const LaunchOptions&) {
    m_mpris = std::make_unique<MprisService>(m_commands);
    m_mpris->start();
}

void Application::applyShowMode(bool on) {
    m_controller.setShowMode(on);
    m_commands.setShowMode(on);
    if (on) {
        // Nobody may be at the screen: what would have been an alert is a line on standard
        // error, and the show goes on.
        m_window.videoWindow().divertAlerts([](const std::string& title, const std::string& message,
                                               const std::string& informative) {
            std::string text = message;
            std::replace(text.begin(), text.end(), '\n', ' ');
            DeveloperLog::write("lumenarc: " + title + ": " + text +
                                (informative.empty() ? "" : " (" + informative + ")"));
        });
    }
}

void Application::applySettings(const LaunchOptions& options) {
    const PrefsManager& prefs = m_controller.prefs();
    const GivenOptions& given = options.given;
    // The command line's value for this run, else the saved one.
    const auto text = [&](OptionId id) {
        return given.text(id).value_or(prefs.text(id).value_or(""));
    };
    applyShowMode(given.flag(OptionId::ShowMode) || prefs.flag(OptionId::ShowMode));
    m_view.setDrawOverlay(
        given.get<bool>(OptionId::DrawOverlay).value_or(prefs.flag(OptionId::DrawOverlay)));
    m_overlayItem->setState(m_view.drawOverlay() ? 1 : 0);
    m_controller.setScreen(text(OptionId::Screen));
    m_mpv.setAudioDevice(text(OptionId::AudioDevice));
    const float delay =
        given.get<float>(OptionId::AudioDelay).value_or(prefs.number(OptionId::AudioDelay));
    if (std::string why; !m_mpv.setAudioDelay(delay, &why)) {
        DeveloperLog::write("lumenarc: " + why); // a hand-edited file; the sound keeps its time
    }
}

Application::Launch Application::launch(const LaunchOptions& options) {
    // The controller wakes first: the view's own wake-up reads the preferences it was handed.
    m_controller.awakeFromNib();
    m_controller.setSyncRole(options.syncLeadPort.has_value() || !options.syncLeaderHost.empty());
    applySettings(options);
    m_view.awakeFromNib();
    if (!applyLaunchOptions(options)) {
        return Launch::Failed;
    }
    // An alert above may have run an event loop of its own, in which a quit was asked for.
    if (m_quit.requested()) {
        return Launch::Quit;
    }
    m_view.startRendering();
    m_controller.openOnChosenScreen();
    m_window.show();
    m_window.focusVideo(); // the view takes keyboard focus, so that the playback keys reach it
    if (!options.files.empty()) {
        send(Command::files(Command::Verb::Open, options.files));
        if (m_quit.requested()) {
            return Launch::Quit;
        }
    }
    startRemotes(options);
    m_controller.applicationDidFinishLaunching();
    return m_quit.requested() ? Launch::Quit : Launch::Running;
}

int Application::run(const LaunchOptions& options) {
    const Launch launched = launch(options);
    QApplication::setQuitOnLastWindowClosed(
        m_controller.applicationShouldTerminateAfterLastWindowClosed());
    if (launched != Launch::Running) {
        // The event loop never ran, so nothing announces the end: end in order here.
        m_sync.stop();
        if (m_showControl) {
            m_showControl->stop();
        }
        m_mpris.reset();
        m_controller.applicationWillTerminate();
        return launched == Launch::Failed ? 1 : 0;
    }
    return QApplication::exec();
}

} // namespace lumenarc
