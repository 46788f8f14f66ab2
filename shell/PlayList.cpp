#include "shell/PlayList.h"

namespace lumenarc {

void PlayList::replace(std::vector<std::string> paths) {
    m_paths = std::move(paths);
    m_index = 0;
}

std::optional<size_t> PlayList::index() const {
    if (m_paths.empty()) {
        return std::nullopt;
    }
    return m_index;
}

std::string PlayList::current() const {
    return m_paths.empty() ? std::string() : m_paths[m_index];
}

std::optional<std::string> PlayList::next() {
    if (!hasNext()) {
        return std::nullopt;
    }
    ++m_index;
    return m_paths[m_index];
}

std::optional<std::string> PlayList::previous() {
    if (!hasPrevious()) {
        return std::nullopt;
    }
    --m_index;
    return m_paths[m_index];
}

std::string PlayList::title(const std::string& movieName) const {
    if (m_paths.size() < 2) {
        return movieName;
    }
    return movieName + " (" + std::to_string(m_index + 1) + "/" + std::to_string(m_paths.size()) +
           ")";
}

} // namespace lumenarc
