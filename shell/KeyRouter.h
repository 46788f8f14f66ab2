#pragma once

#include "input/EditKeys.h"

#include <QObject>
#include <QPointer>
#include <QWindow>
#include <functional>
#include <vector>

class QWidget;
class QWindow;

namespace lumenarc {

// Sends the key presses of the windows that hold the video view to the view, as if it always
// had keyboard focus: the embedded GL window gets no keys of its own from the widget that holds
// it, and Tab would otherwise move focus instead of switching the readout. Menu shortcuts are
// matched before a key press is delivered, so they keep working.
class KeyRouter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(uint32_t nativeScanCode)>;

    // Offered each key first (the mesh editor's, in edit mode); true when it took the key.
    using EditHandler = std::function<bool(uint32_t nativeScanCode, EditKeys::Modifiers)>;

    explicit KeyRouter(Handler handler) : m_handler(std::move(handler)) {}
    void setEditHandler(EditHandler handler) { m_editHandler = std::move(handler); }
    void addWindow(QWidget* window) { m_windows.emplace_back(window); }
    void setVideoWindow(QWindow* window) { m_videoWindow = window; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    bool routes(QObject* receiver) const;

    Handler m_handler;
    EditHandler m_editHandler;
    std::vector<QPointer<QWidget>> m_windows;
    QPointer<QWindow> m_videoWindow;
};

} // namespace lumenarc
