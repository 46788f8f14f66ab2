#include "shell/QuitRequest.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace lumenarc {

void QuitRequest::request() {
    if (!m_requested && m_mayQuit && !m_mayQuit()) {
        return;
    }
    requestWithoutAsking();
}

void QuitRequest::requestWithoutAsking() {
    m_requested = true;
    closeModalWindows();
    // Ends the event loop and every loop running inside it. Before the event loop runs this
    // does nothing; the start-up then sees the flag.
    QCoreApplication::quit();
}

void QuitRequest::closeModalWindows() {
    // Each closes in its own way: a dialog ends its modal loop, an alert or sheet returns to its
    // caller. One that refuses to go would stop the loop: there are never many.
    for (int k = 0; k < 16; ++k) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal && modal->isVisible()) {
            modal->hide();
        }
    }
}

} // namespace lumenarc
