#pragma once

#include "settings/NotificationPermission.h"

#include <atomic>

// A notification service that answers as told, counting the questions.
class FakeNotifications : public NotificationPermission
{
public:
    bool answer = true;
    std::atomic<int> asks {0};
    bool request() override
    {
        ++asks;
        return answer;
    }
};
