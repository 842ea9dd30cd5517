#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Text handling for identifiers, keys, unit properties and sysfs values. Case maps A to Z only, byte by
// byte: std::toupper follows the C library's locale, which Qt sets from the environment, and a Turkish
// one leaves 'i' as it is. Other bytes, UTF-8 included, are kept as they are.
std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);

// Without the blanks (space, tab, line ends, vertical tab, form feed and NUL, which device-tree strings
// end in) at either end.
std::string_view asciiTrimmed(std::string_view text);

// The parts with `separator` between each two.
std::string joined(const std::vector<std::string>& parts, std::string_view separator);

} // namespace platform
