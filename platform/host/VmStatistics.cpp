#include "VmStatistics.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <charconv>

#include <unistd.h>

namespace platform {

namespace {

// The text after "key" at the start of a line, up to the end of that line.
std::optional<std::string_view> lineValue(std::string_view text, std::string_view key)
{
    while (!text.empty()) {
        const std::string_view line = textfields::takeLine(text);
        if (line.size() > key.size() && line.substr(0, key.size()) == key)
            return line.substr(key.size());
    }
    return std::nullopt;
}

std::optional<std::uint64_t> number(std::string_view text)
{
    text = asciiTrimmed(text);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

VmStatistics::VmStatistics(std::string procRoot, std::uint64_t pageSize)
    : m_root(std::move(procRoot))
    , m_pageSize(pageSize > 0 ? pageSize : 4096)
{
}

std::uint64_t VmStatistics::systemPageSize()
{
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

std::optional<std::uint64_t> VmStatistics::meminfoBytes(std::string_view meminfo, std::string_view key)
{
    const std::string withColon = std::string(key) + ":";
    auto value = lineValue(meminfo, withColon);
    if (!value)
        return std::nullopt;
    std::string_view text = asciiTrimmed(*value);
    std::uint64_t scale = 1;
    if (text.size() > 2 && text.substr(text.size() - 2) == "kB") {
        text.remove_suffix(2);
        scale = 1024;
    }
    const auto n = number(text);
    if (!n)
        return std::nullopt;
    return *n * scale;
}

VmSample VmStatistics::parse(std::string_view meminfo, std::string_view vmstat, std::uint64_t pageSize)
{
    VmSample sample;
    if (pageSize == 0)
        pageSize = 4096;
    sample.memTotalBytes = meminfoBytes(meminfo, "MemTotal");

    const auto memFree = meminfoBytes(meminfo, "MemFree");
    if (sample.memTotalBytes && memFree) {
        const std::uint64_t total = *sample.memTotalBytes;
        const std::uint64_t available = std::min(meminfoBytes(meminfo, "MemAvailable").value_or(*memFree), total);
        const auto pages = [pageSize](std::optional<std::uint64_t> bytes) { return bytes.value_or(0) / pageSize; };
        const std::uint64_t inUse = pages(total - available);
        VmCounts c;
        c.free = pages(memFree);
        c.inactive = available > *memFree ? pages(available - *memFree) : 0;
        c.wired = std::min(inUse,
            pages(meminfoBytes(meminfo, "Unevictable")) + pages(meminfoBytes(meminfo, "SUnreclaim"))
                + pages(meminfoBytes(meminfo, "KernelStack")) + pages(meminfoBytes(meminfo, "PageTables")));
        c.active = inUse - c.wired;
        if (const auto zs = lineValue(vmstat, "nr_zspages "))
            c.compressed = number(*zs).value_or(0);
        sample.counts = c;
    }

    const auto swapTotal = meminfoBytes(meminfo, "SwapTotal");
    const auto swapFree = meminfoBytes(meminfo, "SwapFree");
    if (swapTotal && swapFree) {
        // SwapFree can briefly exceed SwapTotal while a swap area is being switched off.
        const std::uint64_t available = std::min(*swapFree, *swapTotal);
        sample.swap = SwapUsage {*swapTotal, available, *swapTotal - available};
    }
    return sample;
}

VmSample VmStatistics::read() const
{
    const auto meminfo = procfiles::readText(m_root + "/meminfo");
    if (!meminfo)
        return {};
    const auto vmstat = procfiles::readText(m_root + "/vmstat");
    return parse(*meminfo, vmstat.value_or(std::string()), m_pageSize);
}

} // namespace platform
