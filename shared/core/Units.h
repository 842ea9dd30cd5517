#pragma once

#include <cstdint>

// Gigabytes are bytes / 2^30 throughout the program.
inline constexpr double kBytesPerGB = 1073741824.0;

inline constexpr double gigabytes(std::int64_t bytes)
{
    return static_cast<double>(bytes) / kBytesPerGB;
}
