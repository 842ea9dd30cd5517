#pragma once

#include "platform/security/LocalSessions.h"

namespace platform {

// The sessions systemd-logind records in /run/systemd, read through sd-login. A machine without
// logind has no active local session, so the answer is then false.
class LogindSessions : public LocalSessions
{
public:
    bool isActiveLocal(pid_t pid, uid_t uid) const override;
};

} // namespace platform
