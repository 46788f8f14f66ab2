#include "SyncPlayers.h"

#include "support/RunProcess.h"
#include "sync/FrameCodeReader.h"

#include <ctime>
#include <thread>

namespace lumenarc::test {

double SyncPlayers::wallClock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A window of the process with the name (a regular expression), or "" once the process has
// ended; windows of the same title from other players are told apart by their process id
// (with --all: xdotool otherwise takes windows that meet any one condition).
std::string SyncPlayers::windowOf(BackgroundProcess& process, const std::string& name,
                                  std::chrono::milliseconds timeout) {
    const int pid = process.pid();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && process.running()) {
        const auto found = x().run({"/usr/bin/xdotool", "search", "--all", "--onlyvisible", "--pid",
                                    std::to_string(pid), "--name", name});
        if (!found.empty()) {
            return found.substr(0, found.find('\n'));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// The window is fitted to the movie once it has loaded: its geometry once it has kept it
// for half a second.
AppSession::Rect SyncPlayers::settledGeometry(const std::string& window) {
    AppSession::Rect last = m_app.geometry(window);
    int steady = 0;
    for (int i = 0; i < 50 && steady < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = m_app.geometry(window);
        steady = now.x == last.x && now.y == last.y && now.width == last.width &&
                         now.height == last.height
                     ? steady + 1
                     : 0;
        last = now;
    }
    return last;
}

bool SyncPlayers::start(const std::string& name, const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env, const std::string& title,
                        int x, int y) {
    // A poor network asked for is the test build's player.
    const bool lossy =
        env.count("LUMENARC_SYNC_TEST_DROP") || env.count("LUMENARC_SYNC_TEST_DELAY_MS");
    std::vector<std::string> argv{binPath(lossy ? "lumenarc-lossy" : "lumenarc")};
    argv.insert(argv.end(), args.begin(), args.end());
    auto environment = m_app.environment();
    for (const auto& [key, value] : env) {
        environment[key] = value;
    }
    auto& player = m_players[name];
    player = Player{std::make_unique<BackgroundProcess>(argv, environment), "", {}};
    if (title.empty()) {
        return true;
    }
    player.window = windowOf(*player.process, "^" + title + "$", std::chrono::seconds(30));
    if (player.window.empty()) {
        return false;
    }
    settledGeometry(player.window);
    // Small windows: three players share this machine's processors, where a show gives each
    // its own machine.
    this->x().run({"/usr/bin/xdotool", "windowsize", "--sync", player.window,
                   std::to_string(kWindowWidth), std::to_string(kWindowHeight)});
    this->x().run({"/usr/bin/xdotool", "windowmove", "--sync", player.window, std::to_string(x),
                   std::to_string(y)});
    const auto view = windowOf(*player.process, "^Lumenarc View$", std::chrono::seconds(10));
    if (view.empty()) {
        return false;
    }
    player.view = settledGeometry(view);
    return player.view.width > 0 && player.view.height > 0;
}

SyncPlayers::Reading SyncPlayers::readFrames(const std::vector<std::string>& names) {
    Reading reading;
    reading.wallBefore = wallClock();
    const auto shot = x().screenshot(home().path().string());
    reading.wallAfter = wallClock();
    for (const auto& name : names) {
        const auto& view = m_players.at(name).view;
        const bool inside = shot.width > 0 && view.x >= 0 && view.y >= 0 &&
                            view.x + view.width <= shot.width &&
                            view.y + view.height <= shot.height;
        reading.frames[name] = inside ? FrameCodeReader({shot.rgba.data(), shot.width * 4, 4,
                                                         view.x, view.y, view.width, view.height})
                                            .frame()
                                      : std::nullopt;
    }
    return reading;
}

} // namespace lumenarc::test
