#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Truncates toward zero like an integer conversion, but defined for every input: NaN gives 0 and
// values beyond the 64-bit range stop at its ends (a plain cast of those is undefined).
inline std::int64_t truncatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; every double below it truncates into range.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value < -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}
