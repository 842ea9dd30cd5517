#include "SensorMonitor.h"

#include "platform/io/ProcFiles.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::optional<long long> parseInteger(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Entries sorted by the number after their prefix, so hwmon10 follows hwmon9.
std::vector<fs::path> numberedEntries(const fs::path& dir, std::string_view prefix)
{
    std::vector<std::pair<long long, fs::path>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (auto n = parseInteger(std::string_view(name).substr(prefix.size())))
            found.emplace_back(*n, entry.path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& f : found)
        paths.push_back(std::move(f.second));
    return paths;
}

// Indices N of the files <prefix>N<suffix> in a hwmon folder, ascending.
std::vector<int> inputIndices(const fs::path& dir, std::string_view prefix, std::string_view suffix)
{
    std::vector<int> indices;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0
            || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string_view digits
            = std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (auto n = parseInteger(digits))
            indices.push_back(static_cast<int>(*n));
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

bool ruleMatches(const SensorRule& rule, const TemperatureInput& input)
{
    if (input.driver != rule.driver)
        return false;
    if (rule.label.empty())
        return true;
    return input.label == rule.label || (input.label.empty() && input.index == 1);
}

} // namespace

const std::vector<SensorRule>& sensorRules()
{
    static const std::vector<SensorRule> rules {
        {"coretemp", "Package id 0", SensorClass::chip},
        {"k10temp", "Tctl", SensorClass::chip},
        {"x86_pkg_temp", "", SensorClass::chip},
        {"cpu_thermal", "", SensorClass::chip},
        {"amdgpu", "edge", SensorClass::gpu},
        {"nouveau", "edge", SensorClass::gpu},
        {"radeon", "edge", SensorClass::gpu},
        {"nvme", "Composite", SensorClass::ssd},
        {"drivetemp", "", SensorClass::ssd},
        {"acpitz", "", SensorClass::ambient},
    };
    return rules;
}

std::optional<TemperatureInput> pickInput(const std::vector<TemperatureInput>& inputs, SensorClass sensorClass)
{
    for (const SensorRule& rule : sensorRules()) {
        if (rule.sensorClass != sensorClass)
            continue;
        for (const TemperatureInput& input : inputs) {
            if (ruleMatches(rule, input))
                return input;
        }
    }
    return std::nullopt;
}

std::optional<double> parseMillidegrees(std::string_view text)
{
    auto value = parseInteger(text);
    if (!value || *value <= 0)
        return std::nullopt;
    return static_cast<double>(*value) / 1000.0;
}

std::optional<SensorMonitor> SensorMonitor::create(const std::string& sysRoot)
{
    SensorMonitor monitor;
    const fs::path root(sysRoot);

    for (const fs::path& hwmon : numberedEntries(root / "class/hwmon", "hwmon")) {
        const std::string driver = procfiles::readTrimmed(hwmon / "name");
        for (int i : inputIndices(hwmon, "temp", "_input")) {
            const std::string stem = "temp" + std::to_string(i);
            monitor.m_inputs.push_back(
                {driver, procfiles::readTrimmed(hwmon / (stem + "_label")), i, (hwmon / (stem + "_input")).string()});
        }
        for (int i : inputIndices(hwmon, "fan", "_input"))
            monitor.m_fanPaths.push_back((hwmon / ("fan" + std::to_string(i) + "_input")).string());
    }
    // Thermal zones come after hwmon: where a zone also shows up as a hwmon chip, hwmon's labels win.
    for (const fs::path& zone : numberedEntries(root / "class/thermal", "thermal_zone")) {
        std::string type = procfiles::readTrimmed(zone / "type");
        std::replace(type.begin(), type.end(), '-', '_');
        if (!type.empty() && fs::exists(zone / "temp"))
            monitor.m_inputs.push_back({type, "", 0, (zone / "temp").string()});
    }
    for (const fs::path& card : numberedEntries(root / "class/drm", "card")) {
        const fs::path busy = card / "device/gpu_busy_percent";
        if (fs::exists(busy))
            monitor.m_gpuBusyPaths.push_back(busy.string());
    }

    if (monitor.m_inputs.empty() && monitor.m_fanPaths.empty() && monitor.m_gpuBusyPaths.empty())
        return std::nullopt;
    for (SensorClass c : {SensorClass::chip, SensorClass::gpu, SensorClass::ssd, SensorClass::ambient}) {
        if (auto input = pickInput(monitor.m_inputs, c))
            monitor.m_chosen[static_cast<int>(c)] = input->path;
    }
    return monitor;
}

std::optional<double> SensorMonitor::readTemperature(SensorClass sensorClass) const
{
    const auto& path = m_chosen[static_cast<int>(sensorClass)];
    if (!path)
        return std::nullopt;
    return parseMillidegrees(procfiles::readTrimmed(*path));
}

std::vector<double> SensorMonitor::fanRPMs() const
{
    std::vector<double> rpms;
    for (const std::string& path : m_fanPaths) {
        auto value = parseInteger(procfiles::readTrimmed(path));
        rpms.push_back(value && *value > 0 ? static_cast<double>(*value) : 0.0);
    }
    return rpms;
}

std::optional<double> SensorMonitor::gpuBusyPercent() const
{
    std::optional<double> busiest;
    for (const std::string& path : m_gpuBusyPaths) {
        auto value = parseInteger(procfiles::readTrimmed(path));
        if (value && *value >= 0 && *value <= 100)
            busiest = std::max(busiest.value_or(0.0), static_cast<double>(*value));
    }
    return busiest;
}

} // namespace platform
