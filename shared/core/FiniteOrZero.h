#pragma once

#include <cmath>
#include <iostream>
#include <string_view>

// A running total that once takes a NaN or an infinity keeps it forever, and the stored form refuses it,
// so the store would never be written again. Such a value counts as 0 and one console line says so.
inline double finiteOrZero(double value, std::string_view name)
{
    if (std::isfinite(value))
        return value;
    std::cout << "Ignoring non-finite " << name << " (" << value << "); counted as 0" << std::endl;
    return 0;
}
