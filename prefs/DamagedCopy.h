#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace lumenarc {

// Keeps a damaged preferences file beside where it was, under a name that no other file has:
// no earlier copy is ever replaced, however many there are.
class DamagedCopy {
public:
    static constexpr const char* kSuffix = ".damaged";
    // Names tried for one moment before giving up; nothing real damages that many files in a
    // second, and a file that cannot be moved aside stays where it is.
    static constexpr int kMaxAttempts = 100;

    // The name tried at each attempt: "<file>.damaged" first (the name kept since the first
    // version), then "<file>.damaged.<YYYYMMDD-HHMMSS>" for the moment given, then that name
    // with ".2", ".3", ... appended.
    static std::string candidate(const std::string& file, const std::tm& when, int attempt);

    // Renames file to the first candidate for `now` (local time) that is free. Never replaces
    // an existing file, not even one another process creates meanwhile. The new name, or
    // nothing with the reason in `error`, in which case the file is where it was.
    static std::optional<std::string> moveAside(const std::string& file, std::time_t now,
                                                std::string& error);
};

} // namespace lumenarc
