#pragma once

#include "UserNotifier.h"

namespace platform {

// Notifications through org.freedesktop.Notifications on the session bus. The request is sent without
// waiting for an answer; with no session bus or no notification service nothing is shown.
class DesktopNotifier : public UserNotifier
{
public:
    explicit DesktopNotifier(std::string applicationName = "Quorvane Pro");

    void post(const std::string& title, const std::string& body) override;

private:
    const std::string m_applicationName;
};

} // namespace platform
