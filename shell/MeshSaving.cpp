#include "shell/MeshSaving.h"

#include "base/MainThread.h"
#include "input/MeshEditSession.h"
#include "shell/QuitRequest.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>
#include <utility>

namespace lumenarc {

bool MeshSaving::save(const Report& report) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_session.canSaveInPlace()) {
        return saveTo(m_session.meshPath());
    }
    if (report) {
        report(m_session.meshPath().empty()
                   ? "the mesh has no file of its own: save it under a name at the screen"
                   : "cannot write " + m_session.meshPath());
        return false;
    }
    return saveAs();
}

bool MeshSaving::saveAs() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const QString current = QString::fromStdString(m_session.meshPath());
    QFileDialog sheet(m_window(), QString::fromLatin1(kSheetTitle),
                      current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
                      QStringLiteral("Distortion matrices (*.data);;All files (*)"));
    sheet.setAcceptMode(QFileDialog::AcceptSave);
    sheet.setFileMode(QFileDialog::AnyFile);
    sheet.setOption(QFileDialog::DontUseNativeDialog);
    sheet.setDefaultSuffix(QStringLiteral("data"));
    if (!current.isEmpty()) {
        sheet.selectFile(QFileInfo(current).fileName());
    }
    if (sheet.exec() != QDialog::Accepted || sheet.selectedFiles().isEmpty()) {
        return false;
    }
    return saveTo(sheet.selectedFiles().first().toStdString());
}

bool MeshSaving::saveTo(const std::string& path) {
    std::string why;
    if (m_session.saveTo(path, why)) {
        return true;
    }
    m_view.host().runAlert("Save error", "The distortion matrix could not be saved\n" + why, path);
    return false;
}

bool MeshSaving::mayClose() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_session.modified() || m_quit.requested()) {
        return true; // a quit under way without asking (a signal) keeps the edits itself
    }
    if (m_asking) {
        return false; // the question is up already
    }
    m_asking = true;
    QMessageBox question(QMessageBox::Question, QString::fromLatin1(kQuestionTitle),
                         QStringLiteral("The distortion matrix has edits that are not saved."),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                         m_window());
    question.setInformativeText(QString::fromStdString(m_session.meshPath()));
    question.setDefaultButton(QMessageBox::Save);
    question.setEscapeButton(QMessageBox::Cancel);
    const int answer = question.exec();
    m_asking = false;
    if (m_quit.requested()) {
        return false; // a signal came meanwhile: that quit keeps the edits
    }
    if (answer == QMessageBox::Discard) {
        m_session.discard();
        return true;
    }
    return answer == QMessageBox::Save && save();
}

void MeshSaving::watchWindow(QWidget* window) {
    window->installEventFilter(this);
}

bool MeshSaving::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && !mayClose()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lumenarc
