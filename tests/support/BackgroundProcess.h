#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace lumenarc::test {

// A program running beside the test, its output collected into files. Killed on destruction.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& env);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool running();
    int pid() const { return m_pid; }
    void signal(int signalNumber);
    // Waits for the exit; returns its status, or -1 on a timeout or an abnormal end.
    int wait(std::chrono::milliseconds timeout);
    std::string output() const; // standard output so far
    std::string errors() const; // standard error so far

private:
    int m_pid = -1;
    int m_status = -1;
    bool m_exited = false;
    std::string m_outPath;
    std::string m_errPath;
};

// A private X server (Xvfb) for tests that drive real windows.
class XvfbServer {
public:
    // With a second size, a second screen of the display (":N.1"), as a machine with a
    // separate output for the show has.
    XvfbServer(int width, int height, int secondWidth = 0, int secondHeight = 0);
    ~XvfbServer();
    bool ok() const { return !m_display.empty(); }
    const std::string& display() const { return m_display; }
    // The environment for a program on this display.
    std::map<std::string, std::string> environment() const;
    // Runs a command on this display and returns its standard output ("" on failure).
    std::string run(const std::vector<std::string>& argv) const;
    // Polls `xdotool search` until a window with the name (a regular expression) shows.
    std::string waitForWindow(const std::string& name, std::chrono::milliseconds timeout) const;
    // Polls until no window with the name shows; false on a timeout.
    bool waitForWindowGone(const std::string& name, std::chrono::milliseconds timeout) const;
    // The whole screen as RGBA rows, top row first.
    struct Shot {
        int width = 0, height = 0;
        std::vector<uint8_t> rgba;
        const uint8_t* at(int x, int y) const {
            return &rgba[(static_cast<size_t>(y) * width + x) * 4];
        }
    };
    Shot screenshot(const std::string& scratchFolder) const;

private:
    std::string m_display;
    int m_pid = -1;
};

} // namespace lumenarc::test
