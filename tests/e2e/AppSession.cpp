#include "AppSession.h"

#include "support/RunProcess.h"

#include <cstdio>
#include <filesystem>
#include <thread>

namespace lumenarc::test {

AppSession::AppSession(int screenWidth, int screenHeight, int secondWidth, int secondHeight)
    : m_xvfb(screenWidth, screenHeight, secondWidth, secondHeight) {
    std::filesystem::create_directories(m_home.path() / ".config");
}

std::map<std::string, std::string> AppSession::environment() const {
    auto env = m_xvfb.environment();
    env["HOME"] = m_home.path().string();
    env["XDG_CONFIG_HOME"] = configFolder();
    env["XDG_RUNTIME_DIR"] = m_home.path().string();
    // Under AddressSanitizer the player is checked for memory errors, not leaks: toolkit plugins
    // and D-Bus, unloaded at exit, leave reports that name no module to suppress. The unit tests
    // check our own code for leaks.
    env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1";
    return env;
}

void AppSession::start(const std::vector<std::string>& args, const std::string& program,
                       const std::map<std::string, std::string>& extraEnv) {
    std::vector<std::string> argv{program.empty() ? binPath("lumenarc") : program};
    argv.insert(argv.end(), args.begin(), args.end());
    auto env = environment();
    for (const auto& [key, value] : extraEnv) {
        env[key] = value;
    }
    m_process = std::make_unique<BackgroundProcess>(argv, env);
}

std::string AppSession::waitForMainWindow(const std::string& title,
                                          std::chrono::milliseconds timeout) {
    return m_xvfb.waitForWindow("^" + title + "$", timeout);
}

AppSession::Rect AppSession::geometry(const std::string& window) {
    // xwininfo, not xdotool: for a window inside another (the view's own native window)
    // xdotool counts the offset within the parent twice.
    Rect r;
    const auto text = m_xvfb.run({"/usr/bin/xwininfo", "-id", window});
    const std::pair<const char*, int*> fields[] = {{"Absolute upper-left X:", &r.x},
                                                   {"Absolute upper-left Y:", &r.y},
                                                   {"Width:", &r.width},
                                                   {"Height:", &r.height}};
    for (const auto& [key, value] : fields) {
        const auto pos = text.find(key);
        if (pos != std::string::npos) {
            *value = std::atoi(text.c_str() + pos + std::string(key).size());
        }
    }
    return r;
}

bool AppSession::waitForLog(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_process && m_process->errors().find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace lumenarc::test

namespace lumenarc::test {

AppSession::Rect AppSession::viewArea(std::chrono::milliseconds timeout) {
    const auto view = m_xvfb.waitForWindow("^Lumenarc View$", timeout);
    return view.empty() ? Rect{} : geometry(view);
}

std::vector<uint8_t> AppSession::viewPixels(const Rect& area) {
    const auto shot = m_xvfb.screenshot(m_home.path().string());
    std::vector<uint8_t> out;
    if (shot.width == 0 || area.width <= 0) {
        return out;
    }
    for (int y = area.y; y < area.y + area.height && y < shot.height; ++y) {
        for (int x = area.x; x < area.x + area.width && x < shot.width; ++x) {
            const auto* p = shot.at(x, y);
            out.insert(out.end(), p, p + 3);
        }
    }
    return out;
}

std::vector<uint8_t>
AppSession::waitForView(const Rect& area,
                        const std::function<bool(const std::vector<uint8_t>&)>& wanted,
                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto pixels = viewPixels(area);
    while (!wanted(pixels) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pixels = viewPixels(area);
    }
    return pixels;
}

AppSession::Rect AppSession::waitForPicture(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Rect last;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto area = viewArea(timeout);
        const auto pixels = viewPixels(area);
        const bool lit = !pixels.empty() && [&] {
            const size_t at =
                (static_cast<size_t>(area.height / 2) * area.width + area.width / 2) * 3;
            return pixels[at] + pixels[at + 1] + pixels[at + 2] > 60;
        }();
        if (lit && area.width > 0 && area.x == last.x && area.y == last.y &&
            area.width == last.width && area.height == last.height) {
            return area;
        }
        last = lit ? area : Rect{};
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

std::vector<uint8_t> AppSession::waitForStill(const Rect& area, std::chrono::milliseconds timeout) {
    // Several frame periods apart, so that a movie still playing shows another frame; three
    // alike in a row, so that a late last frame is waited for too.
    constexpr auto apart = std::chrono::milliseconds(300);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto last = viewPixels(area);
    int alike = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(apart);
        auto now = viewPixels(area);
        alike = !now.empty() && now == last ? alike + 1 : 0;
        if (alike == 2) {
            return now;
        }
        last = std::move(now);
    }
    return last;
}

bool AppSession::staysAs(const Rect& area, const std::vector<uint8_t>& pixels,
                         std::chrono::milliseconds span) {
    if (pixels.empty()) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + span;
    do {
        if (viewPixels(area) != pixels) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < until);
    return viewPixels(area) == pixels;
}

void AppSession::key(const std::string& window, const std::string& keys) {
    m_xvfb.run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
    m_xvfb.run({"/usr/bin/xdotool", "key", keys});
}

} // namespace lumenarc::test
