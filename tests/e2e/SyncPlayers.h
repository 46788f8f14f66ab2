#pragma once

#include "AppSession.h"
#include "support/BackgroundProcess.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc::test {

// Several real players side by side on one private X screen, sharing a home folder, each
// started with its own arguments and environment. Each one's window is placed where asked, so
// that one screenshot shows them all.
class SyncPlayers {
public:
    SyncPlayers(int screenWidth, int screenHeight) : m_app(screenWidth, screenHeight) {}

    bool ok() const { return m_app.ok(); }
    XvfbServer& x() { return m_app.x(); }
    const TempDir& home() const { return m_app.home(); }

    struct Player {
        std::unique_ptr<BackgroundProcess> process;
        std::string window; // the main window, "" until it shows
        AppSession::Rect view;
    };

    // The size each player's window is given.
    static constexpr int kWindowWidth = 600, kWindowHeight = 440;

    // Starts a player with the arguments and extra environment; when `title` is given, waits
    // for its window of that title, gives it the size above, moves it to x, y and measures its
    // view. Returns false when
    // the window did not show, or its view was not found.
    bool start(const std::string& name, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, const std::string& title = "",
               int x = 0, int y = 0);
    Player& operator[](const std::string& name) { return m_players.at(name); }
    bool has(const std::string& name) const { return m_players.count(name) != 0; }
    // Waits until the named player shows a window of this title (a regular expression).
    bool showsWindow(const std::string& name, const std::string& title,
                     std::chrono::milliseconds timeout) {
        return !windowOf(*m_players.at(name).process, title, timeout).empty();
    }

    // The frame number each named player's view shows in one screenshot (nothing where it
    // cannot be read). The screenshot is taken between the two wall-clock times returned.
    struct Reading {
        double wallBefore = 0, wallAfter = 0;
        std::map<std::string, std::optional<int>> frames;
    };
    Reading readFrames(const std::vector<std::string>& names);

    // Seconds on CLOCK_REALTIME, the clock of the sync logs.
    static double wallClock();

private:
    std::string windowOf(BackgroundProcess& process, const std::string& name,
                         std::chrono::milliseconds timeout);
    AppSession::Rect settledGeometry(const std::string& window);

    AppSession m_app;
    std::map<std::string, Player> m_players;
};

} // namespace lumenarc::test
