#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Which processes hold a socket: a descriptor passed on (SCM_RIGHTS) or inherited keeps a socket
// open in processes other than the one that made it. Read from /proc/<pid>/fd.
class SocketHolders
{
public:
    explicit SocketHolders(std::string procRoot = "/proc");

    // Whether `pid`, or a process descended from it, holds a descriptor on the socket `inode`. Only
    // that part of the process tree is read, as /proc/<pid>/task/<tid>/children lists it; without
    // those lists every process is read. Nothing when part of it could not be read for want of
    // descriptors or memory: the answer is not known then.
    std::optional<bool> heldWithin(std::uint64_t inode, pid_t pid) const;

private:
    // Whether the process folder `pid` below the open /proc holds `wanted` ("socket:[inode]");
    // `unsure` is set when it could not be read for want of resources.
    static bool holds(int procFd, pid_t pid, const std::string& wanted, bool& unsure);
    // The children of `pid`, or nothing when the kernel does not list them.
    std::optional<std::vector<pid_t>> childrenOf(int procFd, pid_t pid, bool& unsure) const;
    bool heldByDescendant(int procFd, pid_t pid, const std::string& wanted, bool& unsure) const;

    std::string m_root;
};

} // namespace platform
