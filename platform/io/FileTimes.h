#pragma once

#include <ctime>

namespace platform {

// A file time (st_mtim, st_atim) as seconds since 1970.
inline double seconds(const struct timespec& t)
{
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

} // namespace platform
