#pragma once

#include <cstddef>
#include <string>
#include <vector>

// "A, B" for two names, "A, B +3 more" for five: the first `shown` names, then how many are left.
inline std::string namesList(const std::vector<std::string>& names, std::size_t shown = 2)
{
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < shown; ++i)
        out += (i ? ", " : "") + names[i];
    if (names.size() > shown)
        out += " +" + std::to_string(names.size() - shown) + " more";
    return out;
}
