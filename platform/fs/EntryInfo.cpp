#include "EntryInfo.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

namespace platform {
namespace {

std::optional<EntryInfo> query(int dirFd, const char* name, int flags)
{
    struct statx sx
    {
    };
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
        return std::nullopt;
    EntryInfo info;
    struct stat& st = info.st;
    st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.st_ino = sx.stx_ino;
    st.st_mode = sx.stx_mode;
    st.st_nlink = sx.stx_nlink;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
    st.st_size = static_cast<off_t>(sx.stx_size);
    st.st_blksize = sx.stx_blksize;
    st.st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
    st.st_atim = {sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec};
    st.st_mtim = {sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec};
    st.st_ctim = {sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
    info.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    info.mountId = info.hasMountId ? sx.stx_mnt_id : 0;
    info.mountRoot
        = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return info;
}

} // namespace

std::optional<EntryInfo> EntryInfo::at(int dirFd, const char* name)
{
    return query(dirFd, name, 0);
}

std::optional<EntryInfo> EntryInfo::of(int fd)
{
    return query(fd, "", AT_EMPTY_PATH);
}

bool EntryInfo::onMountOf(const EntryInfo& folder) const
{
    if (st.st_dev != folder.st.st_dev || mountRoot)
        return false;
    return !hasMountId || !folder.hasMountId || mountId == folder.mountId;
}

} // namespace platform
