#pragma once

#include <filesystem>
#include <string>

namespace lumenarc::test {

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Writes bytes to a file inside the folder and returns its full path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& path);

} // namespace lumenarc::test
