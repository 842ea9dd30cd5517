#include "DiskSpace.h"

#include <sys/statvfs.h>

namespace platform {

std::optional<DiskSpace> DiskSpace::of(const std::string& path)
{
    struct statvfs info
    {
    };
    if (::statvfs(path.c_str(), &info) != 0)
        return std::nullopt;
    const std::uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    return DiskSpace {
        static_cast<std::uint64_t>(info.f_blocks) * unit, static_cast<std::uint64_t>(info.f_bavail) * unit};
}

} // namespace platform
