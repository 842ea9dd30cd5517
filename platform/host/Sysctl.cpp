#include "Sysctl.h"

#include "VmStatistics.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>

namespace platform {

namespace {

template<typename T> bool parseNumber(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::vector<int> intersect(const std::vector<int>& a, const std::vector<int>& b)
{
    std::vector<int> out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

std::optional<std::string> nonEmptyTrimmed(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    const auto t = asciiTrimmed(*text);
    if (t.empty())
        return std::nullopt;
    return std::string(t);
}

} // namespace

Sysctl::Sysctl(std::string procRoot, std::string sysRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
{
}

std::optional<std::vector<int>> Sysctl::parseCpuList(std::string_view text)
{
    text = asciiTrimmed(text);
    std::vector<int> cpus;
    if (text.empty())
        return cpus;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const auto item = text.substr(0, comma);
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
        const auto dash = item.find('-');
        int first = 0;
        int last = 0;
        if (dash == std::string_view::npos) {
            if (!parseNumber(item, first))
                return std::nullopt;
            last = first;
        } else if (!parseNumber(item.substr(0, dash), first) || !parseNumber(item.substr(dash + 1), last)) {
            return std::nullopt;
        }
        if (first < 0 || last < first || last - first > 65536)
            return std::nullopt;
        for (int cpu = first; cpu <= last; ++cpu)
            cpus.push_back(cpu);
    }
    std::sort(cpus.begin(), cpus.end());
    cpus.erase(std::unique(cpus.begin(), cpus.end()), cpus.end());
    return cpus;
}

std::optional<std::string> Sysctl::cpuinfoValue(std::string_view cpuinfo, std::initializer_list<std::string_view> keys)
{
    for (const auto key : keys) {
        std::string_view rest = cpuinfo;
        while (!rest.empty()) {
            const std::string_view line = textfields::takeLine(rest);
            const auto colon = line.find(':');
            if (colon == std::string_view::npos || asciiTrimmed(line.substr(0, colon)) != key)
                continue;
            const auto value = asciiTrimmed(line.substr(colon + 1));
            if (!value.empty())
                return std::string(value);
        }
    }
    return std::nullopt;
}

std::optional<std::vector<int>> Sysctl::cpuListFile(const std::string& path) const
{
    const auto text = procfiles::readText(path);
    if (!text)
        return std::nullopt;
    return parseCpuList(*text);
}

std::vector<int> Sysctl::onlineCpus() const
{
    if (auto online = cpuListFile(m_sys + "/devices/system/cpu/online"); online && !online->empty())
        return *online;
    // Without sysfs, the per-CPU lines of /proc/stat name the CPUs the kernel schedules on.
    std::vector<int> cpus;
    if (const auto stat = procfiles::readText(m_proc + "/stat")) {
        std::string_view rest(*stat);
        while (!rest.empty()) {
            const auto line = textfields::takeLine(rest);
            if (line.size() > 3 && line.substr(0, 3) == "cpu" && line[3] >= '0' && line[3] <= '9') {
                int cpu = 0;
                if (parseNumber(line.substr(3, line.find(' ') - 3), cpu))
                    cpus.push_back(cpu);
            }
        }
    }
    std::sort(cpus.begin(), cpus.end());
    return cpus;
}

Sysctl::Levels Sysctl::levels() const
{
    const auto online = onlineCpus();
    Levels levels;

    // Intel hybrid parts register one perf PMU per core kind.
    const auto core = cpuListFile(m_sys + "/devices/cpu_core/cpus");
    const auto atom = cpuListFile(m_sys + "/devices/cpu_atom/cpus");
    if (core && atom) {
        levels.performance = intersect(*core, online);
        levels.efficiency = intersect(*atom, online);
        if (!levels.performance.empty())
            return levels;
        levels = {};
    }

    // ARM big.LITTLE and DynamIQ: the scheduler's relative capacity of each CPU.
    std::map<int, long> capacity;
    for (const int cpu : online) {
        const auto text
            = procfiles::readText(m_sys + "/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpu_capacity");
        long value = 0;
        if (!text || !parseNumber(asciiTrimmed(*text), value)) {
            capacity.clear();
            break;
        }
        capacity[cpu] = value;
    }
    if (!capacity.empty()) {
        long highest = 0;
        for (const auto& [cpu, value] : capacity)
            highest = std::max(highest, value);
        for (const auto& [cpu, value] : capacity)
            (value == highest ? levels.performance : levels.efficiency).push_back(cpu);
        return levels;
    }

    levels.performance = online;
    return levels;
}

std::vector<int> Sysctl::performanceCpus() const
{
    return levels().performance;
}

std::vector<int> Sysctl::efficiencyCpus() const
{
    return levels().efficiency;
}

std::optional<std::int64_t> Sysctl::memorySize() const
{
    const auto text = procfiles::readText(m_proc + "/meminfo");
    if (!text)
        return std::nullopt;
    const auto bytes = VmStatistics::meminfoBytes(*text, "MemTotal");
    if (!bytes || *bytes == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(*bytes);
}

std::optional<std::int64_t> Sysctl::physicalCpuCount() const
{
    const auto online = onlineCpus();
    if (online.empty())
        return std::nullopt;
    std::set<std::pair<long, long>> cores;
    for (const int cpu : online) {
        const std::string topology = m_sys + "/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
        const auto package = procfiles::readText(topology + "physical_package_id");
        const auto coreId = procfiles::readText(topology + "core_id");
        long p = 0;
        long c = 0;
        if (!package || !coreId || !parseNumber(asciiTrimmed(*package), p) || !parseNumber(asciiTrimmed(*coreId), c)) {
            // Without topology every logical CPU counts as a core of its own.
            return static_cast<std::int64_t>(online.size());
        }
        cores.emplace(p, c);
    }
    return static_cast<std::int64_t>(cores.size());
}

std::optional<std::int64_t> Sysctl::gpuCount() const
{
    std::error_code ec;
    std::filesystem::directory_iterator it(m_sys + "/class/drm", ec);
    if (ec)
        return std::nullopt;
    std::int64_t count = 0;
    for (const auto& entry : it) {
        // "card0" is a device; "card0-HDMI-A-1" one of its connectors, "renderD128" a render node.
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(0, 4, "card") == 0
            && std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            ++count;
    }
    return count;
}

std::optional<std::int64_t> Sysctl::integer(std::string_view key) const
{
    if (key == "hw.memsize")
        return memorySize();
    if (key == "hw.logicalcpu") {
        const auto n = onlineCpus().size();
        return n > 0 ? std::optional<std::int64_t>(n) : std::nullopt;
    }
    if (key == "hw.ncpu") {
        if (auto present = cpuListFile(m_sys + "/devices/system/cpu/present"); present && !present->empty())
            return static_cast<std::int64_t>(present->size());
        return integer("hw.logicalcpu");
    }
    if (key == "hw.physicalcpu")
        return physicalCpuCount();
    if (key == "hw.perflevel0.logicalcpu") {
        const auto n = levels().performance.size();
        return n > 0 ? std::optional<std::int64_t>(n) : std::nullopt;
    }
    if (key == "hw.perflevel1.logicalcpu") {
        const auto n = levels().efficiency.size();
        return n > 0 ? std::optional<std::int64_t>(n) : std::nullopt;
    }
    if (key == "hw.gpu.count")
        return gpuCount();
    return std::nullopt;
}

std::optional<std::string> Sysctl::string(std::string_view key) const
{
    if (key == "machdep.cpu.brand_string") {
        const auto cpuinfo = procfiles::readText(m_proc + "/cpuinfo");
        if (!cpuinfo)
            return std::nullopt;
        return cpuinfoValue(*cpuinfo, {"model name", "Hardware", "cpu model", "Processor"});
    }
    if (key == "hw.model") {
        if (auto model = nonEmptyTrimmed(procfiles::readText(m_sys + "/firmware/devicetree/base/model")))
            return model;
        return nonEmptyTrimmed(procfiles::readText(m_sys + "/class/dmi/id/product_name"));
    }
    return std::nullopt;
}

} // namespace platform
