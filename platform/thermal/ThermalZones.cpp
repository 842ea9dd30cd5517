#include "ThermalZones.h"

#include "platform/io/ProcFiles.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace platform {

ThermalZones::ThermalZones(std::string sysRoot)
    : m_root(std::move(sysRoot))
{
}

std::optional<double> ThermalZones::parseMillidegrees(std::string_view text)
{
    text = asciiTrimmed(text);
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return static_cast<double>(value) / 1000.0;
}

std::vector<ThermalZone> ThermalZones::read() const
{
    std::vector<ThermalZone> zones;
    std::error_code ec;
    const std::string base = m_root + "/class/thermal";
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        constexpr std::string_view prefix = "thermal_zone";
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        ThermalZone zone;
        const auto [end, err] = std::from_chars(name.data() + prefix.size(), name.data() + name.size(), zone.index);
        if (err != std::errc() || end != name.data() + name.size())
            continue;

        const std::string dir = base + "/" + name + "/";
        if (procfiles::readTrimmed(dir + "mode") == "disabled")
            continue;
        const auto temp = procfiles::readText(dir + "temp", 64);
        const auto celsius = temp ? parseMillidegrees(*temp) : std::nullopt;
        if (!celsius)
            continue;
        zone.celsius = *celsius;
        zone.type = procfiles::readTrimmed(dir + "type");

        for (int trip = 0;; ++trip) {
            const std::string tripBase = dir + "trip_point_" + std::to_string(trip) + "_";
            const auto tripTemp = procfiles::readText(tripBase + "temp", 64);
            if (!tripTemp)
                break;
            const auto tripCelsius = parseMillidegrees(*tripTemp);
            if (tripCelsius && *tripCelsius > 0)
                zone.trips.push_back({procfiles::readTrimmed(tripBase + "type"), *tripCelsius});
        }
        zones.push_back(std::move(zone));
    }
    std::sort(zones.begin(), zones.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
    return zones;
}

} // namespace platform
