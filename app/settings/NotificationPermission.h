#pragma once

// Whether the program may show notifications. Linux asks no question: notifications are allowed when
// the desktop's notification service answers. Blocking, so views call it from a worker.
class NotificationPermission
{
public:
    virtual ~NotificationPermission() = default;
    virtual bool request() = 0;
};

// org.freedesktop.Notifications on the session bus: allowed when GetServerInformation answers.
class DBusNotificationPermission : public NotificationPermission
{
public:
    bool request() override;
};
