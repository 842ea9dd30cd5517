#include "platform/text/NamesList.h"

namespace platform {

std::string namesList(const std::vector<std::string>& names, std::size_t shown)
{
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < shown; ++i)
        out += (i ? ", " : "") + names[i];
    if (names.size() > shown)
        out += " +" + std::to_string(names.size() - shown) + " more";
    return out;
}

} // namespace platform
