#include "prefs/PrefsManager.h"

#include <utility>

namespace lumenarc {

// Relaxed order is enough: the flag publishes no other data, and the drawing thread only needs
// to see a change at some later frame.
bool PrefsManager::quitWhenMovieFinishes() const {
    return m_quitWhenMovieFinishes.load(std::memory_order_relaxed);
}

void PrefsManager::setQuitWhenMovieFinishes(bool value) {
    m_quitWhenMovieFinishes.store(value, std::memory_order_relaxed);
}

void PrefsManager::setDefaultMapPath(std::optional<std::string> path) {
    m_defaultMap = std::move(path);
}

} // namespace lumenarc
