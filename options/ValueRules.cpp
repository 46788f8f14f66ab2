#include "options/ValueRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace lumenarc {
namespace {

template <typename Number> std::optional<Number> strictNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || next != end) {
        return std::nullopt;
    }
    return value;
}

OptionValue zeroOf(OptionKind kind) {
    switch (kind) {
    case OptionKind::Switch:
    case OptionKind::Action:
        return false;
    case OptionKind::WholeNumber:
    case OptionKind::Port:
        return int32_t{0};
    case OptionKind::Number:
        return 0.0f;
    default:
        return std::optional<std::string>();
    }
}

} // namespace

std::optional<OptionValue> ValueRules::parse(const Option& option, std::string_view text) {
    switch (option.kind) {
    case OptionKind::Action:
        return std::nullopt;
    case OptionKind::Switch:
        if (text == "YES" || text == "NO") {
            return OptionValue(text == "YES");
        }
        return std::nullopt;
    case OptionKind::WholeNumber:
    case OptionKind::Port:
        if (const auto value = strictNumber<int32_t>(text)) {
            return OptionValue(*value);
        }
        return std::nullopt;
    case OptionKind::Number:
        if (const auto value = strictNumber<float>(text)) {
            return OptionValue(*value);
        }
        return std::nullopt;
    default:
        return OptionValue(std::optional<std::string>(std::string(text)));
    }
}

OptionValue ValueRules::defaultOf(const Option& option) {
    return parse(option, option.defaultValue).value_or(zeroOf(option.kind));
}

OptionValue ValueRules::whenAbsent(const Option& option) {
    switch (option.quirk) {
    case StoredQuirk::AbsentIsZero:
    case StoredQuirk::AbsentIsNone:
        return zeroOf(option.kind);
    default:
        return defaultOf(option);
    }
}

bool ValueRules::inRange(const Option& option, const OptionValue& value) {
    if (const auto* whole = std::get_if<int32_t>(&value)) {
        return *whole >= option.min && *whole <= option.max;
    }
    if (const auto* real = std::get_if<float>(&value)) {
        return std::isfinite(*real) && *real >= option.min && *real <= option.max;
    }
    return true;
}

OptionValue ValueRules::clamp(const Option& option, const OptionValue& value) {
    if (const auto* whole = std::get_if<int32_t>(&value)) {
        return std::clamp(*whole, static_cast<int32_t>(option.min),
                          static_cast<int32_t>(option.max));
    }
    if (const auto* real = std::get_if<float>(&value)) {
        const auto low = static_cast<float>(option.min);
        return std::isnan(*real) ? low : std::clamp(*real, low, static_cast<float>(option.max));
    }
    return value;
}

bool ValueRules::same(const OptionValue& a, const OptionValue& b) {
    const auto* x = std::get_if<float>(&a);
    const auto* y = std::get_if<float>(&b);
    if (x && y && std::isnan(*x) && std::isnan(*y)) {
        return true;
    }
    return a == b;
}

std::string ValueRules::expectation(const Option& option) {
    const std::string span = "from " + number(option.min) + " to " + number(option.max);
    switch (option.kind) {
    case OptionKind::Action:
        return "no value";
    case OptionKind::Switch:
        return "YES or NO";
    case OptionKind::WholeNumber:
        return "a whole number " + span;
    case OptionKind::Number:
        return "a number " + span;
    case OptionKind::Port:
        return "a port number " + span;
    case OptionKind::File:
        return "a file";
    case OptionKind::Text:
        return "any text";
    case OptionKind::Address:
        return "a numeric IPv4 or IPv6 address";
    case OptionKind::HostPort:
        return "HOST:PORT";
    }
    return {};
}

std::string ValueRules::range(const Option& option) {
    const bool ranged = option.kind == OptionKind::WholeNumber ||
                        option.kind == OptionKind::Number || option.kind == OptionKind::Port;
    return ranged ? number(option.min) + ".." + number(option.max) : std::string();
}

std::string ValueRules::text(const OptionValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "YES" : "NO";
    }
    if (const auto* whole = std::get_if<int32_t>(&value)) {
        return std::to_string(*whole);
    }
    if (const auto* real = std::get_if<float>(&value)) {
        return number(*real);
    }
    const auto& words = std::get<std::optional<std::string>>(value);
    return words ? *words : "(none)";
}

std::string ValueRules::number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace lumenarc
