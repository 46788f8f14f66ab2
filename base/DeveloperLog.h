#pragma once

#include <functional>
#include <string_view>

namespace lumenarc {

// The developer's log: plain lines on standard error. Tests may redirect it to capture lines.
class DeveloperLog {
public:
    using Sink = std::function<void(std::string_view line)>;

    // Writes one line; a trailing line break in the text is not doubled.
    static void write(std::string_view text);
    // Replaces the destination (nullptr restores standard error); returns the previous sink.
    static Sink setSink(Sink sink);
};

} // namespace lumenarc
