#include "InterfaceCounters.h"

#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

std::optional<std::uint64_t> readCounter(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[32];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(buffer, buffer + n, value);
    if (ec != std::errc() || end == buffer)
        return std::nullopt;
    return value;
}

} // namespace

InterfaceCounters::InterfaceCounters(std::string sysRoot)
    : m_root(std::move(sysRoot))
{
}

std::optional<ByteTotals> InterfaceCounters::totals() const
{
    const std::string base = m_root + "/class/net/";
    DIR* dir = ::opendir(base.c_str());
    if (!dir)
        return std::nullopt;
    ByteTotals totals;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string stats = base + entry->d_name + "/statistics/";
        // An interface that vanishes between the listing and the read simply adds nothing.
        totals.received += readCounter(stats + "rx_bytes").value_or(0);
        totals.sent += readCounter(stats + "tx_bytes").value_or(0);
    }
    ::closedir(dir);
    return totals;
}

} // namespace platform
