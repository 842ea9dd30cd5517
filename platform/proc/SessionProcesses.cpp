#include "SessionProcesses.h"

#include "ProcessTable.h"
#include "UnixSocketTable.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/io/UniqueFd.h"
#include "platform/net/TcpConnections.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

struct SessionProcesses::Node
{
    int ppid = 0;
    uid_t uid = 0;
    std::string name;
    std::string cgroup; // read for the user's processes only
    bool holdsDisplay = false;
    bool holdsBus = false;
};

namespace {

enum class Holds { display, bus };
using WantedSockets = std::unordered_map<std::uint64_t, Holds>;

// A parent chain ends at pid 1; the bound only guards against a table read while it changed.
constexpr int kMaxDepth = 4096;

bool contains(const std::vector<std::string>& list, const std::string& value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::string_view lastComponent(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isLoginScope(std::string_view cgroup)
{
    const auto name = lastComponent(cgroup);
    return name.starts_with("session-") && name.ends_with(".scope");
}

// Which of the wanted sockets the process holds a descriptor of.
std::set<Holds> heldSockets(int procFd, const std::string& pidText, const WantedSockets& wanted)
{
    std::set<Holds> held;
    const UniqueFd fds(::openat(procFd, (pidText + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fds)
        return held; // gone, or not ours to read
    DirectoryEntries::forEach(fds.get(), [&](std::string_view name, unsigned char) {
        char target[64];
        const ssize_t n = ::readlinkat(fds.get(), std::string(name).c_str(), target, sizeof target);
        if (n <= 0)
            return;
        const auto inode = socketInode(std::string_view(target, static_cast<std::size_t>(n)));
        if (!inode)
            return;
        if (const auto found = wanted.find(*inode); found != wanted.end())
            held.insert(found->second);
    });
    return held;
}

void mark(SessionProcesses::Roles& roles, int pid, SessionProcesses::Role role)
{
    const auto [entry, added] = roles.emplace(pid, role);
    if (!added && role < entry->second)
        entry->second = role;
}

} // namespace

SessionProcesses::SessionProcesses(std::string procRoot, SessionEnvironment environment, uid_t user)
    : m_root(std::move(procRoot))
    , m_environment(std::move(environment))
    , m_user(user)
{
}

std::string SessionProcesses::cgroupPath(std::string_view procCgroup)
{
    std::string_view named;
    while (!procCgroup.empty()) {
        const std::string_view line = textfields::takeLine(procCgroup);
        if (line.starts_with("0::"))
            return std::string(line.substr(3));
        if (const auto at = line.find(":name=systemd:"); at != std::string_view::npos)
            named = line.substr(at + 14);
    }
    return std::string(named);
}

SessionProcesses::Table SessionProcesses::readTable() const
{
    WantedSockets wanted;
    const auto display = m_environment.displaySockets();
    const auto bus = m_environment.sessionBusSockets();
    for (const auto& socket : UnixSocketTable(m_root).listening()) {
        if (contains(display, socket.path))
            wanted.emplace(socket.inode, Holds::display);
        else if (contains(bus, socket.path))
            wanted.emplace(socket.inode, Holds::bus);
    }

    Table table;
    for (auto& process : ProcessTable(m_root).list())
        table.emplace(process.pid, Node {process.ppid, process.uid, std::move(process.name), {}, false, false});
    const UniqueFd procFd(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!procFd)
        return table;
    for (auto& [pid, node] : table) {
        if (node.uid != m_user)
            continue;
        const std::string pidText = std::to_string(pid);
        char text[8192];
        const ssize_t n = procfiles::readInto(procFd.get(), (pidText + "/cgroup").c_str(), text, sizeof text);
        if (n > 0)
            node.cgroup = cgroupPath(std::string_view(text, static_cast<std::size_t>(n)));
        if (wanted.empty())
            continue;
        const auto held = heldSockets(procFd.get(), pidText, wanted);
        node.holdsDisplay = held.contains(Holds::display);
        node.holdsBus = held.contains(Holds::bus);
    }
    return table;
}

void SessionProcesses::markAncestors(
    const Table& table, int pid, Role role, Roles& roles, const std::string* withinScope) const
{
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const auto self = table.find(pid);
        if (self == table.end() || self->second.ppid <= 1)
            return;
        pid = self->second.ppid;
        const auto parent = table.find(pid);
        if (parent == table.end() || (withinScope && parent->second.cgroup != *withinScope))
            return;
        mark(roles, pid, role);
    }
}

SessionProcesses::Roles SessionProcesses::read(const IsSessionProgram& isSessionProgram) const
{
    const Table table = readTable();
    const std::string userManager = "/user@" + std::to_string(m_user) + ".service/init.scope";
    Roles roles;
    for (const auto& [pid, node] : table) {
        if (node.holdsDisplay) {
            mark(roles, pid, Role::displayServer);
            markAncestors(table, pid, Role::runsDisplayServer, roles, nullptr);
        }
        if (node.holdsBus) {
            mark(roles, pid, Role::sessionService);
            markAncestors(table, pid, Role::sessionService, roles, nullptr);
        }
        if (node.uid == m_user && node.cgroup.ends_with(userManager))
            mark(roles, pid, Role::sessionService);
    }

    // The login session's scope of the graphical session: where its display servers run or were
    // started from, or the scope of this program's own session.
    std::set<std::string> scopes;
    const std::string ownScope = m_environment.sessionId.empty() ? "" : "session-" + m_environment.sessionId + ".scope";
    for (const auto& [pid, node] : table) {
        if (!isLoginScope(node.cgroup))
            continue;
        const auto role = roles.find(pid);
        const bool holdsDisplay = role != roles.end() && role->second != Role::sessionService;
        if (holdsDisplay || (!ownScope.empty() && lastComponent(node.cgroup) == ownScope))
            scopes.insert(node.cgroup);
    }
    for (const auto& [pid, node] : table) {
        if (!scopes.contains(node.cgroup))
            continue;
        if (node.holdsDisplay || node.holdsBus || (isSessionProgram && isSessionProgram(node.name)))
            markAncestors(table, pid, Role::sessionService, roles, &node.cgroup);
    }
    return roles;
}

} // namespace platform
