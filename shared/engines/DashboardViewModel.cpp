#include "DashboardViewModel.h"

#include "MemoryEngine.h"
#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "platform/host/Sysctl.h"

#include <set>
#include <utility>

DashboardViewModel::DashboardViewModel(std::shared_ptr<MemoryEngine> memoryEngine,
    std::shared_ptr<OllamaEngine> ollamaEngine, std::shared_ptr<ThermalEngine> thermalEngine,
    const DashboardSources& sources, QObject* parent)
    : QObject(parent)
    , m_memoryEngine(memoryEngine)
    , m_ollamaEngine(ollamaEngine)
    , m_thermalEngine(thermalEngine)
    , m_sampler(std::make_shared<DashboardSampler>(memoryEngine, ollamaEngine, thermalEngine, sources))
    , m_network(m_sampler, m_pool, sources)
{
    m_pool.setMaxThreadCount(3);
    detectCoreCounts(sources);
    connect(
        &m_network, &DashboardNetwork::activeConnectionsChanged, this, &DashboardViewModel::activeConnectionsChanged);
    connect(
        &m_network, &DashboardNetwork::connectionsListedChanged, this, &DashboardViewModel::connectionsListedChanged);
    connect(&m_network, &DashboardNetwork::publicIPChanged, this, &DashboardViewModel::publicIPChanged);
    connect(&m_network, &DashboardNetwork::figuresChanged, this, &DashboardViewModel::figuresChanged);
    NotificationCenter::defaultCenter().observe(
        Notifications::didReclaimStorage, this, [this](const QVariantMap&) { sampleAfterReclaim(); });
}

DashboardViewModel::~DashboardViewModel()
{
    stopPolling();
    m_pool.waitForDone();
}

void DashboardViewModel::detectCoreCounts(const DashboardSources& sources)
{
    const platform::Sysctl sysctl(sources.procRoot, sources.sysRoot);
    m_eCoreCount = static_cast<int>(sysctl.integer("hw.perflevel1.logicalcpu").value_or(0));
    m_pCoreCount = static_cast<int>(sysctl.integer("hw.perflevel0.logicalcpu").value_or(0));
    if (m_eCoreCount == 0 && m_pCoreCount == 0)
        m_eCoreCount = m_pCoreCount = 4;
    m_figures.gpuCoreCount = 2 * (m_eCoreCount + m_pCoreCount);
    if (m_figures.gpuCoreCount < 1)
        m_figures.gpuCoreCount = 16;
    const auto efficiency = sysctl.efficiencyCpus();
    m_sampler->setEfficiencyCpus(std::set<int>(efficiency.begin(), efficiency.end()));
    m_reader.setCoreCounts(m_eCoreCount, m_pCoreCount, !efficiency.empty());
}

void DashboardViewModel::startPolling()
{
    stopPolling();
    updateAll();
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { updateAll(); });
    m_timer->start();
}

void DashboardViewModel::stopPolling()
{
    delete m_timer;
    m_timer = nullptr;
}

QFuture<void> DashboardViewModel::updateAll()
{
    if (m_tickInFlight && !m_tickInFlight->isFinished())
        return *m_tickInFlight;
    const bool fetchProcesses = !m_isProcessesPaused;
    const bool withConnections = listsConnections();
    m_tickInFlight = m_work.run([sampler = m_sampler, fetchProcesses,
                                    withConnections] { return sampler->sample(fetchProcesses, withConnections); },
        [this](const DashboardSample& sample) {
            publishSample(sample);
            if (std::exchange(m_sampleAgain, false))
                QMetaObject::invokeMethod(
                    this, [this] { updateAll(); }, Qt::QueuedConnection);
        });
    return *m_tickInFlight;
}

void DashboardViewModel::sampleAfterReclaim()
{
    // A tick still reading may have read the machine before the files went: a fresh one follows it.
    if (m_tickInFlight && !m_tickInFlight->isFinished())
        m_sampleAgain = true;
    else
        updateAll();
}

void DashboardViewModel::publishSample(const DashboardSample& sample)
{
    const DashboardFigures next = m_reader.read(m_figures, sample, m_isProcessesPaused);
    Changes changes(*this);
    publishReadings(next, changes);
    changes.add(m_network.publishTick(sample));
    publishEstimates(next, changes);
    publishHistories(changes, next.measured.cpuUsage);
    changes.publish(m_figures.measured, next.measured, &DashboardViewModel::measuredChanged);
    changes.finish();
}

void DashboardViewModel::publishReadings(const DashboardFigures& next, Changes& changes)
{
    using VM = DashboardViewModel;
    DashboardFigures& f = m_figures;
    changes.publish(f.perCoreUsage, next.perCoreUsage, &VM::perCoreUsageChanged);
    changes.publish(f.userCpuPercent, next.userCpuPercent, &VM::userCpuPercentChanged);
    changes.publish(f.systemCpuPercent, next.systemCpuPercent, &VM::systemCpuPercentChanged);
    changes.publish(f.eClusterUsage, next.eClusterUsage, &VM::eClusterUsageChanged);
    changes.publish(f.pClusterUsage, next.pClusterUsage, &VM::pClusterUsageChanged);
    changes.publish(f.cpuUsage, next.cpuUsage, &VM::cpuUsageChanged);
    changes.publish(f.cpuFrequencyGHz, next.cpuFrequencyGHz, &VM::cpuFrequencyGHzChanged);
    changes.publish(f.displayFPS, next.displayFPS, &VM::displayFPSChanged);

    changes.publish(f.isOllamaRunning, next.isOllamaRunning, &VM::isOllamaRunningChanged);
    changes.publish(f.loadedModels, next.loadedModels, &VM::loadedModelsChanged);
    changes.publish(f.memoryState, next.memoryState, &VM::memoryStateChanged);
    changes.publish(f.memoryUse, next.memoryUse, &VM::memoryUseChanged);
    changes.publish(f.thermalState, next.thermalState, &VM::thermalStateChanged);
    changes.publish(f.topProcesses, next.topProcesses, &VM::topProcessesChanged);
    changes.publish(f.topMemoryProcesses, next.topMemoryProcesses, &VM::topMemoryProcessesChanged);

    changes.publish(f.socTemperature, next.socTemperature, &VM::socTemperatureChanged);
    changes.publish(f.gpuTemperature, next.gpuTemperature, &VM::gpuTemperatureChanged);
    changes.publish(f.ssdTemperature, next.ssdTemperature, &VM::ssdTemperatureChanged);
    changes.publish(f.throttlingStatus, next.throttlingStatus, &VM::throttlingStatusChanged);
    changes.publish(f.throttleEvents, next.throttleEvents, &VM::throttleEventsChanged);
    changes.publish(f.fanRPMs, next.fanRPMs, &VM::fanRPMsChanged);
    changes.publish(f.cpuPowerDraw, next.cpuPowerDraw, &VM::cpuPowerDrawChanged);
    changes.publish(f.gpuPowerDraw, next.gpuPowerDraw, &VM::gpuPowerDrawChanged);
    changes.publish(f.powerDraw, next.powerDraw, &VM::powerDrawChanged);
    changes.publish(f.batteryPercentage, next.batteryPercentage, &VM::batteryPercentageChanged);
    changes.publish(f.batteryIsCharging, next.batteryIsCharging, &VM::batteryIsChargingChanged);
    changes.publish(f.batteryTimeToEmpty, next.batteryTimeToEmpty, &VM::batteryTimeToEmptyChanged);
    changes.publish(f.isUnplugged, next.isUnplugged, &VM::isUnpluggedChanged);
    changes.publish(f.networkDownload, next.networkDownload, &VM::networkDownloadChanged);
    changes.publish(f.networkUpload, next.networkUpload, &VM::networkUploadChanged);
    changes.publish(f.diskTotal, next.diskTotal, &VM::diskTotalChanged);
    changes.publish(f.diskUsed, next.diskUsed, &VM::diskUsedChanged);
    changes.publish(f.localIP, next.localIP, &VM::localIPChanged);
}

void DashboardViewModel::publishEstimates(const DashboardFigures& next, Changes& changes)
{
    changes.publish(m_figures.aneUsage, next.aneUsage, &DashboardViewModel::aneUsageChanged);
    changes.publish(m_figures.anePowerDraw, next.anePowerDraw, &DashboardViewModel::anePowerDrawChanged);
    changes.publish(m_figures.gpuUsage, next.gpuUsage, &DashboardViewModel::gpuUsageChanged);
}

void DashboardViewModel::publishHistories(Changes& changes, bool cpuMeasured)
{
    const DashboardHistory next = m_history.next(m_figures.cpuUsage, cpuMeasured, m_figures.memoryState);
    changes.publish(m_history.cpu, next.cpu, &DashboardViewModel::cpuHistoryChanged);
    // Which entries a reading stands behind: the chart leaves the others out rather than draw them as 0 %.
    changes.publish(m_history.cpuMeasured, next.cpuMeasured, &DashboardViewModel::cpuHistoryChanged);
    changes.publish(m_history.memory, next.memory, &DashboardViewModel::memoryHistoryChanged);
    changes.publish(m_history.aiMemory, next.aiMemory, &DashboardViewModel::aiMemoryHistoryChanged);
}

void DashboardViewModel::setIsLowPowerModeEnabled(bool enabled)
{
    publishFigure(*this, m_isLowPowerModeEnabled, enabled, &DashboardViewModel::isLowPowerModeEnabledChanged);
}

void DashboardViewModel::setForceTurboCooling(bool enabled)
{
    publishFigure(*this, m_forceTurboCooling, enabled, &DashboardViewModel::forceTurboCoolingChanged);
}

void DashboardViewModel::setIsProcessesPaused(bool paused)
{
    publishFigure(*this, m_isProcessesPaused, paused, &DashboardViewModel::isProcessesPausedChanged);
}

QFuture<SystemMemoryState> DashboardViewModel::getMemorySnapshot()
{
    return runOnPool(&m_pool, [sampler = m_sampler] { return sampler->memorySnapshot(); });
}
