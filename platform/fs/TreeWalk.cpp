#include "TreeWalk.h"

#include "platform/io/DirectoryEntries.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {
// Messages name at most the end of a path this long; a deep tree's full path runs to megabytes.
constexpr std::size_t kMaxShownPath = 240;
}

TreeWalk::TreeWalk()
    : TreeWalk(Options())
{
}

TreeWalk::TreeWalk(Options options)
    : m_options(options)
{
    if (m_options.maxOpen < 2)
        m_options.maxOpen = 2;
}

std::string TreeWalk::relativePath(const std::string& name) const
{
    // Built from the deepest folder up, so that a long path costs only the part that is shown.
    std::string path = name;
    for (std::size_t i = m_stack.size(); i-- > 1 && path.size() <= kMaxShownPath;)
        path = m_stack[i].name + "/" + path;
    if (path.size() > kMaxShownPath)
        path = "…" + path.substr(path.size() - kMaxShownPath);
    return path;
}

void TreeWalk::fail(const std::string& what, const std::string& name, int error)
{
    if (!m_problem.empty())
        return;
    m_problem = what + ": " + relativePath(name);
    if (error != 0)
        m_problem += ": " + std::string(std::strerror(error));
}

bool TreeWalk::list(Frame& frame)
{
    return DirectoryEntries::forEach(
        frame.fd.get(), [&](std::string_view name, unsigned char) { frame.names.emplace_back(name); });
}

UniqueFd TreeWalk::openChild(int dirFd, const std::string& name) const
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(dirFd, name.c_str(), flags | (m_options.noAccessTime ? O_NOATIME : 0));
    // O_NOATIME is for the owner of a folder only.
    if (fd < 0 && errno == EPERM && m_options.noAccessTime)
        fd = ::openat(dirFd, name.c_str(), flags);
    return UniqueFd(fd);
}

bool TreeWalk::walk(int dirFd, Visitor& visitor)
{
    m_stack.clear();
    m_problem.clear();
    const auto root = EntryInfo::of(dirFd);
    Frame top;
    // A description of its own: listing from the caller's would move the caller's position.
    top.fd.reset(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root || !top.fd || !root->isDirectory()) {
        fail("cannot open the folder", ".", errno);
        return false;
    }
    m_root = *root;
    top.info = *root;
    if (!list(top)) {
        fail("cannot list the folder", ".", errno);
        return false;
    }
    m_stack.push_back(std::move(top));
    while (!m_stack.empty()) {
        if (m_stack.back().next < m_stack.back().names.size())
            step(visitor);
        else if (!ascend(visitor))
            break;
    }
    m_stack.clear();
    return true;
}

void TreeWalk::step(Visitor& visitor)
{
    Frame& top = m_stack.back();
    const std::string name = std::move(top.names[top.next++]);
    const auto info = EntryInfo::at(top.fd.get(), name.c_str());
    if (!info) {
        if (errno != ENOENT)
            fail("cannot read", name, errno);
        return;
    }
    if (!info->onMountOf(m_root)) {
        visitor.mountPoint(top.fd.get(), name);
        return;
    }
    if (!info->isDirectory()) {
        visitor.entry(top.fd.get(), name, *info);
        return;
    }
    if (!visitor.enter(top.fd.get(), name, *info))
        return;

    Frame child;
    child.fd = openChild(top.fd.get(), name);
    if (!child.fd) {
        if (errno != ENOENT)
            fail("cannot open", name, errno);
        return;
    }
    // The folder may have been swapped for another, or for a mount point, since it was looked at.
    const auto opened = EntryInfo::of(child.fd.get());
    if (!opened || !opened->sameObject(*info) || !opened->onMountOf(m_root)) {
        fail("changed while it was walked", name);
        return;
    }
    child.info = *opened;
    child.name = name;
    if (!list(child))
        fail("cannot list", name, errno);
    m_stack.push_back(std::move(child));
    // Only the deepest folders keep their descriptors; the starting folder keeps its own.
    if (m_stack.size() > m_options.maxOpen + 1)
        m_stack[m_stack.size() - 1 - m_options.maxOpen].fd.reset();
}

bool TreeWalk::ascend(Visitor& visitor)
{
    if (m_stack.size() == 1) {
        m_stack.pop_back();
        return true;
    }
    Frame done = std::move(m_stack.back());
    m_stack.pop_back();
    Frame& parent = m_stack.back();
    if (!parent.fd) {
        UniqueFd up(::openat(done.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const auto info = up ? EntryInfo::of(up.get()) : std::nullopt;
        if (!info || !info->sameObject(parent.info) || !info->onMountOf(m_root)) {
            // The tree was moved under the walk: going on could act on folders outside it.
            m_stack.push_back(std::move(done));
            fail("a folder was moved while it was walked", "..");
            return false;
        }
        parent.fd = std::move(up);
    }
    done.fd.reset();
    visitor.leave(parent.fd.get(), done.name, done.info);
    return true;
}

} // namespace platform
