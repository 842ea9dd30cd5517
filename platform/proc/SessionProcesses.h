#pragma once

#include "SessionEnvironment.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace platform {

// The processes the desktop session cannot do without, found by what they do rather than by name:
// - the display servers: holders of the listening X socket of DISPLAY (file or abstract) and of the
//   Wayland socket, and their ancestors up to, not including, pid 1;
// - the session bus daemons, holders of the session bus socket, and their ancestors;
// - the user's systemd manager (the init.scope of user@<uid>.service);
// - in the login session's scope that holds the graphical session (the display servers' scope, or
//   session-$XDG_SESSION_ID.scope), the ancestors of the display servers, the bus daemons and the
//   programs the caller names as session programs: the display manager's session helpers, startx,
//   xinit, the Xsession script and the wrappers it starts the session manager through.
// Only the user's own descriptors are searched: other users' cannot be read. One read walks the
// process table and the user's descriptors once, so it belongs where a freeze is about to happen.
class SessionProcesses
{
public:
    // Ordered from the strongest: a process with several roles is given the first.
    enum class Role {
        displayServer, // stopping it stops every window and all input
        runsDisplayServer, // an ancestor of a display server
        sessionService,
    };
    using Roles = std::map<int, Role>;
    using IsSessionProgram = std::function<bool(const std::string& name)>;

    SessionProcesses(std::string procRoot, SessionEnvironment environment, uid_t user);

    Roles read(const IsSessionProgram& isSessionProgram = {}) const;

    // The cgroup a /proc/pid/cgroup text puts the process in: the unified hierarchy's path, or that of
    // systemd's named hierarchy on a legacy layout.
    static std::string cgroupPath(std::string_view procCgroup);

private:
    struct Node;
    using Table = std::map<int, Node>;
    Table readTable() const;
    void markAncestors(const Table& table, int pid, Role role, Roles& roles, const std::string* withinScope) const;

    std::string m_root;
    SessionEnvironment m_environment;
    uid_t m_user;
};

} // namespace platform
