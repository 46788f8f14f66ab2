#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// libplist 2.2 parses binary property lists recursively and expands every shared reference into
// a copy, so a few hundred crafted bytes can exhaust the stack or the memory. This walks the
// object graph of a binary property list without recursion, before libplist sees it, and turns
// down nesting, cycles and expansion beyond what any preferences archive needs.
class BinaryPlistShape {
public:
    static constexpr std::size_t kMaxDepth = 32;     // a keyed archive nests four levels deep
    static constexpr std::size_t kMaxNodes = 100000; // nodes once shared references are expanded

    // Why the bytes must not be handed to the parser, or nothing when they may.
    static std::optional<std::string> problem(std::string_view bytes);
};

} // namespace lumenarc
