#pragma once

#include "options/Option.h"
#include "options/OptionValue.h"

#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// What an option's declaration says about its values: how they are written as text, which are
// in range, and how one out of range is brought into it.
class ValueRules {
public:
    // The value `text` stands for, written strictly (YES or NO; numbers with nothing around
    // them), or nothing when it is no value of the option's kind. Ranges are not checked here.
    static std::optional<OptionValue> parse(const Option& option, std::string_view text);
    // The declared default. An action has none and gives false.
    static OptionValue defaultOf(const Option& option);
    // The value of the option's kind that a preferences file without its key gives.
    static OptionValue whenAbsent(const Option& option);

    // Numbers within [min, max] and finite; every other value of the right kind.
    static bool inRange(const Option& option, const OptionValue& value);
    // The nearest value in range; NaN becomes the lowest.
    static OptionValue clamp(const Option& option, const OptionValue& value);
    // Equal, with NaN equal to NaN (a NaN nobody touched is no change).
    static bool same(const OptionValue& a, const OptionValue& b);

    // What the option takes, as the messages say it: "a whole number from 1 to 16".
    static std::string expectation(const Option& option);
    // Short form for the range in messages and tables: "1..16", "" without a range.
    static std::string range(const Option& option);
    // The value as text: YES/NO, "%g" for numbers, the text itself.
    static std::string text(const OptionValue& value);
    static std::string number(double value);
};

} // namespace lumenarc
