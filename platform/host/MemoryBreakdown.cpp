#include "MemoryBreakdown.h"

#include "VmStatistics.h"
#include "platform/io/ProcFiles.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace platform {

namespace {

std::optional<std::uint64_t> unsignedNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

MemoryBreakdown::MemoryBreakdown(std::string procRoot, std::string sysRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
{
}

std::optional<std::uint64_t> MemoryBreakdown::zramMemoryUsed(std::string_view mmStat)
{
    // orig_data_size compr_data_size mem_used_total ...
    for (int field = 0; field < 3; ++field) {
        const auto start = mmStat.find_first_not_of(" \t\n");
        if (start == std::string_view::npos)
            return std::nullopt;
        mmStat.remove_prefix(start);
        const auto end = std::min(mmStat.find_first_of(" \t\n"), mmStat.size());
        if (field == 2)
            return unsignedNumber(mmStat.substr(0, end));
        mmStat.remove_prefix(end);
    }
    return std::nullopt;
}

std::optional<MemoryUse> MemoryBreakdown::parse(
    std::string_view meminfo, bool zswapEnabled, const std::vector<std::uint64_t>& zramUsedBytes)
{
    // Counted in pages of one byte, VmStatistics gives the wired and the other used memory in bytes.
    const VmSample sample = VmStatistics::parse(meminfo, {}, 1);
    if (!sample.counts)
        return std::nullopt;
    MemoryUse use;
    use.wiredBytes = sample.counts->wired;
    const auto anon = VmStatistics::meminfoBytes(meminfo, "AnonPages");
    const auto shmem = VmStatistics::meminfoBytes(meminfo, "Shmem");
    use.programBytes = anon && shmem ? *anon + *shmem : sample.counts->active;

    std::optional<std::uint64_t> compressed;
    const auto zswap = VmStatistics::meminfoBytes(meminfo, "Zswap");
    if (zswap && (zswapEnabled || *zswap > 0))
        compressed = *zswap;
    for (const std::uint64_t used : zramUsedBytes)
        compressed = compressed.value_or(0) + used;
    use.compressedBytes = compressed;
    return use;
}

std::vector<std::uint64_t> MemoryBreakdown::zramDevices() const
{
    std::vector<std::uint64_t> used;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_sys + "/block", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("zram", 0) != 0)
            continue;
        // A device that was never given a size holds nothing and is not in use.
        const auto size = unsignedNumber(procfiles::readTrimmed(entry.path().string() + "/disksize"));
        if (!size || *size == 0)
            continue;
        if (const auto text = procfiles::readText(entry.path().string() + "/mm_stat"))
            if (const auto bytes = zramMemoryUsed(*text))
                used.push_back(*bytes);
    }
    return used;
}

std::optional<MemoryUse> MemoryBreakdown::read() const
{
    const auto meminfo = procfiles::readText(m_proc + "/meminfo");
    if (!meminfo)
        return std::nullopt;
    const std::string zswap = procfiles::readTrimmed(m_sys + "/module/zswap/parameters/enabled");
    return parse(*meminfo, zswap == "Y" || zswap == "1", zramDevices());
}

} // namespace platform
