#include "SampleData.h"

#include "core/UserDefaults.h"
#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "engines/ThermalEngine.h"
#include "ui/ViewSettings.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cmath>

SampleData::SampleData(Kind kind)
    : m_kind(kind)
{
    const std::string root = m_dir.path().toStdString();
    QDir(m_dir.path()).mkpath(QStringLiteral("proc"));
    QDir(m_dir.path()).mkpath(QStringLiteral("sys"));
    m_defaults = std::make_unique<UserDefaults>(m_dir.filePath(QStringLiteral("settings.conf")));
    m_settings = std::make_unique<ViewSettings>(*m_defaults);

    DashboardSources sources;
    sources.procRoot = root + "/proc";
    sources.sysRoot = root + "/sys";
    sources.homePath = root;
    // Refused at once: the pictures never depend on the network.
    sources.publicAddressUrl = "http://127.0.0.1:9";
    m_dashboard = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(sources.procRoot),
        std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(sources.sysRoot),
        sources);
    // The connection list is held for the sample's whole life: a view that shows it then takes the list
    // as it stands, and no view's showing lists the fixture again while its picture is taken.
    QFuture<void> listed = m_dashboard->retainConnections();
    while (!listed.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (kind == Kind::sample)
        publishSamples();
}

SampleData::~SampleData() = default;

std::vector<RunningProcess> SampleData::sampleProcesses()
{
    // In the model's order, busiest first; memory in another order so the memory page sorts them.
    return {{4811, "ollama_llama_server", 10240, 64.2, {}}, {2290, "clangd", 2150, 21.7, {}},
        {5120, "cc1plus", 880, 18.4, {}}, {1733, "firefox-esr", 3420, 9.6, {}}, {1201, "gnome-shell", 640, 4.1, {}},
        {3050, kLongProcessName, 1980, 3.3, {}}, {3981, "ninja", 60, 2.0, {}}, {988, "pipewire", 40, 0.9, {}}};
}

platform::MachineFacts SampleData::machineFacts() const
{
    platform::MachineFacts f;
    if (m_kind == Kind::noSensors)
        return f; // a machine that tells nothing about itself
    f.modelIdentifier = "Dell Inc. XPS 13 9320";
    f.cpuBrand = "12th Gen Intel(R) Core(TM) i7-1260P";
    f.logicalCpus = 16;
    f.performanceCpus = 8;
    f.efficiencyCpus = 8;
    f.memoryBytes = 32ull * 1024 * 1024 * 1024;
    f.osVersion = "12";
    f.kernelRelease = "6.1.0-18-amd64";
    f.kernelName = "Linux";
    f.architecture = "x86_64";
    f.machineId = "4f1c0d2e9a8b4c7d8e6f5a4b3c2d1e0f";
    f.serialNumber = "7XK2PL3";
    f.gpuDriver = "i915";
    return f;
}

void SampleData::publishSamples()
{
    // A minute of samples: AI models taking between 10 % and 35 % of memory, ending on the fixed figures.
    for (int i = 0; i < DashboardViewModel::kHistoryLength; ++i) {
        DashboardSample s;
        s.cpuKind = DashboardSample::CpuKind::measured;
        // A varying load that ends on the label's figure.
        const int left = DashboardViewModel::kHistoryLength - 1 - i;
        const double busy = (kCpuUsage + 18.0 * std::sin(left / 5.0)) / 100.0;
        s.cpuLoad.perCore = {busy, busy, busy, busy};
        s.cpuLoad.performanceSum = busy * 4;
        s.cpuLoad.userTicks = 70;
        s.cpuLoad.systemTicks = 30;
        s.cpuLoad.totalTicks = 400;
        s.processorCount = 4;
        s.cpuFrequencyGHz = 2.2 + 1.4 * busy;
        s.power = DashboardSample::Power {4.0 + 20.0 * busy, 2.6};
        s.memory.totalGB = 32;
        s.memory.aiModelsGB = 32 * (0.22 + 0.12 * std::sin(i / 6.0));
        s.memory.freeGB = 3.1;
        s.memory.inactiveGB = kHeadroomGB - 3.1;
        s.memory.systemUsedGB = 32 - kHeadroomGB - s.memory.aiModelsGB;
        constexpr std::uint64_t gib = 1ull << 30;
        s.memoryUse = platform::MemoryUse {std::uint64_t(18.4 * gib), std::uint64_t(2.9 * gib), gib * 3 / 2};
        s.thermal = QVThermalState::forLevel(QVThermalState::Level::balanced);
        s.localAddress = "192.168.1.20";
        s.chipTemperature = 58.4 + 3 * std::sin(i / 9.0);
        s.gpuTemperature = 51.0;
        s.fanRPMs = {2140.6};
        s.gpuBusyPercent = 22.0;
        platform::BatteryStatus battery;
        battery.currentCapacity = 76;
        battery.isCharging = true;
        s.battery = battery;
        s.network = platform::ByteTotals {std::uint64_t(i) * 48 * 1024, std::uint64_t(i) * 310 * 1024};
        s.processes = sampleProcesses();
        auto largest = sampleProcesses();
        std::stable_sort(largest.begin(), largest.end(),
            [](const RunningProcess& a, const RunningProcess& b) { return a.memoryMB > b.memoryMB; });
        s.memoryProcesses = largest;
        m_dashboard->publishSample(s);
    }
}
