#pragma once

#include <string>

namespace platform {

// Shows the user a short desktop notification. Never blocks for long and never fails loudly: with no
// notification service the message is dropped.
class UserNotifier
{
public:
    virtual ~UserNotifier() = default;

    virtual void post(const std::string& title, const std::string& body) = 0;
};

} // namespace platform
