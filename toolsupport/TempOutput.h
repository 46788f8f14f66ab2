#pragma once

#include <memory>
#include <string>

namespace lumenarc {

// The file a tool writes: a temporary file beside OUT, renamed over OUT only when the output
// is complete, so that OUT is never half written and an earlier OUT stays untouched until
// then. Removed on destruction unless committed. Nothing but that temporary file is ever
// removed: an OUT that is not a regular file (a device, a FIFO) is refused, and a symbolic
// link is kept and the file it names replaced.
class TempOutput {
public:
    // Creates the temporary file (with the permissions a new file gets); nullptr and a reason
    // when OUT's folder cannot take it or OUT is a folder or not a regular file.
    static std::unique_ptr<TempOutput> create(const std::string& out, std::string* error);
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    const std::string& path() const { return m_path; }
    // Flushes the file to the disk and renames it to OUT.
    bool commit(std::string* error);
    // Removes the temporary file now.
    void discard();

    // The temporary file's name for OUT's file name, at most `nameMax` bytes (the folder's
    // limit): a hidden name beside OUT, cut short when OUT's name is long; XXXXXX is replaced
    // when the file is made.
    static std::string temporaryName(const std::string& outName, size_t nameMax);

private:
    TempOutput(std::string path, std::string out)
        : m_path(std::move(path)), m_out(std::move(out)) {}

    std::string m_path;
    std::string m_out;
    bool m_done = false;
};

} // namespace lumenarc
