#pragma once

#include <vector>

namespace platform {

// Which processes manage the windows of the display. An X window manager reaches the display only
// as one of its clients, so no socket it holds tells it apart; the display itself knows.
class WindowManagerReader
{
public:
    virtual ~WindowManagerReader() = default;
    // The pids of the window managers; empty when there is no display to ask or nothing tells.
    virtual std::vector<int> windowManagerPids() const = 0;
};

} // namespace platform
