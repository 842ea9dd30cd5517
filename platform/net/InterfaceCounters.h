#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct ByteTotals
{
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    bool operator==(const ByteTotals&) const = default;
};

// Bytes sent and received, summed over every interface in /sys/class/net (64-bit kernel counters).
class InterfaceCounters
{
public:
    explicit InterfaceCounters(std::string sysRoot = "/sys");

    // Nothing when the interface list cannot be read.
    std::optional<ByteTotals> totals() const;

private:
    std::string m_root;
};

} // namespace platform
