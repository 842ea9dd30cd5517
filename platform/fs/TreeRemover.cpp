#include "TreeRemover.h"

#include "EntryInfo.h"
#include "TreeWalk.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

void count(const struct stat& st, bool countLinks, RemovalReport& report)
{
    ++report.removedEntries;
    // A file with other names left keeps its data; its last name frees it.
    if (S_ISREG(st.st_mode) && st.st_nlink <= 1)
        report.freedBytes += st.st_size;
    else if (S_ISLNK(st.st_mode) && countLinks)
        report.freedBytes += st.st_size;
}

void refuse(RemovalReport& report, std::string problem)
{
    report.complete = false;
    report.problem = std::move(problem);
}

class Removal : public TreeWalk::Visitor
{
public:
    Removal(TreeWalk& walk, bool countLinks, RemovalReport& report)
        : m_walk(walk)
        , m_countLinks(countLinks)
        , m_report(report)
    {
    }

    void entry(int dirFd, const std::string& name, const EntryInfo& info) override
    {
        if (::unlinkat(dirFd, name.c_str(), 0) == 0)
            count(info.st, m_countLinks, m_report);
        else if (errno != ENOENT)
            m_walk.fail("cannot remove", name, errno);
    }
    void leave(int dirFd, const std::string& name, const EntryInfo&) override
    {
        if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0)
            ++m_report.removedEntries;
        else if (errno != ENOENT)
            m_walk.fail("cannot remove the folder", name, errno);
    }
    void mountPoint(int, const std::string& name) override { m_walk.fail("left a mount point in place", name); }

private:
    TreeWalk& m_walk;
    const bool m_countLinks;
    RemovalReport& m_report;
};

// Removes everything below dirFd into report; false when dirFd could not be listed.
bool removeBelow(int dirFd, bool countLinks, RemovalReport& report)
{
    TreeWalk walk;
    Removal removal(walk, countLinks, report);
    const bool listed = walk.walk(dirFd, removal);
    if (!walk.complete())
        refuse(report, walk.problem());
    return listed;
}

} // namespace

TreeRemover::TreeRemover()
    : TreeRemover(Options())
{
}

TreeRemover::TreeRemover(Options options)
    : m_options(options)
{
}

RemovalReport TreeRemover::removeChildren(int dirFd) const
{
    RemovalReport report;
    if (dirFd < 0 || !removeBelow(dirFd, m_options.countLinks, report)) {
        report.listed = false;
        report.complete = false;
        if (report.problem.empty())
            report.problem = "cannot list the folder";
    }
    return report;
}

RemovalReport TreeRemover::removeDirectory(int parentFd, const std::string& name) const
{
    RemovalReport report;
    const auto parent = EntryInfo::of(parentFd);
    const auto info = EntryInfo::at(parentFd, name.c_str());
    if (!parent || !info || !info->isDirectory()) {
        report.listed = false;
        refuse(report, "not a folder: " + name);
        return report;
    }
    if (!info->onMountOf(*parent)) {
        report.listed = false;
        refuse(report, "left a mount point in place: " + name);
        return report;
    }
    UniqueFd child(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const auto opened = child ? EntryInfo::of(child.get()) : std::nullopt;
    if (!opened || !opened->sameObject(*info) || !opened->onMountOf(*parent)) {
        report.listed = false;
        refuse(report, "cannot open the folder: " + name);
        return report;
    }
    removeBelow(child.get(), m_options.countLinks, report);
    child.reset();
    if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0)
        ++report.removedEntries;
    else if (errno != ENOENT && report.complete)
        refuse(report, "cannot remove the folder: " + name + ": " + std::strerror(errno));
    return report;
}

RemovalReport TreeRemover::removeFile(int parentFd, const std::string& name) const
{
    RemovalReport report;
    const auto parent = EntryInfo::of(parentFd);
    const auto info = EntryInfo::at(parentFd, name.c_str());
    if (!parent || !info || info->isDirectory()) {
        refuse(report, "not a file: " + name);
        return report;
    }
    // A file mounted over this name belongs to wherever it was mounted from.
    if (!info->onMountOf(*parent)) {
        refuse(report, "left a mount point in place: " + name);
        return report;
    }
    if (::unlinkat(parentFd, name.c_str(), 0) == 0)
        count(info->st, m_options.countLinks, report);
    else
        refuse(report, "cannot remove: " + name + ": " + std::strerror(errno));
    return report;
}

} // namespace platform
