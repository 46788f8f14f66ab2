#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lumenarc {

// Writes the preferences file without losing anything that is there: only a regular file is
// replaced, or a missing one created, at the end of any links; the replacement is atomic; and
// temp files that killed saves left behind are removed by the next save.
class PrefsFileWriter {
public:
    // Links followed before a chain counts as a loop (the kernel's own limit).
    static constexpr int kMaxLinks = 40;
    // A live save locks its temp file a moment after making it. One that is unlocked and this
    // old belongs to a save that was killed.
    static constexpr int kStaleTempSeconds = 60;

    // Where a save to a path goes: the regular file at the end of its links (the path itself
    // when it is no link), or the missing file there. `file` is empty and `refusal` says why
    // when a save must not write: the links loop, or they end at something else than a file.
    struct Target {
        std::filesystem::path file;
        std::string refusal;
    };
    static Target resolve(const std::string& path);

    // The names mkostemp gives the temp files of saves of `fileName`: a dot, the file name
    // (only its first NAME_MAX - 8 bytes when longer, so that the name fits a folder), a dot
    // and six letters or digits.
    static bool isTempName(std::string_view name, std::string_view fileName);

    // Removes the temp files of saves of `file` that were killed midway: names of that exact
    // pattern beside it, regular files only, unchanged for kStaleTempSeconds and locked by no
    // live save. How many were removed.
    static int removeStaleTemps(const std::filesystem::path& file);

    // A locked temp file beside `file`, written, synced and renamed over it: readers see the
    // old file or the new one, never a part. On failure the temp file goes, the old file stays
    // and `error` says why.
    static bool replace(const std::filesystem::path& file, const std::string& bytes,
                        std::string& error);
};

} // namespace lumenarc
