#pragma once

#include "engines/RunningProcess.h"

#include "platform/proc/ProcessTable.h"
#include "platform/proc/SessionProcesses.h"
#include "platform/x11/WindowManagerReader.h"

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

// The processes nothing in this program suspends, neither the battery watchdog nor the user's own
// freeze buttons: the never-pause whitelist (compared in lower case), this program and the helper
// with their ancestors, processes of other users, the programs the desktop session needs by name,
// and whatever serves the session by its role (SessionProcesses: the display servers and their
// ancestors, the session bus, the user's service manager; the X display's window managers), since
// a name list is never complete.
class WatchdogExclusions
{
public:
    enum class Reason {
        none,
        thisProgram,
        runsThisProgram, // an ancestor of this program: stopping it could stop this program too
        helper, // the helper or one of its ancestors
        display, // holds the display's socket
        runsDisplay, // an ancestor of the display server
        windowManager, // manages the X display's windows
        session,
        neverPause,
        otherUser,
    };

    // windowManagers: who manages the display's windows; nullptr when nothing can be asked.
    WatchdogExclusions(std::string procRoot, pid_t self, uid_t user,
        platform::SessionEnvironment session = platform::SessionEnvironment::current(),
        std::shared_ptr<const platform::WindowManagerReader> windowManagers = nullptr);

    // Works out the protected ancestors for one run; call before excludes() with that run's snapshot.
    void prepare(const std::vector<RunningProcess>& snapshot, const std::vector<std::string>& neverPauseWhitelist);
    bool excludes(const RunningProcess& process) const { return reasonFor(process) != Reason::none; }
    // Why the process is left alone; a process whose table entry has another name than the one given
    // is judged by both names. The session's roles are looked up only for a process no cheaper rule
    // spares, and are read again at most every few seconds.
    Reason reasonFor(const RunningProcess& process) const;
    // Why a freeze was refused, in a few words ("it belongs to another user").
    static std::string describe(Reason reason);

    // Display servers and compositors, audio servers, session and login managers, input methods,
    // portals, keyrings, the accessibility bus, polkit agents, terminal emulators, shells, desktop
    // panels, and this program's own executables. Any xdg-desktop-portal back end is spared as well.
    static const std::set<std::string>& sessionProcessNames();
    // Lower case as the whitelist comparison wants it, for any script, independent of the locale.
    static std::string lowercased(const std::string& name);

private:
    void addWithAncestors(int pid, std::set<int>& chain) const;
    Reason reasonForName(const std::string& name) const;
    Reason reasonForRole(int pid) const;

    platform::ProcessTable m_table;
    const pid_t m_self;
    const uid_t m_user;
    std::set<std::string> m_whitelist;
    std::set<int> m_ownChain; // this program and its ancestors
    std::set<int> m_helperChain;
    const platform::SessionProcesses m_session;
    const std::shared_ptr<const platform::WindowManagerReader> m_windowManagers;
    mutable std::optional<platform::SessionProcesses::Roles> m_roles;
    mutable std::set<int> m_windowManagerPids;
    mutable std::chrono::steady_clock::time_point m_rolesReadAt;
};
