#pragma once

#include <string>
#include <string_view>

// Text from the kernel and from other processes (process names, tool output) is raw bytes; JSON and the
// views need UTF-8. One check and one repair for every place where such text crosses into a record.
namespace platform {

// True when text is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// text with every ill-formed sequence replaced by U+FFFD, one per maximal ill-formed part (so "\xff\xfe"
// becomes two replacement characters); valid text comes back unchanged.
std::string toValidUtf8(std::string_view text);

} // namespace platform
