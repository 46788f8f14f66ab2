#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// The movies of one run in the order they play, and which one is on. Pure list logic: opening
// the movies is someone else's job.
class PlayList {
public:
    // Replaces the list; the first movie becomes the current one (none when empty).
    void replace(std::vector<std::string> paths);
    bool empty() const { return m_paths.empty(); }
    size_t size() const { return m_paths.size(); }
    // The current position, 0-based; nullopt while the list is empty.
    std::optional<size_t> index() const;
    // The current movie's path ("" while the list is empty).
    std::string current() const;
    bool hasNext() const { return !m_paths.empty() && m_index + 1 < m_paths.size(); }
    bool hasPrevious() const { return !m_paths.empty() && m_index > 0; }
    // Moves on or back and answers the new current path; nullopt (and no move) at either end.
    std::optional<std::string> next();
    std::optional<std::string> previous();
    // The window title for a movie of this list: its name, and its place when the list holds
    // more than one, e.g. "dome.mp4 (2/5)".
    std::string title(const std::string& movieName) const;

private:
    std::vector<std::string> m_paths;
    size_t m_index = 0;
};

} // namespace lumenarc
