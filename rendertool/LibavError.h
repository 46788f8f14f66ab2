#pragma once

#include <string>

namespace lumenarc {

// libav's words for one of its error codes ("No space left on device", "Invalid data found
// when processing input").
class LibavError {
public:
    static std::string text(int code);
};

} // namespace lumenarc
