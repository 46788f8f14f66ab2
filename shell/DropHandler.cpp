#include "shell/DropHandler.h"

#include "shell/PlayerCommands.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace lumenarc {

void DropHandler::addTarget(QObject* target) {
    if (auto* widget = qobject_cast<QWidget*>(target)) {
        widget->setAcceptDrops(true);
    }
    target->installEventFilter(this);
}

DropHandler::Drop DropHandler::classify(const QList<QUrl>& urls) {
    Drop drop;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QFileInfo file(url.toLocalFile());
        if (!file.isFile()) {
            continue;
        }
        const std::string path = file.absoluteFilePath().toStdString();
        if (file.suffix().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
            drop.mesh = path; // of several meshes, the last one dropped stays
        } else {
            drop.movies.push_back(path);
        }
    }
    return drop;
}

bool DropHandler::eventFilter(QObject* receiver, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData()->hasUrls() && !classify(drag->mimeData()->urls()).empty()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const Drop what = classify(drop->mimeData()->urls());
        if (what.empty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // Carried out after the drop has ended: opening may show an alert, which should not
        // run inside the drag's own event handling.
        QTimer::singleShot(0, this, [this, what] { carryOut(what); });
        return true;
    }
    default:
        return QObject::eventFilter(receiver, event);
    }
}

void DropHandler::carryOut(const Drop& drop) {
    if (!drop.mesh.empty()) {
        m_commands.carryOut(Command::files(Command::Verb::Mesh, {drop.mesh}));
    }
    if (!drop.movies.empty()) {
        m_commands.carryOut(Command::files(Command::Verb::Open, drop.movies));
    }
}

} // namespace lumenarc
