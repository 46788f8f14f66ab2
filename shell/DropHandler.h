#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <string>
#include <vector>

class QWidget;

namespace lumenarc {

class PlayerCommands;

// Files dropped on the player's windows: movies open (several make a play list), and a .data
// file loads as the mesh. Only existing regular files on this machine are taken.
class DropHandler : public QObject {
    Q_OBJECT
public:
    struct Drop {
        std::vector<std::string> movies;
        std::string mesh; // "" when none was dropped
        bool empty() const { return movies.empty() && mesh.empty(); }
    };

    explicit DropHandler(PlayerCommands& commands) : m_commands(commands) {}
    // Takes drops on this window from now on: a widget's window, or the video view's own native
    // window, which the drag reaches directly where it shows.
    void addTarget(QObject* target);
    // What a drop of these addresses would do. Pure but for looking at the files.
    static Drop classify(const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    void carryOut(const Drop& drop);

    PlayerCommands& m_commands;
};

} // namespace lumenarc
