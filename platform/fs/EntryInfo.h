#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

namespace platform {

// An entry's metadata together with the mount it lies on. Two folders of one file system share
// st_dev even when one of them is a bind mount, so staying inside a tree takes the mount id.
struct EntryInfo
{
    struct stat st
    {
    };
    std::uint64_t mountId = 0;
    bool hasMountId = false; // the kernel reported a mount id
    bool mountRoot = false; // the entry is the root of a mount (where the kernel says so)

    // The entry `name` in the open folder dirFd, not following a link; nullopt with errno set.
    static std::optional<EntryInfo> at(int dirFd, const char* name);
    // The open descriptor itself.
    static std::optional<EntryInfo> of(int fd);

    bool isDirectory() const { return S_ISDIR(st.st_mode); }
    bool sameObject(const EntryInfo& other) const
    {
        return st.st_dev == other.st.st_dev && st.st_ino == other.st.st_ino;
    }
    // True when this entry lies on the same mount as `folder` and is not a mount point itself.
    // Without mount ids the device number and the mount-root flag are all there is to go by.
    bool onMountOf(const EntryInfo& folder) const;
};

} // namespace platform
