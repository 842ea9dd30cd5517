#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace platform {

enum class CallerVerdict {
    Trusted,
    ValidationFailed, // the process is gone or its executable cannot be examined
    InvalidSignature, // the executable is not one we trust
    Unchecked, // what its verdict needs could not be had (descriptors, memory, its end of the connection)
};

// Decides whether a process runs one of the executables the helper serves. The executable is
// compared by file identity (device and inode of /proc/<pid>/exe), not by path text, so a
// rename, a symlink or a replaced file cannot pass for a trusted one. A trusted file must also
// be owned by root (or by the account the checker runs as, which could change it anyway) and
// writable by nobody else.
class TrustedCallers
{
public:
    explicit TrustedCallers(std::vector<std::string> trustedPaths, std::string procRoot = "/proc");
    TrustedCallers(std::vector<std::string> trustedPaths, std::string procRoot, uid_t ownUid);

    CallerVerdict check(pid_t pid) const;
    const std::vector<std::string>& trustedPaths() const { return m_paths; }
    const std::string& procRoot() const { return m_procRoot; }

    // Whether a file with these attributes may be trusted at all.
    static bool isSafeExecutable(const struct stat& st, uid_t ownUid);

private:
    std::vector<std::string> m_paths;
    std::string m_procRoot;
    uid_t m_ownUid;
};

// Splits a colon-separated list, dropping empty entries.
std::vector<std::string> splitPathList(const std::string& text);

} // namespace platform
