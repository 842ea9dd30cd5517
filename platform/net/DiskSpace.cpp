#include "DiskSpace.h"

#include <sys/statvfs.h>

namespace platform {

std::optional<DiskSpace> DiskSpace::of(const std::string& path, StatvfsReader reader)
{
    struct statvfs info
    {
    };
    if ((reader ? reader : &::statvfs)(path.c_str(), &info) != 0)
        return std::nullopt;
    const std::uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    const auto blocks = static_cast<std::uint64_t>(info.f_blocks);
    const auto freeBlocks = static_cast<std::uint64_t>(info.f_bfree);
    DiskSpace space;
    space.totalBytes = blocks * unit;
    space.freeBytes = static_cast<std::uint64_t>(info.f_bavail) * unit;
    space.usedBytes = blocks >= freeBlocks ? (blocks - freeBlocks) * unit : 0;
    return space;
}

} // namespace platform
