#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumenarc {

// Decimal integers read from text, whatever the user's locale, as 32-bit values.
class IntegerText {
public:
    // Optional minus sign and decimal digits; stops at the first other byte; no digits give 0.
    // Values beyond the 32-bit range saturate (atoi leaves them undefined).
    static int32_t leading(std::string_view text);
    // What a person typed: leading white space skipped, an optional sign, then decimal digits up
    // to the first other character ("2abc" is 2, "3.7" is 3). No leading number gives 0. Beyond
    // 32 bits the value saturates at INT32_MAX or INT32_MIN.
    static int32_t typed(std::string_view text);
    // The whole text as a 32-bit integer (strtol's syntax, nothing after the digits), or nothing.
    static std::optional<int32_t> whole(std::string_view text);
};

} // namespace lumenarc
