#include "DashboardFigureReader.h"

#include "ScreenRefreshRate.h"
#include "core/Units.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <thread>

void DashboardFigureReader::setCoreCounts(int efficiencyCores, int performanceCores, bool hasEfficiencyCores)
{
    m_eCoreCount = efficiencyCores;
    m_pCoreCount = performanceCores;
    m_hasEfficiencyCores = hasEfficiencyCores;
}

DashboardFigures DashboardFigureReader::read(
    DashboardFigures figures, const DashboardSample& sample, bool processesPaused)
{
    figures.measured = {};
    readCpu(figures, sample);
    figures.isOllamaRunning = sample.ollamaRunning;
    figures.loadedModels = sample.models;
    figures.memoryState = sample.memory;
    figures.measured.memory = sample.memory.totalGB > 0;
    figures.memoryUse = sample.memoryUse;
    figures.thermalState = sample.thermal;
    // Checked again here: the list is dropped when the user paused it while the tick was reading.
    if (sample.processes && !processesPaused)
        figures.topProcesses = *sample.processes;
    if (sample.memoryProcesses && !processesPaused)
        figures.topMemoryProcesses = *sample.memoryProcesses;
    readTemperatures(figures, sample);
    readPower(figures, sample);
    readBattery(figures, sample);
    readNetworkRates(figures, sample);
    readDisk(figures, sample);
    figures.localIP = sample.localAddress ? QString::fromStdString(*sample.localAddress) : QStringLiteral("127.0.0.1");
    readEstimates(figures, sample);
    return figures;
}

void DashboardFigureReader::readCpu(DashboardFigures& figures, const DashboardSample& sample) const
{
    MeasuredFigures& measured = figures.measured;
    if (sample.cpuKind == DashboardSample::CpuKind::measured) {
        measured.cpuUsage = measured.perCoreUsage = measured.performanceCluster = true;
        measured.efficiencyCluster = m_hasEfficiencyCores;
        const CpuLoad& load = sample.cpuLoad;
        figures.perCoreUsage = QList<double>(load.perCore.begin(), load.perCore.end());
        if (load.totalTicks > 0) {
            figures.userCpuPercent = load.userTicks / load.totalTicks * 100.0;
            figures.systemCpuPercent = load.systemTicks / load.totalTicks * 100.0;
        }
        const double cores = static_cast<double>(load.perCore.size());
        figures.eClusterUsage = load.efficiencySum / std::max(m_eCoreCount, 1) * 100.0;
        // On a CPU of one core kind every core is a performance core, however many the counts named.
        const double performanceCores = measured.efficiencyCluster ? std::max(m_pCoreCount, 1) : std::max(cores, 1.0);
        figures.pClusterUsage = load.performanceSum / performanceCores * 100.0;
        figures.cpuUsage = cores > 0 ? (load.efficiencySum + load.performanceSum) / cores * 100.0 : 0.0;
        if (!sample.cpuFrequencyGHz)
            figures.cpuFrequencyGHz = FigureEstimator::cpuFrequencyGHz(figures.cpuUsage);
    } else {
        figures.cpuUsage = sample.trackerUsage;
        if (figures.perCoreUsage.isEmpty()) {
            int count = sample.cpuKind == DashboardSample::CpuKind::firstSample ? sample.processorCount : 0;
            if (count <= 0)
                count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            figures.perCoreUsage = FigureEstimator::idleCores(count);
        }
    }
    // The clock the kernel reports (cpufreq, else /proc/cpuinfo) replaces the estimate from the load.
    if (sample.cpuFrequencyGHz) {
        measured.cpuFrequency = true;
        figures.cpuFrequencyGHz = *sample.cpuFrequencyGHz;
    }
    figures.displayFPS = 60;
    if (const auto rate = ScreenRefreshRate::of(QGuiApplication::primaryScreen())) {
        figures.displayFPS = static_cast<int>(std::lround(*rate));
        measured.displayFPS = true;
    }
}

void DashboardFigureReader::readTemperatures(DashboardFigures& figures, const DashboardSample& sample)
{
    // A class of sensor the machine lacks takes the fallback range, never another sensor's reading.
    MeasuredFigures& measured = figures.measured;
    measured.socTemperature = sample.chipTemperature.has_value();
    measured.gpuTemperature = sample.gpuTemperature.has_value();
    measured.ssdTemperature = sample.ssdTemperature.has_value();
    figures.socTemperature = sample.chipTemperature.value_or(m_estimator.socTemperature());
    figures.gpuTemperature = sample.gpuTemperature.value_or(m_estimator.gpuTemperature(figures.socTemperature));
    figures.ssdTemperature = sample.ssdTemperature.value_or(m_estimator.ssdTemperature());
    figures.throttlingStatus = figures.socTemperature > 95 ? (figures.socTemperature - 95) * 5 : 0.0;
    // Whether the processor slowed itself down is what its counters say, never a guess from a temperature.
    measured.throttling = sample.throttleEvents.has_value();
    figures.throttleEvents = sample.throttleEvents.value_or(0);

    // Only measured speeds: a machine without fan readings lists no fan.
    measured.fans = !sample.fanRPMs.empty();
    figures.fanRPMs = QList<double>(sample.fanRPMs.begin(), sample.fanRPMs.end());
}

void DashboardFigureReader::readPower(DashboardFigures& figures, const DashboardSample& sample)
{
    // The RAPL counters, where this user may read them; elsewhere estimates from the loads, not shown.
    auto power = FigureEstimator::power(figures.cpuUsage, figures.gpuUsage);
    if (sample.power) {
        figures.measured.powerDraw = true;
        power = {sample.power->cpuWatts, sample.power->gpuWatts, sample.power->cpuWatts + sample.power->gpuWatts};
    }
    figures.cpuPowerDraw = power.cpu;
    figures.gpuPowerDraw = power.gpu;
    figures.powerDraw = power.total;
}

void DashboardFigureReader::readBattery(DashboardFigures& figures, const DashboardSample& sample)
{
    if (!sample.battery)
        return;
    // A gauge that reports a full capacity of 0 gives no percentage; the whole sample is left out.
    const auto percentage = sample.battery->percentage();
    if (!percentage)
        return;
    figures.measured.battery = true;
    figures.batteryPercentage = *percentage;
    figures.batteryIsCharging = sample.battery->isCharging;
    figures.batteryTimeToEmpty = sample.battery->timeToEmptyMinutes;
    figures.isUnplugged = sample.battery->onBattery;
}

void DashboardFigureReader::readNetworkRates(DashboardFigures& figures, const DashboardSample& sample)
{
    if (!sample.network)
        return;
    const platform::ByteTotals now = *sample.network;
    // Totals that shrank (an interface went away) give no rate this tick rather than a wrapped one.
    if (m_lastNetworkStats && now.received >= m_lastNetworkStats->received && now.sent >= m_lastNetworkStats->sent) {
        figures.measured.network = true;
        figures.networkDownload = static_cast<double>(now.received - m_lastNetworkStats->received) / 1024.0;
        figures.networkUpload = static_cast<double>(now.sent - m_lastNetworkStats->sent) / 1024.0;
    }
    m_lastNetworkStats = now;
}

void DashboardFigureReader::readDisk(DashboardFigures& figures, const DashboardSample& sample)
{
    if (!sample.disk)
        return;
    // Used as df counts it: the blocks reserved for root are not in use, though this user cannot write them.
    figures.diskTotal = static_cast<double>(sample.disk->totalBytes) / kBytesPerGB;
    figures.diskUsed = static_cast<double>(sample.disk->usedBytes) / kBytesPerGB;
}

void DashboardFigureReader::readEstimates(DashboardFigures& figures, const DashboardSample& sample)
{
    const auto estimate = m_estimator.accelerators(!figures.loadedModels.empty());
    figures.aneUsage = estimate.aneUsage;
    figures.anePowerDraw = estimate.anePowerDraw;
    // The driver's own busy figure, where it gives one, replaces the estimate.
    figures.measured.gpuUsage = sample.gpuBusyPercent.has_value();
    figures.gpuUsage = sample.gpuBusyPercent.value_or(estimate.gpuUsage);
}
