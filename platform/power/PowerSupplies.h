#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The internal battery as the power-supply class describes it.
struct BatteryStatus
{
    // capacity in percent of 100 when the driver gives it, else energy or charge against its full value.
    std::int64_t currentCapacity = 0;
    std::int64_t maxCapacity = 100;
    bool isCharging = false;
    int timeToEmptyMinutes = 0; // 0 while charging, full or when the driver gives no rate
    bool onBattery = false; // no mains or USB supply online

    // Charge in percent truncated toward zero; nothing when the maximum is not positive.
    std::optional<int> percentage() const;
};

// /sys/class/power_supply under a sysfs root.
class PowerSupplies
{
public:
    explicit PowerSupplies(std::string sysRoot = "/sys");

    // The first system battery (type Battery, not a device's such as a mouse's) in name order,
    // or nothing on a machine without one.
    std::optional<BatteryStatus> internalBattery() const;

private:
    std::string m_root;
};

} // namespace platform
