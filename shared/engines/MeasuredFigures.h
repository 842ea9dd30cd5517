#pragma once

// Which published figures of the dashboard model the last tick read from a real source. A figure that is
// not measured still holds a number (the model's fallback or estimate), but views show the dash for it.
struct MeasuredFigures
{
    bool cpuUsage = false; // also the user and system shares
    bool perCoreUsage = false;
    bool performanceCluster = false;
    bool efficiencyCluster = false; // false on a machine of one core kind
    bool cpuFrequency = false;
    bool displayFPS = false;
    bool socTemperature = false;
    bool gpuTemperature = false;
    bool ssdTemperature = false;
    bool throttling = false; // the throttle event count, from the CPUs' own counters
    bool fans = false;
    bool powerDraw = false; // also the CPU and GPU shares
    bool aneUsage = false;
    bool gpuUsage = false;
    bool battery = false;
    bool network = false;
    bool memory = false;

    bool operator==(const MeasuredFigures&) const = default;
};
