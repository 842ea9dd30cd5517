#include "NotificationGate.h"

#include "core/UserDefaults.h"

NotificationGate::NotificationGate(std::shared_ptr<platform::UserNotifier> notifier, UserDefaults& defaults)
    : m_notifier(std::move(notifier))
    , m_defaults(defaults)
{
}

void NotificationGate::post(const std::string& title, const std::string& body)
{
    if (m_notifier && m_defaults.boolValue(enabledKey, true))
        m_notifier->post(title, body);
}
