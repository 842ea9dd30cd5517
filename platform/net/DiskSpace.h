#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct statvfs;

namespace platform {

// Size, use and free space, in bytes, of the file system that holds a path, as df reports them.
struct DiskSpace
{
    // statvfs(2) or a stand-in for it.
    using StatvfsReader = int (*)(const char* path, struct statvfs* info);

    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0; // what an ordinary user may still write
    // Blocks in use, (blocks - free blocks) x fragment size. The blocks reserved for root are neither used
    // nor free to the user, so used + free can fall short of the total.
    std::uint64_t usedBytes = 0;

    // Nothing when the reader fails (a missing path, for instance).
    static std::optional<DiskSpace> of(const std::string& path, StatvfsReader reader = nullptr);
};

} // namespace platform
