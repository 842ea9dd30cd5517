#pragma once

namespace platform {

// Keeps the machine from going to sleep while the user is idle, for as long as it is held.
class SleepInhibitor
{
public:
    virtual ~SleepInhibitor() = default;

    // Takes the inhibitor; false when the system refused it or has no service for it.
    virtual bool acquire() = 0;
    // Gives it back; nothing happens when none is held.
    virtual void release() = 0;
};

} // namespace platform
