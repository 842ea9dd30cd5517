#pragma once

#include "platform/proc/SessionEnvironment.h"
#include "platform/x11/WindowManagerReader.h"

#include <memory>

// The window managers of the session's X display, asked through the X connection of the program's
// own windows when they are on that display, else through a connection of its own. Nothing when
// there is no local X display, or in a Wayland session whose X server may run only on demand:
// asking would start it, and the compositor that manages the windows there is spared as the
// display server.
std::shared_ptr<const platform::WindowManagerReader> sessionWindowManagers(const platform::SessionEnvironment& session);
