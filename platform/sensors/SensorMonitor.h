#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The kinds of temperature the dashboard shows.
enum class SensorClass { chip, gpu, ssd, ambient };

// One row of the table that says which driver's reading stands for which kind of temperature.
// An empty label matches any input of that driver; a non-empty one also matches the driver's
// unlabelled temp1 (older GPU drivers and drivetemp publish no labels).
struct SensorRule
{
    std::string_view driver;
    std::string_view label;
    SensorClass sensorClass;
};

// The rules in order of preference: the first rule the machine has a working input for wins.
const std::vector<SensorRule>& sensorRules();

// A temperature input found on the machine: hwmon temp*_input or a thermal zone's temp.
struct TemperatureInput
{
    std::string driver; // hwmon "name" or thermal-zone "type"
    std::string label; // temp*_label, empty when there is none
    int index = 0; // N of tempN_input, 0 for a thermal zone
    std::string path;
};

// Which input, if any, the table picks for a sensor class.
std::optional<TemperatureInput> pickInput(const std::vector<TemperatureInput>& inputs, SensorClass sensorClass);

// Millidegrees as the kernel writes them; nothing for text that is not a positive reading.
std::optional<double> parseMillidegrees(std::string_view text);

// Temperatures, fan speeds and GPU load from hwmon, thermal zones and DRM under a sysfs root.
// The inputs are found once, at creation; every read opens only the chosen files.
class SensorMonitor
{
public:
    // Nothing when the machine has no temperature input at all, so callers fall back at once.
    static std::optional<SensorMonitor> create(const std::string& sysRoot = "/sys");

    // The reading of the input the table picks for the class; nothing when the machine has no such
    // sensor or it reads no positive value. Never another class's reading.
    std::optional<double> readTemperature(SensorClass sensorClass) const;

    // Every fan*_input in RPM, in hwmon then fan order; empty on a machine without fan readings.
    std::vector<double> fanRPMs() const;
    bool hasFans() const { return !m_fanPaths.empty(); }

    // The busiest GPU's gpu_busy_percent, when a DRM driver publishes one.
    std::optional<double> gpuBusyPercent() const;

    const std::vector<TemperatureInput>& inputs() const { return m_inputs; }

private:
    SensorMonitor() = default;

    std::vector<TemperatureInput> m_inputs;
    std::optional<std::string> m_chosen[4];
    std::vector<std::string> m_fanPaths;
    std::vector<std::string> m_gpuBusyPaths;
};

} // namespace platform
