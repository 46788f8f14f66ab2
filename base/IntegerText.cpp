#include "base/IntegerText.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>

namespace lumenarc {
namespace {

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits from the start of text, with the sign given, saturated to 32 bits. The magnitude is
// capped just past the 32-bit range so that any number of digits cannot overflow.
int32_t saturated(bool negative, std::string_view digits) {
    constexpr int64_t cap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (size_t i = 0; i < digits.size() && isDigit(digits[i]); ++i) {
        magnitude = std::min(magnitude * 10 + (digits[i] - '0'), cap);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(negative ? -magnitude : magnitude,
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

int32_t IntegerText::leading(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    return saturated(negative, negative ? text.substr(1) : text);
}

int32_t IntegerText::typed(std::string_view text) {
    const auto start = std::find_if_not(text.begin(), text.end(), isSpace);
    text.remove_prefix(static_cast<size_t>(start - text.begin()));
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    return saturated(negative, text);
}

std::optional<int32_t> IntegerText::whole(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(copy.c_str(), &end, 10);
    if (end != copy.c_str() + copy.size() || errno == ERANGE ||
        value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

} // namespace lumenarc
