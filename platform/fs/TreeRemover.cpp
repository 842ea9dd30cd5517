#include "TreeRemover.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <vector>

namespace platform {

TreeRemover::TreeRemover()
    : TreeRemover(Options())
{
}

TreeRemover::TreeRemover(Options options)
    : m_options(options)
{
}

void TreeRemover::count(const struct stat& st, RemovalReport& report) const
{
    ++report.removedEntries;
    // A file with other names left keeps its data; its last name frees it.
    if (S_ISREG(st.st_mode) && st.st_nlink <= 1)
        report.freedBytes += st.st_size;
    else if (S_ISLNK(st.st_mode) && m_options.countLinks)
        report.freedBytes += st.st_size;
}

void TreeRemover::removeOne(int dirFd, const std::string& name, dev_t device, RemovalReport& report) const
{
    struct stat st
    {
    };
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            report.complete = false;
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(dirFd, name.c_str(), 0) == 0)
            count(st, report);
        else if (errno != ENOENT)
            report.complete = false;
        return;
    }
    if (st.st_dev != device) {
        report.complete = false;
        return;
    }
    UniqueFd child(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened
    {
    };
    if (!child || ::fstat(child.get(), &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        report.complete = false;
        return;
    }
    removeContents(child.get(), device, report);
    child.reset();
    if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0)
        ++report.removedEntries;
    else if (errno != ENOENT)
        report.complete = false;
}

bool TreeRemover::removeContents(int dirFd, dev_t device, RemovalReport& report) const
{
    // The names are read first: removing entries while the kernel is still listing the folder
    // could make it skip some.
    std::vector<std::string> names;
    const bool listed
        = DirectoryEntries::forEach(dirFd, [&](std::string_view name, unsigned char) { names.emplace_back(name); });
    if (!listed)
        report.complete = false;
    for (const auto& name : names)
        removeOne(dirFd, name, device, report);
    return listed || !names.empty();
}

RemovalReport TreeRemover::removeChildren(int dirFd) const
{
    RemovalReport report;
    struct stat st
    {
    };
    if (dirFd < 0 || ::fstat(dirFd, &st) != 0 || !S_ISDIR(st.st_mode) || !removeContents(dirFd, st.st_dev, report)) {
        report.listed = false;
        report.complete = false;
    }
    return report;
}

RemovalReport TreeRemover::removeDirectory(int parentFd, const std::string& name) const
{
    RemovalReport report;
    struct stat st
    {
    };
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
        report.listed = false;
        report.complete = false;
        return report;
    }
    removeOne(parentFd, name, st.st_dev, report);
    return report;
}

RemovalReport TreeRemover::removeFile(int parentFd, const std::string& name) const
{
    RemovalReport report;
    struct stat st
    {
    };
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) {
        report.complete = false;
        return report;
    }
    if (::unlinkat(parentFd, name.c_str(), 0) == 0)
        count(st, report);
    else
        report.complete = false;
    return report;
}

} // namespace platform
