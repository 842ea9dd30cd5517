#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Lifetime totals come back from disk and may already stand at the end of their range: the next
// addition stays there instead of wrapping (undefined for signed integers) or turning into an
// infinity, which the stored form refuses, so the store would never be written again.
inline std::int64_t saturatingAdd(std::int64_t total, std::int64_t delta)
{
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(total, delta, &sum))
        return sum;
    return delta > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

// Both arguments finite.
inline double saturatingAdd(double total, double delta)
{
    const double sum = total + delta;
    if (std::isfinite(sum))
        return sum;
    return sum > 0 ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest();
}
