#include "mesh/NumberConversion.h"

#include "base/CLocale.h"

#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

namespace lumenarc {
namespace {

// from_chars leaves the value unset when the result is out of range; strtod in the C locale
// gives atof's answer there (infinity on overflow, the rounded tiny value on underflow).
double strtodC(std::string_view text) {
    const std::string copy(text);
    return strtod_l(copy.c_str(), nullptr, CLocale::get());
}

// Exact powers of ten as doubles (10^22 is the largest one a double holds exactly).
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Eight ASCII digits at once (little-endian load): true if all eight bytes are digits.
bool eightDigits(uint64_t bytes) {
    return ((bytes + 0x4646464646464646) | (bytes - 0x3030303030303030)) & 0x8080808080808080ULL
               ? false
               : true;
}

uint64_t eightDigitsValue(uint64_t bytes) {
    constexpr uint64_t kMask = 0x000000FF000000FF;
    constexpr uint64_t kMul1 = 0x000F424000000064; // 100 + (1000000 << 32)
    constexpr uint64_t kMul2 = 0x0000271000000001; // 1 + (10000 << 32)
    bytes -= 0x3030303030303030;
    bytes = bytes * 10 + (bytes >> 8);
    return (((bytes & kMask) * kMul1) + (((bytes >> 16) & kMask) * kMul2)) >> 32;
}

// Accumulates a run of digits into value; returns the position after the run.
const char* readDigits(const char* p, const char* end, uint64_t& value) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            uint64_t bytes;
            std::memcpy(&bytes, p, 8);
            if (!eightDigits(bytes)) {
                break;
            }
            value = value * 100000000 + eightDigitsValue(bytes);
            p += 8;
        }
    }
    while (p < end && isDigit(*p)) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
    }
    return p;
}

} // namespace

// Most mesh numbers have few digits and a small exponent. Their digits then form an integer
// below 2^53 and the power of ten is exact, so one IEEE multiplication or division gives the
// correctly rounded value, exactly what a full conversion gives.
const char* NumberConversion::quickDouble(const char* p, const char* end, double& out) {
    const bool negative = p < end && *p == '-';
    p += negative ? 1 : 0;
    uint64_t digits = 0;
    const char* const integerStart = p;
    p = readDigits(p, end, digits);
    auto digitCount = p - integerStart;
    int exponent = 0;
    if (p < end && *p == '.') {
        const char* const fractionStart = ++p;
        p = readDigits(p, end, digits);
        exponent = -static_cast<int>(p - fractionStart);
        digitCount += p - fractionStart;
    }
    // More than 19 digits may have wrapped the accumulator; leave those to the full conversion.
    if (digitCount == 0 || digitCount > 19 || digits > (uint64_t{1} << 53)) {
        return nullptr;
    }
    if (end - p >= 2 && *p == 'e') {
        const char* q = p + 1;
        const bool negativeExponent = *q == '-';
        q += negativeExponent ? 1 : 0;
        if (q < end && isDigit(*q)) {
            int value = 0;
            for (int count = 0; q < end && isDigit(*q); ++q, ++count) {
                if (count == 3) {
                    return nullptr;
                }
                value = value * 10 + (*q - '0');
            }
            exponent += negativeExponent ? -value : value;
            p = q;
        }
    }
    if (digits == 0) {
        exponent = 0; // zero stays zero whatever its exponent
    }
    if (exponent < -22 || exponent > 22) {
        return nullptr;
    }
    const double magnitude = exponent < 0 ? static_cast<double>(digits) / kPowersOfTen[-exponent]
                                          : static_cast<double>(digits) * kPowersOfTen[exponent];
    out = negative ? -magnitude : magnitude;
    return p;
}

double NumberConversion::toDouble(std::string_view text) {
    double value = 0.0;
    if (quickDouble(text.data(), text.data() + text.size(), value) != nullptr) {
        return value;
    }
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc()) {
        return value;
    }
    if (result.ec == std::errc::result_out_of_range) {
        return strtodC(text);
    }
    return 0.0;
}

} // namespace lumenarc
