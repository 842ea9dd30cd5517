#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The interface of the default IPv4 route in /proc/net/route text: the up route to 0.0.0.0/0 with the
// lowest metric; the first such line on a tie.
std::optional<std::string> defaultRouteInterface(std::string_view routeText);

// The IPv4 address of the interface that carries the default route: the address other machines on
// the local network reach this one at.
class LocalAddress
{
public:
    explicit LocalAddress(std::string procRoot = "/proc");

    std::optional<std::string> defaultRouteAddress() const;

    // The first IPv4 address of the named interface.
    static std::optional<std::string> ipv4AddressOf(const std::string& interfaceName);

private:
    std::string m_root;
};

} // namespace platform
