#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace platform {

// What a removal really did.
struct RemovalReport
{
    std::int64_t freedBytes = 0; // regular files whose last name went, plus links' own sizes when asked
    std::int64_t removedEntries = 0;
    bool listed = true; // false when the starting folder could not be read at all
    bool complete = true; // false when something was left behind
    std::string problem; // why it is not complete: the first thing that was left, and where
};

// Removes files and folder trees by descriptor: every folder is entered with openat and O_NOFOLLOW
// from its already open parent and every entry goes with unlinkat, so a folder swapped for a link
// mid-removal is never followed, and a link is removed as a link, its target untouched. Nothing
// on another mount is removed: a mount point inside the tree, a bind mount of the same file
// system included, stays with everything under it, and the removal is reported incomplete. The
// walk keeps no recursion and a bounded number of descriptors, so any depth can be removed.
class TreeRemover
{
public:
    struct Options
    {
        bool countLinks = false; // count the size of each removed link itself as freed
    };

    TreeRemover();
    explicit TreeRemover(Options options);

    // Empties the open folder dirFd, keeping the folder itself.
    RemovalReport removeChildren(int dirFd) const;
    // Removes the folder `name` in the open folder parentFd with everything in it; refuses an entry
    // that is not a real folder on parentFd's mount.
    RemovalReport removeDirectory(int parentFd, const std::string& name) const;
    // Removes the entry `name` in parentFd when it is not a folder (a link goes, not its target).
    RemovalReport removeFile(int parentFd, const std::string& name) const;

private:
    Options m_options;
};

} // namespace platform
