#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace lumenarc {

// The eight user settings of one run. The application keeps exactly one; everyone changes it
// through these accessors, and only PrefsStore reads or writes the file. No setter checks a range.
class PrefsManager {
public:
    PrefsManager() = default;
    PrefsManager(const PrefsManager&) = delete;
    PrefsManager& operator=(const PrefsManager&) = delete;

    bool loopByDefault() const { return m_loopByDefault; }
    void setLoopByDefault(bool value) { m_loopByDefault = value; }

    // Read by the drawing thread at every frame without a lock, hence atomic.
    bool quitWhenMovieFinishes() const;
    void setQuitWhenMovieFinishes(bool value);

    bool startupInFullScreen() const { return m_startupInFullScreen; }
    void setStartupInFullScreen(bool value) { m_startupInFullScreen = value; }

    float volume() const { return m_volume; }
    void setVolume(float value) { m_volume = value; }

    // nullopt means no path at all (a file without the key), which differs from "".
    const std::optional<std::string>& defaultMapPath() const { return m_defaultMap; }
    void setDefaultMapPath(std::optional<std::string> path);

    int32_t hscreens() const { return m_hscreens; }
    void setHScreens(int32_t value) { m_hscreens = value; }

    int32_t vscreens() const { return m_vscreens; }
    void setVScreens(int32_t value) { m_vscreens = value; }

    bool hideMouse() const { return m_hideMouse; }
    void setHideMouse(bool value) { m_hideMouse = value; }

private:
    bool m_loopByDefault = false;
    std::atomic<bool> m_quitWhenMovieFinishes{false};
    bool m_startupInFullScreen = false;
    float m_volume = 1.0f;
    std::optional<std::string> m_defaultMap{std::string()};
    int32_t m_hscreens = 1;
    int32_t m_vscreens = 1;
    bool m_hideMouse = false;
};

} // namespace lumenarc
