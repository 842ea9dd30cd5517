#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A regular file as a walk met it, with how many of its names (hard links) lie below the folder.
struct SizedFile
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t bytes = 0;
    std::uint64_t links = 0; // names it has on its file system
    std::uint64_t namesFound = 0; // of those, the ones below the folder

    bool operator==(const SizedFile&) const = default;
};

// What a walk of one folder found below it.
struct TreeSize
{
    std::int64_t bytes = 0; // regular files (a hard-linked file once), plus links' own sizes when asked
    std::int64_t files = 0; // regular files counted
    // Newest modification time over every entry below the folder, and newest access time over its
    // regular files, in seconds since 1970; 0 when there was none. Folder access times are left out:
    // listing a folder, as this walk does, is no use of it.
    double newestModification = 0;
    double newestFileAccess = 0;
    bool complete = true; // false when a folder below could not be read
    std::string problem; // why it is not complete: the first folder that could not be read
    // Every regular file, each once, when asked; their bytes are part of `bytes`.
    std::vector<SizedFile> sizedFiles;
};

// Measures a folder tree with several threads, never following a link: a link counts as a link
// (its own size, when asked), so a file that several links point to is counted once, and so is a
// file with several hard links below the folder. It stays on the folder's mount, as a removal
// does: what is mounted below it, a bind mount of the same file system included, is not counted.
// Any depth can be measured with a bounded number of open descriptors.
class TreeSizer
{
public:
    struct Options
    {
        bool countLinks = false; // add the size of each symbolic link itself
        bool collectTimes = false; // fill the newest times (costs a stat of every folder)
        bool collectFiles = false; // fill `sizedFiles`
        unsigned maxThreads = 0; // 0: one per processor, at most 16
    };

    TreeSizer();
    explicit TreeSizer(Options options);

    // Measures the folder at path (its last component is not followed either); nullopt when it
    // is not a folder that can be opened.
    std::optional<TreeSize> measure(const std::string& path) const;
    // Measures the open folder dirFd; the descriptor stays the caller's.
    std::optional<TreeSize> measure(int dirFd) const;

private:
    Options m_options;
};

} // namespace platform
