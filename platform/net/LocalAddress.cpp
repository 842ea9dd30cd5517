#include "LocalAddress.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/io/UniqueFd.h"

#include <cstring>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace platform {

std::optional<std::string> defaultRouteInterface(std::string_view routeText)
{
    constexpr unsigned routeUp = 0x1;
    std::optional<std::string> best;
    long bestMetric = 0;
    textfields::takeLine(routeText); // the header
    while (!routeText.empty()) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const auto f = textfields::split(textfields::takeLine(routeText));
        if (f.size() < 8)
            continue;
        const auto destination = textfields::parseNumber<unsigned long>(f[1], 16);
        const auto flags = textfields::parseNumber<unsigned>(f[3], 16);
        const auto metric = textfields::parseNumber<long>(f[6], 10);
        const auto mask = textfields::parseNumber<unsigned long>(f[7], 16);
        if (!destination || !flags || !metric || !mask || *destination != 0 || *mask != 0 || !(*flags & routeUp))
            continue;
        if (!best || *metric < bestMetric) {
            best = std::string(f[0]);
            bestMetric = *metric;
        }
    }
    return best;
}

LocalAddress::LocalAddress(std::string procRoot)
    : m_root(std::move(procRoot))
{
}

std::optional<std::string> LocalAddress::defaultRouteAddress() const
{
    const auto text = procfiles::readText(m_root + "/net/route");
    if (!text)
        return std::nullopt;
    const auto interfaceName = defaultRouteInterface(*text);
    if (!interfaceName)
        return std::nullopt;
    return ipv4AddressOf(*interfaceName);
}

std::optional<std::string> LocalAddress::ipv4AddressOf(const std::string& interfaceName)
{
    // Asks for the one interface instead of dumping them all as getifaddrs does; the answer is the same
    // first address (the primary one) carrying that name.
    ifreq request {};
    if (interfaceName.empty() || interfaceName.size() >= sizeof request.ifr_name)
        return std::nullopt;
    interfaceName.copy(request.ifr_name, interfaceName.size());
    request.ifr_addr.sa_family = AF_INET;
    const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd || ::ioctl(fd.get(), SIOCGIFADDR, &request) != 0 || request.ifr_addr.sa_family != AF_INET)
        return std::nullopt;
    sockaddr_in address {};
    std::memcpy(&address, &request.ifr_addr, sizeof address);
    char host[INET_ADDRSTRLEN];
    if (!::inet_ntop(AF_INET, &address.sin_addr, host, sizeof host))
        return std::nullopt;
    return std::string(host);
}

} // namespace platform
