#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TripPoint
{
    std::string type; // "critical", "hot", "passive" (the kernel throttles) or "active" (a fan step)
    double celsius = 0;

    bool operator==(const TripPoint&) const = default;
};

struct ThermalZone
{
    int index = 0; // N of thermal_zoneN
    std::string type;
    double celsius = 0;
    std::vector<TripPoint> trips;

    bool operator==(const ThermalZone&) const = default;
};

// The thermal zones of /sys/class/thermal with their current temperature and trip points. Disabled zones
// and zones whose temperature cannot be read (some firmware answers ENODATA) are left out, and so are
// trip points that are unset (at or below 0 °C).
class ThermalZones
{
public:
    explicit ThermalZones(std::string sysRoot = "/sys");

    std::vector<ThermalZone> read() const;

    // A sysfs temperature in millidegrees Celsius.
    static std::optional<double> parseMillidegrees(std::string_view text);

private:
    std::string m_root;
};

} // namespace platform
