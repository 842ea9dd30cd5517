#pragma once

#include "platform/desktop/UserNotifier.h"

#include <QString>

#include <memory>

class UserDefaults;

// Passes notifications on only while the user allows resource notifications (the General page's
// "Enable Resource Notifications", on unless turned off). Safe from any thread.
class NotificationGate : public platform::UserNotifier
{
public:
    static inline const QString enabledKey = QStringLiteral("notificationsEnabled");

    NotificationGate(std::shared_ptr<platform::UserNotifier> notifier, UserDefaults& defaults);

    void post(const std::string& title, const std::string& body) override;

private:
    std::shared_ptr<platform::UserNotifier> m_notifier;
    UserDefaults& m_defaults;
};
