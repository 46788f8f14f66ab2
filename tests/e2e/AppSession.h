#pragma once

#include "support/BackgroundProcess.h"
#include "support/TempDir.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc::test {

// The real player on a private X server, with its home and configuration folders in a
// temporary folder so that no test touches the real ones.
class AppSession {
public:
    explicit AppSession(int screenWidth = 1280, int screenHeight = 1024, int secondWidth = 0,
                        int secondHeight = 0);

    bool ok() const { return m_xvfb.ok(); }
    XvfbServer& x() { return m_xvfb; }
    const TempDir& home() const { return m_home; }
    std::string configFolder() const { return (m_home.path() / ".config").string(); }

    // Starts `program` (default: the built player) with the arguments, and `extraEnv` added to
    // the session's environment.
    void start(const std::vector<std::string>& args = {}, const std::string& program = "",
               const std::map<std::string, std::string>& extraEnv = {});
    BackgroundProcess& process() { return *m_process; }
    // The player's main window id, once it shows ("" on a timeout). Its title is "Lumenarc",
    // or the movie's name once one plays.
    std::string waitForMainWindow(const std::string& title = "Lumenarc",
                                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Geometry of a window: x, y, width, height on the screen.
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Rect geometry(const std::string& window);
    // The view's own area on the screen (its native window), or an empty rectangle.
    Rect viewArea(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The view's pixels (RGB rows, top first) from a screenshot.
    std::vector<uint8_t> viewPixels(const Rect& area);
    // Takes screenshots of the view until `wanted` holds for its pixels (or the time is up);
    // returns the last pixels taken.
    std::vector<uint8_t> waitForView(const Rect& area,
                                     const std::function<bool(const std::vector<uint8_t>&)>& wanted,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(8));
    // The view's area once a picture shows in it: its centre lit, and its place and size the
    // same in two looks in a row (the window is fitted to the movie once it has loaded). An
    // empty rectangle on a timeout.
    Rect waitForPicture(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Takes screenshots until three in a row, frames apart, are the same: the picture has
    // stopped changing (a paused movie's last frame is on the screen). Returns the last pixels
    // taken, still changing ones on a timeout.
    std::vector<uint8_t> waitForStill(const Rect& area,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Whether every screenshot taken over `span` shows `pixels`: that nothing moves. False at
    // the first that differs, and for no pixels.
    bool staysAs(const Rect& area, const std::vector<uint8_t>& pixels,
                 std::chrono::milliseconds span);
    // A real key press (XTEST) with `window` focused, e.g. "space", "ctrl+g".
    void key(const std::string& window, const std::string& keys);
    // Waits until the process wrote `text` on its standard error.
    bool waitForLog(const std::string& text, std::chrono::milliseconds timeout);
    std::map<std::string, std::string> environment() const;

private:
    XvfbServer m_xvfb;
    TempDir m_home;
    std::unique_ptr<BackgroundProcess> m_process;
};

} // namespace lumenarc::test
