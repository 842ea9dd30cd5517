#include "SessionEnvironment.h"

#include "platform/io/TextFields.h"

#include <cstdlib>

namespace platform {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The path without a trailing slash, so that a runtime folder given as "/run/user/1000/" still
// names the socket the way the server bound it.
std::string joined(std::string_view folder, std::string_view name)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return std::string(folder) + "/" + std::string(name);
}

// D-Bus escapes every byte outside a small set as %xx.
std::string unescaped(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string_view hex = value[i] == '%' ? value.substr(i + 1, 2) : std::string_view();
        const auto byte = hex.size() == 2 ? textfields::parseNumber<unsigned char>(hex, 16) : std::nullopt;
        if (byte) {
            out += static_cast<char>(*byte);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

} // namespace

SessionEnvironment SessionEnvironment::current()
{
    SessionEnvironment e;
    e.display = variable("DISPLAY");
    e.waylandDisplay = variable("WAYLAND_DISPLAY");
    e.runtimeDir = variable("XDG_RUNTIME_DIR");
    e.sessionBusAddress = variable("DBUS_SESSION_BUS_ADDRESS");
    e.sessionId = variable("XDG_SESSION_ID");
    return e;
}

std::optional<int> SessionEnvironment::displayNumber(std::string_view display)
{
    const auto colon = display.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto host = display.substr(0, colon);
    if (!host.empty() && host != "unix")
        return std::nullopt;
    auto number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    const auto value = textfields::parseNumber<int>(number);
    if (!value || *value < 0)
        return std::nullopt;
    return value;
}

std::vector<std::string> SessionEnvironment::unixSocketsOfBusAddress(std::string_view address)
{
    std::vector<std::string> sockets;
    while (!address.empty()) {
        const auto end = address.find(';');
        std::string_view entry = address.substr(0, end);
        address = end == std::string_view::npos ? std::string_view() : address.substr(end + 1);
        if (entry.substr(0, 5) != "unix:")
            continue;
        entry.remove_prefix(5);
        while (!entry.empty()) {
            const auto comma = entry.find(',');
            const std::string_view pair = entry.substr(0, comma);
            entry = comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1);
            if (pair.substr(0, 5) == "path=" && pair.size() > 5)
                sockets.push_back(unescaped(pair.substr(5)));
            else if (pair.substr(0, 9) == "abstract=" && pair.size() > 9)
                sockets.push_back("@" + unescaped(pair.substr(9)));
        }
    }
    return sockets;
}

std::vector<std::string> SessionEnvironment::displaySockets() const
{
    std::vector<std::string> sockets;
    if (const auto number = displayNumber(display)) {
        const std::string x = joined(xSocketDir, "X" + std::to_string(*number));
        sockets.push_back(x);
        sockets.push_back("@" + x);
    }
    const std::string wayland = waylandDisplay.empty() ? "wayland-0" : waylandDisplay;
    if (wayland.front() == '/')
        sockets.push_back(wayland);
    else if (!runtimeDir.empty())
        sockets.push_back(joined(runtimeDir, wayland));
    return sockets;
}

std::vector<std::string> SessionEnvironment::sessionBusSockets() const
{
    if (!sessionBusAddress.empty())
        return unixSocketsOfBusAddress(sessionBusAddress);
    if (runtimeDir.empty())
        return {};
    return {joined(runtimeDir, "bus")};
}

} // namespace platform
