#include "PowerSupplies.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::optional<std::int64_t> readInteger(const fs::path& path)
{
    return textfields::parseNumber<std::int64_t>(procfiles::readTrimmed(path));
}

bool isExternalSupply(const std::string& type)
{
    return type == "Mains" || type.rfind("USB", 0) == 0;
}

// Minutes left from what the driver offers: its own estimate, else energy over power or charge over current.
int minutesToEmpty(const fs::path& dir)
{
    if (auto seconds = readInteger(dir / "time_to_empty_now"); seconds && *seconds > 0)
        return static_cast<int>(*seconds / 60);
    for (auto [amount, rate] : {std::pair {"energy_now", "power_now"}, std::pair {"charge_now", "current_now"}}) {
        auto left = readInteger(dir / amount);
        auto draw = readInteger(dir / rate);
        if (left && draw && *left >= 0 && *draw != 0)
            return static_cast<int>(static_cast<double>(*left) / std::abs(static_cast<double>(*draw)) * 60.0);
    }
    return 0;
}

} // namespace

std::optional<int> BatteryStatus::percentage() const
{
    if (maxCapacity <= 0)
        return std::nullopt;
    // Multiplying first keeps whole percentages exact: 57 / 100 * 100 would truncate to 56.
    return static_cast<int>(static_cast<double>(currentCapacity) * 100.0 / static_cast<double>(maxCapacity));
}

PowerSupplies::PowerSupplies(std::string sysRoot)
    : m_root(std::move(sysRoot))
{
}

std::optional<BatteryStatus> PowerSupplies::internalBattery() const
{
    std::vector<fs::path> supplies;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(m_root) / "class/power_supply", ec))
        supplies.push_back(entry.path());
    std::sort(supplies.begin(), supplies.end());

    std::optional<fs::path> battery;
    bool sawExternal = false;
    bool externalOnline = false;
    for (const fs::path& dir : supplies) {
        const std::string type = procfiles::readTrimmed(dir / "type");
        if (isExternalSupply(type)) {
            sawExternal = true;
            externalOnline = externalOnline || readInteger(dir / "online").value_or(0) == 1;
        } else if (type == "Battery" && !battery && procfiles::readTrimmed(dir / "scope") != "Device") {
            battery = dir;
        }
    }
    if (!battery)
        return std::nullopt;

    BatteryStatus status;
    const std::string state = procfiles::readTrimmed(*battery / "status");
    if (auto capacity = readInteger(*battery / "capacity")) {
        status.currentCapacity = *capacity;
        status.maxCapacity = 100;
    } else if (auto energy = readInteger(*battery / "energy_now")) {
        status.currentCapacity = *energy;
        status.maxCapacity = readInteger(*battery / "energy_full").value_or(100);
    } else if (auto charge = readInteger(*battery / "charge_now")) {
        status.currentCapacity = *charge;
        status.maxCapacity = readInteger(*battery / "charge_full").value_or(100);
    }
    status.isCharging = state == "Charging";
    if (state == "Discharging")
        status.timeToEmptyMinutes = minutesToEmpty(*battery);
    // Some laptops expose no AC adapter; then the battery's own state says whether it feeds the machine.
    status.onBattery = sawExternal ? !externalOnline : state == "Discharging";
    return status;
}

} // namespace platform
