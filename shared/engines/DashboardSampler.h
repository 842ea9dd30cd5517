#pragma once

#include "CPUUsageTracker.h"
#include "DashboardProcessSampler.h"
#include "OllamaModel.h"
#include "QVThermalState.h"
#include "RunningProcess.h"
#include "SystemMemoryState.h"

#include "platform/host/CpuFrequency.h"
#include "platform/host/MemoryBreakdown.h"
#include "platform/host/ProcessorTicks.h"
#include "platform/host/ThrottleCounters.h"
#include "platform/net/DiskSpace.h"
#include "platform/net/InterfaceCounters.h"
#include "platform/net/LocalAddress.h"
#include "platform/net/TcpConnections.h"
#include "platform/power/PowerSupplies.h"
#include "platform/power/RaplReader.h"
#include "platform/sensors/SensorMonitor.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class MemoryEngine;
class OllamaEngine;
class ThermalEngine;

// Where the dashboard reads the machine; tests point it at fixture trees.
struct DashboardSources
{
    std::string procRoot = "/proc";
    std::string sysRoot = "/sys";
    std::string homePath; // empty: the user's home folder
    std::string publicAddressUrl = "https://api.ipify.org"; // PublicAddressFetcher::defaultServiceUrl
    // When public-address lookups happen; empty: the steady clock. Tests step it by hand.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

// Everything one tick reads from the machine and the engines, before any of it is published.
struct DashboardSample
{
    enum class CpuKind { measured, firstSample, failed };
    CpuKind cpuKind = CpuKind::failed;
    CpuLoad cpuLoad; // measured
    double trackerUsage = 0; // firstSample and failed
    int processorCount = 0; // CPUs in the new sample
    std::optional<double> cpuFrequencyGHz; // cpufreq's current clock (else /proc/cpuinfo's), averaged

    bool ollamaRunning = false;
    std::vector<OllamaModel> models;
    SystemMemoryState memory;
    std::optional<platform::MemoryUse> memoryUse;
    QVThermalState thermal;
    std::optional<std::vector<RunningProcess>> processes; // nothing while the list is paused
    std::optional<std::vector<RunningProcess>> memoryProcesses; // most resident memory first; paused alike

    std::optional<double> chipTemperature;
    std::optional<double> gpuTemperature;
    std::optional<double> ssdTemperature;
    std::vector<double> fanRPMs; // measured; empty on a machine without fan readings
    std::optional<std::uint64_t> throttleEvents; // the CPUs' throttle counters; nothing without them
    std::optional<double> gpuBusyPercent;
    // Watts since the previous tick's reading of the RAPL counters; nothing without readable counters.
    struct Power
    {
        double cpuWatts = 0;
        double gpuWatts = 0;
    };
    std::optional<Power> power;
    std::optional<platform::BatteryStatus> battery;
    std::optional<platform::ByteTotals> network;
    std::optional<platform::DiskSpace> disk;
    std::optional<std::string> localAddress;
    std::vector<platform::TcpConnection> connections;
    // False when the tick did not list them (no view was showing them): `connections` is then empty.
    bool connectionsListed = true;
};

// The blocking half of the dashboard tick: runs on a worker thread, one tick at a time, and keeps the
// state that only those reads need (the previous CPU sample, the previous process listing).
class DashboardSampler
{
public:
    DashboardSampler(std::shared_ptr<MemoryEngine> memoryEngine, std::shared_ptr<OllamaEngine> ollamaEngine,
        std::shared_ptr<ThermalEngine> thermalEngine, const DashboardSources& sources);

    // Listing the connections walks the kernel's whole socket table, so it is asked for separately.
    DashboardSample sample(bool fetchProcesses, bool listConnections = true);

    // Safe beside a running sample(): they read only the engines and the connections reader, which guard
    // their own state.
    std::vector<platform::TcpConnection> connections() const { return m_connections.established(); }
    SystemMemoryState memorySnapshot();

    // CPU numbers of the efficiency cores, from the machine's CPU lists.
    const std::set<int>& efficiencyCpus() const { return m_efficiencyCpus; }
    void setEfficiencyCpus(std::set<int> cpus) { m_efficiencyCpus = std::move(cpus); }

private:
    void sampleCpu(DashboardSample& out);
    void samplePower(DashboardSample& out);

    std::shared_ptr<MemoryEngine> m_memoryEngine;
    std::shared_ptr<OllamaEngine> m_ollamaEngine;
    std::shared_ptr<ThermalEngine> m_thermalEngine;

    platform::ProcessorTicks m_ticks;
    std::optional<CpuTickSample> m_previousTicks;
    CPUUsageTracker m_cpuTracker;
    std::set<int> m_efficiencyCpus;
    platform::CpuFrequency m_frequency;
    platform::ThrottleCounters m_throttle;
    platform::MemoryBreakdown m_memoryBreakdown;
    platform::RaplReader m_rapl;
    std::optional<platform::RaplReader::Reading> m_previousEnergy;
    DashboardProcessSampler m_processes;
    std::optional<platform::SensorMonitor> m_sensors;
    platform::PowerSupplies m_power;
    platform::InterfaceCounters m_interfaces;
    platform::LocalAddress m_localAddress;
    platform::TcpConnections m_connections;
    std::string m_home;
};
