#pragma once

#include "platform/io/UniqueFd.h"

#include <cstdint>
#include <map>
#include <mutex>
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
// The counter files stay open between calls and are read again in place; an interface that went away
// is dropped, and one that came back under its name is opened afresh. Thread-safe.
class InterfaceCounters
{
public:
    explicit InterfaceCounters(std::string sysRoot = "/sys");

    // Nothing when the interface list cannot be read.
    std::optional<ByteTotals> totals() const;

private:
    struct Counters
    {
        UniqueFd received;
        UniqueFd sent;
        bool listed = false;
    };
    std::optional<std::uint64_t> read(UniqueFd& counter, const std::string& interfaceName, const char* file) const;

    std::string m_root;
    mutable std::mutex m_mutex;
    mutable UniqueFd m_dir;
    mutable std::map<std::string, Counters, std::less<>> m_interfaces;
};

} // namespace platform
