#include "shell/PlayerCommands.h"

#include "base/MainThread.h"
#include "input/MeshEditSession.h"
#include "input/MeshInteraction.h"
#include "mesh/ProjectionType.h"
#include "movie/Movie.h"
#include "playback/MpvPlayback.h"
#include "playback/PlaybackControl.h"
#include "shell/MainWindow.h"
#include "shell/MeshSaving.h"
#include "shell/MyController.h"
#include "shell/PlayListControl.h"
#include "shell/QuitRequest.h"
#include "shell/VideoWindow.h"
#include "ui/MenuItem.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace lumenarc {
bool PlayerCommands::carryOut(const Command& command, Report report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    using Verb = Command::Verb;
    MyOpenGLView& view = m_parts.view;
    switch (command.verb) {
    case Verb::Grid:
        if (!command.switches(view.showDistortionMatrix()) || m_gridItem == nullptr) {
            return false;
        }
        m_parts.interaction.toggleDistortionMatrix(*m_gridItem);
        return true;
    case Verb::Lines:
        if (!command.switches(view.showGridLines()) || m_linesItem == nullptr) {
            return false;
        }
        m_parts.interaction.toggleMeshLines(*m_linesItem);
        return true;
    case Verb::Overlay:
        if (!command.switches(view.drawOverlay())) {
            return false;
        }
        view.setDrawOverlay(!view.drawOverlay());
        if (m_overlayItem != nullptr) {
            m_overlayItem->setState(view.drawOverlay() ? 1 : 0);
        }
        MeshInteraction::redrawIfStill(view);
        return true;
    case Verb::Projection: {
        const auto code = static_cast<int32_t>(command.number);
        if (!(std::abs(command.number) < 1e9) || !ProjectionType::isValid(code)) {
            return false; // a code the projection menu does not have
        }
        m_parts.interaction.overrideProjectionType(code);
        return true;
    }
    case Verb::AudioDelay: {
        std::string why;
        if (!m_parts.sound.setAudioDelay(command.number, &why)) {
            if (report) {
                report(why);
            }
            return false;
        }
        return true;
    }
    case Verb::ResetView:
        m_parts.interaction.resetInteraction();
        return true;
    case Verb::Edit:
        return switchEditing(command);
    case Verb::Save:
        return m_parts.saving.save(report);
    case Verb::SaveAs:
        return !report && m_parts.saving.saveAs(); // a sheet only for somebody at the screen
    case Verb::Size:
        return m_parts.interaction.setWindowSize(static_cast<int>(command.number));
    case Verb::Open:
        if (command.paths.empty()) {
            return false;
        }
        m_parts.playList.openFiles(command.paths, std::move(report));
        return true;
    case Verb::Mesh:
        return !command.paths.empty() && openMesh(command.paths.front(), report);
    case Verb::OpenSheet:
        m_parts.controller.open();
        return true;
    case Verb::MeshSheet:
        m_parts.controller.openDistortionMatrix();
        return true;
    case Verb::Next:
        m_parts.playList.next(std::move(report));
        return true;
    case Verb::Previous:
        m_parts.playList.previous(std::move(report));
        return true;
    case Verb::FullScreen:
        // Already there, or on the way (the window being built runs the event loop).
        if (m_parts.controller.isFullScreen()) {
            return false;
        }
        m_parts.controller.goFullScreen();
        return true;
    case Verb::Raise:
        raise();
        return true;
    case Verb::Preferences:
        m_parts.controller.showPrefsWindow();
        return true;
    case Verb::About:
        m_parts.controller.showAboutBox();
        return true;
    case Verb::Quit:
        m_parts.quit.request();          // preferences saved, then the view cleaned up
        return m_parts.quit.requested(); // false: cancelled over unsaved mesh edits
    default:
        return m_parts.playback.carryOut(command);
    }
}

bool PlayerCommands::openMesh(const std::string& path, const Report& report) {
    bool loaded = false;
    const bool keepPlaying = m_showMode || report;
    if (!report) {
        loaded = m_parts.view.loadDistortionMatrix(path, keepPlaying); // a bad file: its alert
    } else {
        VideoWindow& surface = m_parts.window.videoWindow();
        auto before = surface.divertAlerts([&report](const std::string& title,
                                                     const std::string& message,
                                                     const std::string& informative) {
            report(title + ": " + message + (informative.empty() ? "" : " (" + informative + ")"));
        });
        loaded = m_parts.view.loadDistortionMatrix(path, keepPlaying);
        surface.divertAlerts(std::move(before));
    }
    // When the load stopped the movie, no frame comes to show the mesh: draw it now.
    m_parts.view.setNeedsDisplay();
    return loaded;
}

bool PlayerCommands::switchEditing(const Command& command) {
    MeshEditSession& edit = m_parts.edit;
    if (!command.switches(edit.editing())) {
        return false;
    }
    const bool wanted = !edit.editing();
    edit.setEditing(wanted);
    if (m_editItem != nullptr) {
        m_editItem->setState(edit.editing() ? 1 : 0);
    }
    return edit.editing() == wanted; // false: no mesh to edit
}

void PlayerCommands::raise() {
    QWidget* window = m_parts.controller.viewWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

PlayerCommands::Status PlayerCommands::status() const {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    Status status;
    status.looping = m_parts.view.looping();
    status.volume = m_parts.window.volumeSlider().floatValue();
    status.hasNext = m_parts.playList.list().hasNext();
    status.hasPrevious = m_parts.playList.list().hasPrevious();
    status.openCount = m_parts.playList.openCount();
    status.fullScreen = m_parts.controller.isFullScreen();
    const auto movie = m_parts.view.currentMovie();
    if (!movie) {
        return status;
    }
    status.hasMovie = true;
    status.path = m_parts.playback.moviePath(); // also when the show's leader opened it
    status.title = movie->displayName();
    status.position = movie->currentTime().seconds();
    status.duration = movie->duration().seconds();
    status.rate = movie->rate();
    return status;
}

} // namespace lumenarc
