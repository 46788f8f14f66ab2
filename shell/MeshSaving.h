#pragma once

#include <QObject>
#include <functional>
#include <string>

class QWidget;

namespace lumenarc {

class MeshEditSession;
class MyOpenGLView;
class QuitRequest;

// The toolkit side of saving edited meshes: the Save As sheet, the question before quitting or
// closing the window with unsaved edits (Save, Discard or Cancel), and the alert when a save
// fails. Main thread only.
class MeshSaving : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const std::string& reason)>;
    // `window` gives the window the sheets go on (the main or the full-screen window).
    MeshSaving(MeshEditSession& session, MyOpenGLView& view, QuitRequest& quit,
               std::function<QWidget*()> window)
        : m_session(session), m_view(view), m_quit(quit), m_window(std::move(window)) {}

    // Saves to the mesh's own file. Where it has none that can be written, the Save As sheet
    // comes up, or, with a report (a remote, where nobody may be at the screen), it is told why.
    bool save(const Report& report = {});
    // Asks where to save; true once saved there.
    bool saveAs();
    // Before the run ends or the window closes: true to go on. With unsaved edits it asks to
    // save them, discard them or cancel.
    bool mayClose();
    // Asks before these windows close.
    void watchWindow(QWidget* window);

    static constexpr const char* kQuestionTitle = "Unsaved Mesh Edits";
    static constexpr const char* kSheetTitle = "Save Distortion Matrix";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool saveTo(const std::string& path);

    MeshEditSession& m_session;
    MyOpenGLView& m_view;
    QuitRequest& m_quit;
    std::function<QWidget*()> m_window;
    bool m_asking = false;
};

} // namespace lumenarc
