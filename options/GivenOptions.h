#pragma once

#include "options/OptionId.h"
#include "options/OptionValue.h"

#include <array>
#include <optional>
#include <string>

namespace lumenarc {

// The options one command line gave, each with its checked value; the others are absent.
class GivenOptions {
public:
    void set(OptionId id, OptionValue value) { m_values[indexOf(id)] = std::move(value); }
    bool has(OptionId id) const { return m_values[indexOf(id)].has_value(); }

    // The value, when given and of that type.
    template <typename Value> std::optional<Value> get(OptionId id) const {
        const auto& slot = m_values[indexOf(id)];
        if (const Value* value = slot ? std::get_if<Value>(&*slot) : nullptr) {
            return *value;
        }
        return std::nullopt;
    }
    bool flag(OptionId id) const { return get<bool>(id).value_or(false); }
    // Text options: the text, or nullopt when not given.
    std::optional<std::string> text(OptionId id) const {
        return get<std::optional<std::string>>(id).value_or(std::nullopt);
    }

private:
    std::array<std::optional<OptionValue>, kOptionCount> m_values;
};

} // namespace lumenarc
