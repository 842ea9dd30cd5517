#include "LocalAddress.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <vector>

namespace platform {

std::optional<std::string> defaultRouteInterface(std::string_view routeText)
{
    constexpr unsigned routeUp = 0x1;
    std::optional<std::string> best;
    long bestMetric = 0;
    bool header = true;
    while (!routeText.empty()) {
        const std::size_t newline = routeText.find('\n');
        const std::string_view line = routeText.substr(0, newline);
        routeText = newline == std::string_view::npos ? std::string_view() : routeText.substr(newline + 1);
        if (header) {
            header = false;
            continue;
        }
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const auto f = textfields::split(line);
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
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    std::optional<std::string> address;
    for (ifaddrs* entry = list; entry && !address; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || interfaceName != entry->ifa_name)
            continue;
        char host[NI_MAXHOST];
        if (::getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0)
            address = host;
    }
    ::freeifaddrs(list);
    return address;
}

} // namespace platform
