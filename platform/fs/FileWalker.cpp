#include "FileWalker.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>

#include <vector>

namespace platform {
namespace {
// Deeper trees than this are no model store; stopping keeps descriptors and stack bounded.
constexpr int kMaxDepth = 64;
}

FileWalker::FileWalker()
    : FileWalker(Options())
{
}

FileWalker::FileWalker(Options options)
    : m_options(options)
{
}

bool FileWalker::walk(int dirFd, const std::function<void(const WalkedEntry&)>& visit) const
{
    UniqueFd folder(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return false;
    return walkFolder(folder.get(), std::string(), visit, 0);
}

bool FileWalker::walkFolder(
    int dirFd, const std::string& prefix, const std::function<void(const WalkedEntry&)>& visit, int depth) const
{
    std::vector<std::string> names;
    bool complete = DirectoryEntries::forEach(dirFd, [&](std::string_view name, unsigned char) {
        if (!(m_options.skipHidden && name.front() == '.'))
            names.emplace_back(name);
    });
    for (const auto& name : names) {
        struct stat st
        {
        };
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                complete = false;
            continue;
        }
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        if (!S_ISDIR(st.st_mode)) {
            visit(WalkedEntry {relative, dirFd, name, st});
            continue;
        }
        UniqueFd child(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!child || depth + 1 >= kMaxDepth || !walkFolder(child.get(), relative, visit, depth + 1))
            complete = false;
    }
    return complete;
}

} // namespace platform
