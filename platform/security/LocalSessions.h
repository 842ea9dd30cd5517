#pragma once

#include <sys/types.h>

namespace platform {

// Whether a caller sits at this machine, the rule polkit calls "allow_active": its login session is
// the active one of its seat and not a remote (ssh) one. Actions that touch the whole machine are
// kept to such callers.
class LocalSessions
{
public:
    virtual ~LocalSessions() = default;
    // The session of process `pid` (of user `uid`); for a process outside any session (-1, or one a
    // desktop started as a user service) the session that user's display belongs to.
    virtual bool isActiveLocal(pid_t pid, uid_t uid) const = 0;
};

// The same answer for every caller, for tests.
class FixedLocalSessions : public LocalSessions
{
public:
    explicit FixedLocalSessions(bool answer)
        : m_answer(answer)
    {
    }
    bool isActiveLocal(pid_t, uid_t) const override { return m_answer; }

private:
    bool m_answer;
};

} // namespace platform
