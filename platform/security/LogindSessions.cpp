#include "platform/security/LogindSessions.h"

#include <systemd/sd-login.h>

#include <cstdlib>
#include <memory>

namespace platform {

bool LogindSessions::isActiveLocal(pid_t pid, uid_t uid) const
{
    char* name = nullptr;
    int found = pid > 0 ? sd_pid_get_session(pid, &name) : -1;
    if (found < 0 || !name)
        found = sd_uid_get_display(uid, &name);
    if (found < 0 || !name)
        return false;
    const std::unique_ptr<char, decltype(&std::free)> session(name, &std::free);

    uid_t owner = 0;
    if (sd_session_get_uid(session.get(), &owner) < 0 || owner != uid)
        return false;
    return sd_session_is_active(session.get()) > 0 && sd_session_is_remote(session.get()) == 0;
}

} // namespace platform
