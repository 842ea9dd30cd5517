#pragma once

#include "SleepInhibitor.h"

#include <mutex>
#include <string>

namespace platform {

// An "idle:sleep" block inhibitor of systemd-logind on the system bus. logind hands back a descriptor;
// the inhibitor holds while it is open and ends when it is closed (or the program ends).
class LogindSleepInhibitor : public SleepInhibitor
{
public:
    LogindSleepInhibitor(std::string who = "Quorvane Pro", std::string why = "AI First Mode active");
    ~LogindSleepInhibitor() override;

    // Without a system bus or logind: one console line, and false.
    bool acquire() override;
    void release() override;

private:
    const std::string m_who;
    const std::string m_why;
    std::mutex m_mutex;
    int m_fd = -1;
};

} // namespace platform
