#include "InterfaceCounters.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/ProcFiles.h"

#include <charconv>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

InterfaceCounters::InterfaceCounters(std::string sysRoot)
    : m_root(std::move(sysRoot))
{
}

std::optional<std::uint64_t> InterfaceCounters::read(
    UniqueFd& counter, const std::string& interfaceName, const char* file) const
{
    char buffer[32];
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!counter) {
            const std::string path = interfaceName + "/statistics/" + file;
            counter.reset(::openat(m_dir.get(), path.c_str(), O_RDONLY | O_CLOEXEC));
            if (!counter)
                return std::nullopt;
        }
        const ssize_t n = procfiles::rereadInto(counter.get(), buffer, sizeof buffer);
        if (n > 0) {
            std::uint64_t value = 0;
            const auto [end, ec] = std::from_chars(buffer, buffer + n, value);
            if (ec != std::errc() || end == buffer)
                return std::nullopt;
            return value;
        }
        // The interface went away since the file was opened; one of its name may have come since.
        counter.reset();
    }
    return std::nullopt;
}

std::optional<ByteTotals> InterfaceCounters::totals() const
{
    std::lock_guard lock(m_mutex);
    if (!m_dir)
        m_dir.reset(::open((m_root + "/class/net").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_dir || ::lseek(m_dir.get(), 0, SEEK_SET) != 0) {
        m_dir.reset();
        m_interfaces.clear();
        return std::nullopt;
    }
    for (auto& [name, counters] : m_interfaces)
        counters.listed = false;
    const bool complete = DirectoryEntries::forEach(m_dir.get(), [&](std::string_view name, unsigned char) {
        if (name[0] != '.')
            m_interfaces.try_emplace(std::string(name)).first->second.listed = true;
    });
    if (!complete)
        return std::nullopt;
    std::erase_if(m_interfaces, [](const auto& item) { return !item.second.listed; });

    ByteTotals totals;
    for (auto& [name, counters] : m_interfaces) {
        // An interface that vanishes between the listing and the read simply adds nothing.
        totals.received += read(counters.received, name, "rx_bytes").value_or(0);
        totals.sent += read(counters.sent, name, "tx_bytes").value_or(0);
    }
    return totals;
}

} // namespace platform
