#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where the desktop session this program runs in is reached: the values of DISPLAY, WAYLAND_DISPLAY,
// XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS and XDG_SESSION_ID, and the folder X keeps its sockets in.
struct SessionEnvironment
{
    std::string display;
    std::string waylandDisplay;
    std::string runtimeDir;
    std::string sessionBusAddress;
    std::string sessionId;
    std::string xSocketDir = "/tmp/.X11-unix";

    // This process's own environment.
    static SessionEnvironment current();

    // The listening sockets the display servers hold, as /proc/net/unix names them (an abstract one
    // starts with "@"): X's file and abstract socket for DISPLAY, and the Wayland socket (libwayland's
    // "wayland-0" when WAYLAND_DISPLAY is unset).
    std::vector<std::string> displaySockets() const;
    // The session bus's sockets; $XDG_RUNTIME_DIR/bus when no address is set, as sd-bus and libdbus assume.
    std::vector<std::string> sessionBusSockets() const;

    // The display number of a local X display (":0", ":1.0", "unix:2"); nothing for a display reached
    // over TCP ("localhost:10.0", as ssh's forwarding sets it) or an unreadable value.
    static std::optional<int> displayNumber(std::string_view display);
    // The Unix sockets of a D-Bus address list ("unix:path=...;unix:abstract=...,guid=..."), unescaped.
    static std::vector<std::string> unixSocketsOfBusAddress(std::string_view address);
};

} // namespace platform
