#pragma once

#include <cerrno>

namespace platform {

// Whether a call failed for want of descriptors or memory (its errno): what it was to read or check
// is not known then, rather than absent, and may be had a moment later.
inline bool isShortOfResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM;
}

} // namespace platform
