#pragma once

#include <memory>
#include <string>

namespace lumenarc {

// The file a render writes: a temporary file beside OUT, renamed over OUT only when the
// movie is complete, so that OUT is never half written and an earlier OUT stays untouched
// until then. Removed on destruction unless committed.
class TempOutput {
public:
    // Creates the temporary file (with the permissions a new file gets); nullptr and a reason
    // when OUT's folder cannot take it or OUT is a folder.
    static std::unique_ptr<TempOutput> create(const std::string& out, std::string* error);
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    const std::string& path() const { return m_path; }
    // Flushes the file to the disk and renames it to OUT.
    bool commit(std::string* error);
    // Removes the temporary file now.
    void discard();

private:
    TempOutput(std::string path, std::string out)
        : m_path(std::move(path)), m_out(std::move(out)) {}

    std::string m_path;
    std::string m_out;
    bool m_done = false;
};

} // namespace lumenarc
