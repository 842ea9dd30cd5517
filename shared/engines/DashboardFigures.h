#pragma once

#include "MeasuredFigures.h"
#include "OllamaModel.h"
#include "QVThermalState.h"
#include "RunningProcess.h"
#include "SystemMemoryState.h"

#include "platform/host/MemoryBreakdown.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The figures the dashboard model publishes from its ticks, as it holds them from one tick to the next.
// Before the first tick they hold the fallbacks the views start from.
struct DashboardFigures
{
    std::optional<SystemMemoryState> memoryState;
    std::optional<platform::MemoryUse> memoryUse;
    std::vector<OllamaModel> loadedModels;
    std::optional<QVThermalState> thermalState;
    bool isOllamaRunning = false;
    double cpuUsage = 0;
    double eClusterUsage = 0;
    double pClusterUsage = 0;
    double aneUsage = 0;
    double anePowerDraw = 0;
    double gpuUsage = 0;
    int gpuCoreCount = 16;
    QList<double> perCoreUsage;
    double userCpuPercent = 7.0;
    double systemCpuPercent = 5.0;
    double cpuFrequencyGHz = 1.89;
    int displayFPS = 60;
    std::vector<RunningProcess> topProcesses;
    std::vector<RunningProcess> topMemoryProcesses;
    double socTemperature = 0;
    double gpuTemperature = 0;
    double ssdTemperature = 0;
    double throttlingStatus = 0;
    std::uint64_t throttleEvents = 0; // since boot, as the CPUs' throttle counters count them
    QList<double> fanRPMs = QList<double> {0.0};
    double powerDraw = 0;
    double cpuPowerDraw = 0;
    double gpuPowerDraw = 0;
    int batteryPercentage = 0;
    bool batteryIsCharging = false;
    int batteryTimeToEmpty = 0;
    bool isUnplugged = false;
    double networkUpload = 0;
    double networkDownload = 0;
    QString localIP = QStringLiteral("127.0.0.1");
    double diskUsed = 0;
    double diskTotal = 0;
    // Which of the figures above the last tick read from a real source.
    MeasuredFigures measured;
};
