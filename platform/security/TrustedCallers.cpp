#include "platform/security/TrustedCallers.h"

#include <unistd.h>

namespace platform {

TrustedCallers::TrustedCallers(std::vector<std::string> trustedPaths, std::string procRoot)
    : TrustedCallers(std::move(trustedPaths), std::move(procRoot), ::geteuid())
{
}

TrustedCallers::TrustedCallers(std::vector<std::string> trustedPaths, std::string procRoot, uid_t ownUid)
    : m_paths(std::move(trustedPaths))
    , m_procRoot(std::move(procRoot))
    , m_ownUid(ownUid)
{
}

bool TrustedCallers::isSafeExecutable(const struct stat& st, uid_t ownUid)
{
    return S_ISREG(st.st_mode) && (st.st_uid == 0 || st.st_uid == ownUid) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

CallerVerdict TrustedCallers::check(pid_t pid) const
{
    if (pid <= 0)
        return CallerVerdict::ValidationFailed;
    struct stat running
    {
    };
    const std::string exe = m_procRoot + "/" + std::to_string(pid) + "/exe";
    if (::stat(exe.c_str(), &running) != 0)
        return CallerVerdict::ValidationFailed;

    for (const auto& path : m_paths) {
        struct stat trusted
        {
        };
        if (::stat(path.c_str(), &trusted) != 0)
            continue;
        if (trusted.st_dev == running.st_dev && trusted.st_ino == running.st_ino)
            return isSafeExecutable(running, m_ownUid) ? CallerVerdict::Trusted : CallerVerdict::InvalidSignature;
    }
    return CallerVerdict::InvalidSignature;
}

std::vector<std::string> splitPathList(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto colon = std::min(text.find(':', start), text.size());
        if (colon > start)
            parts.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    return parts;
}

} // namespace platform
