#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Size and free space, in bytes, of the file system that holds a path.
struct DiskSpace
{
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0; // what an ordinary user may still write

    // Nothing when statvfs fails (a missing path, for instance).
    static std::optional<DiskSpace> of(const std::string& path);
};

} // namespace platform
