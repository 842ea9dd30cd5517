#include "DashboardSampler.h"

#include "MemoryEngine.h"
#include "OllamaEngine.h"
#include "ThermalEngine.h"

#include <QDir>

#include <numeric>

DashboardSampler::DashboardSampler(std::shared_ptr<MemoryEngine> memoryEngine,
    std::shared_ptr<OllamaEngine> ollamaEngine, std::shared_ptr<ThermalEngine> thermalEngine,
    const DashboardSources& sources)
    : m_memoryEngine(std::move(memoryEngine))
    , m_ollamaEngine(std::move(ollamaEngine))
    , m_thermalEngine(std::move(thermalEngine))
    , m_ticks(sources.procRoot)
    , m_cpuTracker(platform::ProcessorTicks(sources.procRoot))
    , m_frequency(sources.procRoot, sources.sysRoot)
    , m_throttle(sources.procRoot, sources.sysRoot)
    , m_memoryBreakdown(sources.procRoot, sources.sysRoot)
    , m_rapl(sources.sysRoot)
    , m_processes(sources.procRoot)
    , m_sensors(platform::SensorMonitor::create(sources.sysRoot))
    , m_power(sources.sysRoot)
    , m_interfaces(sources.sysRoot)
    , m_localAddress(sources.procRoot)
    , m_connections(sources.procRoot)
    , m_home(sources.homePath.empty() ? QDir::homePath().toStdString() : sources.homePath)
{
}

void DashboardSampler::sampleCpu(DashboardSample& out)
{
    CpuTickSample current = m_ticks.perCore();
    if (current.empty()) {
        out.cpuKind = DashboardSample::CpuKind::failed;
        out.trackerUsage = m_cpuTracker.getCPUUsage();
        return;
    }
    out.processorCount = static_cast<int>(current.size());
    if (m_previousTicks) {
        out.cpuKind = DashboardSample::CpuKind::measured;
        out.cpuLoad = CpuLoad::between(*m_previousTicks, current, m_efficiencyCpus);
    } else {
        out.cpuKind = DashboardSample::CpuKind::firstSample;
        out.trackerUsage = m_cpuTracker.getCPUUsage();
    }
    m_previousTicks = std::move(current);
}

void DashboardSampler::samplePower(DashboardSample& out)
{
    auto reading = m_rapl.read();
    auto* now = std::get_if<platform::RaplReader::Reading>(&reading);
    if (!now) {
        m_previousEnergy.reset();
        return;
    }
    if (m_previousEnergy) {
        if (const auto power = platform::RaplReader::between(*m_previousEnergy, *now))
            out.power = DashboardSample::Power {power->cpuMilliwatts / 1000.0, power->gpuMilliwatts / 1000.0};
    }
    m_previousEnergy = std::move(*now);
}

DashboardSample DashboardSampler::sample(bool fetchProcesses, bool listConnections)
{
    DashboardSample out;
    sampleCpu(out);
    out.cpuFrequencyGHz = m_frequency.averageGHz();
    out.throttleEvents = m_throttle.eventsSinceBoot();

    out.ollamaRunning = m_ollamaEngine->isRunning();
    if (out.ollamaRunning) {
        // A failing "/api/ps" while the server answers shows no model rather than stale ones.
        OllamaModelsResult result = m_ollamaEngine->loadedModels();
        if (result.ok())
            out.models = std::move(result.models);
    }
    const double modelsGB = std::accumulate(out.models.begin(), out.models.end(), 0.0,
        [](double sum, const OllamaModel& m) { return sum + m.estimatedRAMFootprintGB; });
    m_memoryEngine->updateAIModelsMemory(modelsGB);
    out.memory = m_memoryEngine->snapshot();
    out.memoryUse = m_memoryBreakdown.read();
    out.thermal = m_thermalEngine->currentState();

    if (fetchProcesses) {
        auto listing = m_processes.fetchListing();
        out.processes = std::move(listing.busiest);
        out.memoryProcesses = std::move(listing.largest);
    }

    if (m_sensors) {
        out.chipTemperature = m_sensors->readTemperature(platform::SensorClass::chip);
        out.gpuTemperature = m_sensors->readTemperature(platform::SensorClass::gpu);
        out.ssdTemperature = m_sensors->readTemperature(platform::SensorClass::ssd);
        out.fanRPMs = m_sensors->fanRPMs();
        out.gpuBusyPercent = m_sensors->gpuBusyPercent();
    }
    samplePower(out);
    out.battery = m_power.internalBattery();
    out.network = m_interfaces.totals();
    out.disk = platform::DiskSpace::of(m_home);
    out.localAddress = m_localAddress.defaultRouteAddress();
    out.connectionsListed = listConnections;
    if (listConnections)
        out.connections = m_connections.established();
    return out;
}

SystemMemoryState DashboardSampler::memorySnapshot()
{
    return m_memoryEngine->snapshot();
}
