#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// The whole content of a file, read in one go. Regular files are mapped rather than copied,
// which saves a pass over large meshes; other files (pipes, /proc) are read into memory.
class TextFile {
public:
    // Nothing for a missing or unreadable file or a folder.
    static std::optional<TextFile> read(const std::string& path);

    TextFile(TextFile&& other) noexcept;
    TextFile& operator=(TextFile&&) = delete;
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();

    std::string_view text() const { return m_mapped ? m_view : std::string_view(m_buffer); }

private:
    TextFile() = default;

    std::string m_buffer;
    std::string_view m_view;
    bool m_mapped = false;
};

} // namespace lumenarc
