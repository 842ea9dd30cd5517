#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// "A, B" for two names, "A, B +3 more" for five: the first `shown` names, then how many are left.
std::string namesList(const std::vector<std::string>& names, std::size_t shown = 2);

} // namespace platform
