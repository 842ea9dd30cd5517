#include "platform/proc/SocketHolders.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/ResourceShortage.h"
#include "platform/io/TextFields.h"
#include "platform/io/UniqueFd.h"
#include "platform/proc/ProcessTable.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

SocketHolders::SocketHolders(std::string procRoot)
    : m_root(std::move(procRoot))
{
}

namespace {

std::optional<pid_t> pidOf(std::string_view text)
{
    const auto pid = textfields::parseNumber<pid_t>(text);
    return pid && *pid > 0 ? pid : std::nullopt;
}

} // namespace

bool SocketHolders::holds(int procFd, pid_t pid, const std::string& wanted, bool& unsure)
{
    const UniqueFd fds(::openat(procFd, (std::to_string(pid) + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fds.valid()) {
        unsure = unsure || isShortOfResources(errno);
        return false;
    }
    bool found = false;
    char target[64];
    DirectoryEntries::forEach(fds.get(), [&](std::string_view fd, unsigned char) {
        if (found)
            return;
        const ssize_t n = ::readlinkat(fds.get(), std::string(fd).c_str(), target, sizeof target);
        found = n == ssize_t(wanted.size()) && std::memcmp(target, wanted.data(), wanted.size()) == 0;
    });
    return found;
}

std::optional<std::vector<pid_t>> SocketHolders::childrenOf(int procFd, pid_t pid, bool& unsure) const
{
    const UniqueFd tasks(::openat(procFd, (std::to_string(pid) + "/task").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!tasks.valid()) {
        unsure = unsure || isShortOfResources(errno);
        return std::vector<pid_t>(); // gone meanwhile
    }
    std::vector<pid_t> children;
    bool listed = false;
    DirectoryEntries::forEach(tasks.get(), [&](std::string_view task, unsigned char) {
        const auto text
            = procfiles::readText(m_root + "/" + std::to_string(pid) + "/task/" + std::string(task) + "/children");
        if (!text) {
            unsure = unsure || isShortOfResources(errno);
            return;
        }
        listed = true;
        for (const std::string_view field : textfields::split(*text)) {
            if (const auto child = pidOf(field))
                children.push_back(*child);
        }
    });
    if (!listed)
        return std::nullopt;
    return children;
}

bool SocketHolders::heldByDescendant(int procFd, pid_t pid, const std::string& wanted, bool& unsure) const
{
    // Without children lists: every holder, then whether `pid` is among its parents.
    bool found = false;
    ProcessTable table(m_root);
    DirectoryEntries::forEach(procFd, [&](std::string_view name, unsigned char) {
        const auto holder = pidOf(name);
        if (found || !holder || !holds(procFd, *holder, wanted, unsure))
            return;
        for (auto info = table.info(*holder); info && info->ppid > 0 && !found; info = table.info(info->ppid))
            found = info->ppid == pid;
    });
    return found;
}

std::optional<bool> SocketHolders::heldWithin(std::uint64_t inode, pid_t pid) const
{
    if (pid <= 0)
        return false;
    const std::string wanted = "socket:[" + std::to_string(inode) + "]";
    const UniqueFd proc(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc.valid())
        return isShortOfResources(errno) ? std::nullopt : std::optional<bool>(false);
    bool unsure = false;
    const auto answer = [&](bool found) { return found || !unsure ? std::optional<bool>(found) : std::nullopt; };
    std::vector<pid_t> pending {pid};
    for (std::size_t next = 0; next < pending.size() && pending.size() < 65536; ++next) {
        if (holds(proc.get(), pending[next], wanted, unsure))
            return true;
        const auto children = childrenOf(proc.get(), pending[next], unsure);
        if (!children)
            return answer(heldByDescendant(proc.get(), pid, wanted, unsure));
        pending.insert(pending.end(), children->begin(), children->end());
    }
    return answer(false);
}

} // namespace platform
