#pragma once

#include <cstdint>
#include <string_view>

namespace lumenarc {

// The number conversions of the mesh format, always in the C locale whatever the user's locale:
// the results of atof on the same bytes (base/IntegerText reads the integers).
class NumberConversion {
public:
    // The longest beginning that forms a decimal number, rounded to the nearest double, with
    // atof's results on overflow (+-HUGE_VAL), underflow and subnormals; no number gives 0.
    static double toDouble(std::string_view text);

    // Converts the number at the start of [begin, end) when that is quick and gives exactly
    // toDouble's value; returns where the number ended, or nullptr when only toDouble can say.
    // It reads no further than the number's own bytes decide, so end may lie beyond them.
    static const char* quickDouble(const char* begin, const char* end, double& value);
};

} // namespace lumenarc
