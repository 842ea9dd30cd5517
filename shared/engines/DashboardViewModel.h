#pragma once

#include "ChangeBatch.h"
#include "DashboardFigureReader.h"
#include "DashboardFigures.h"
#include "DashboardHistory.h"
#include "DashboardNetwork.h"
#include "DashboardSampler.h"

#include "core/PendingWork.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

// The one model behind the menu-bar label, the popover and the dashboard tabs. Lives on the GUI thread;
// once a second its tick reads the machine and the engines on a worker thread and publishes the figures
// back here. Each figure has a getter and a change signal; only the three input flags have setters. The
// figures are read from the tick's sample by DashboardFigureReader, the last minute is kept in
// DashboardHistory, and the network figures that cost something to read are DashboardNetwork's.
class DashboardViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isOllamaRunning READ isOllamaRunning NOTIFY isOllamaRunningChanged)
    Q_PROPERTY(double cpuUsage READ cpuUsage NOTIFY cpuUsageChanged)
    Q_PROPERTY(double eClusterUsage READ eClusterUsage NOTIFY eClusterUsageChanged)
    Q_PROPERTY(double pClusterUsage READ pClusterUsage NOTIFY pClusterUsageChanged)
    Q_PROPERTY(double aneUsage READ aneUsage NOTIFY aneUsageChanged)
    Q_PROPERTY(double anePowerDraw READ anePowerDraw NOTIFY anePowerDrawChanged)
    Q_PROPERTY(double gpuUsage READ gpuUsage NOTIFY gpuUsageChanged)
    Q_PROPERTY(int gpuCoreCount READ gpuCoreCount NOTIFY gpuCoreCountChanged)
    Q_PROPERTY(QList<double> perCoreUsage READ perCoreUsage NOTIFY perCoreUsageChanged)
    Q_PROPERTY(double userCpuPercent READ userCpuPercent NOTIFY userCpuPercentChanged)
    Q_PROPERTY(double systemCpuPercent READ systemCpuPercent NOTIFY systemCpuPercentChanged)
    Q_PROPERTY(double cpuFrequencyGHz READ cpuFrequencyGHz NOTIFY cpuFrequencyGHzChanged)
    Q_PROPERTY(int displayFPS READ displayFPS NOTIFY displayFPSChanged)
    Q_PROPERTY(QList<double> cpuHistory READ cpuHistory NOTIFY cpuHistoryChanged)
    Q_PROPERTY(QList<double> memoryHistory READ memoryHistory NOTIFY memoryHistoryChanged)
    Q_PROPERTY(QList<double> aiMemoryHistory READ aiMemoryHistory NOTIFY aiMemoryHistoryChanged)
    Q_PROPERTY(double socTemperature READ socTemperature NOTIFY socTemperatureChanged)
    Q_PROPERTY(double gpuTemperature READ gpuTemperature NOTIFY gpuTemperatureChanged)
    Q_PROPERTY(double ssdTemperature READ ssdTemperature NOTIFY ssdTemperatureChanged)
    Q_PROPERTY(double throttlingStatus READ throttlingStatus NOTIFY throttlingStatusChanged)
    Q_PROPERTY(QList<double> fanRPMs READ fanRPMs NOTIFY fanRPMsChanged)
    Q_PROPERTY(double powerDraw READ powerDraw NOTIFY powerDrawChanged)
    Q_PROPERTY(double cpuPowerDraw READ cpuPowerDraw NOTIFY cpuPowerDrawChanged)
    Q_PROPERTY(double gpuPowerDraw READ gpuPowerDraw NOTIFY gpuPowerDrawChanged)
    Q_PROPERTY(int batteryPercentage READ batteryPercentage NOTIFY batteryPercentageChanged)
    Q_PROPERTY(bool batteryIsCharging READ batteryIsCharging NOTIFY batteryIsChargingChanged)
    Q_PROPERTY(int batteryTimeToEmpty READ batteryTimeToEmpty NOTIFY batteryTimeToEmptyChanged)
    Q_PROPERTY(bool isUnplugged READ isUnplugged NOTIFY isUnpluggedChanged)
    Q_PROPERTY(double networkUpload READ networkUpload NOTIFY networkUploadChanged)
    Q_PROPERTY(double networkDownload READ networkDownload NOTIFY networkDownloadChanged)
    Q_PROPERTY(QString localIP READ localIP NOTIFY localIPChanged)
    Q_PROPERTY(QString publicIP READ publicIP NOTIFY publicIPChanged)
    Q_PROPERTY(bool isLowPowerModeEnabled READ isLowPowerModeEnabled WRITE setIsLowPowerModeEnabled NOTIFY
            isLowPowerModeEnabledChanged)
    Q_PROPERTY(bool forceTurboCooling READ forceTurboCooling WRITE setForceTurboCooling NOTIFY forceTurboCoolingChanged)
    Q_PROPERTY(double diskUsed READ diskUsed NOTIFY diskUsedChanged)
    Q_PROPERTY(double diskTotal READ diskTotal NOTIFY diskTotalChanged)
    Q_PROPERTY(bool isProcessesPaused READ isProcessesPaused WRITE setIsProcessesPaused NOTIFY isProcessesPausedChanged)

public:
    static constexpr int kHistoryLength = DashboardHistory::kLength;
    static constexpr int kMaxConnections = DashboardNetwork::kMaxConnections;
    static inline const QString kCheckingPublicIP = DashboardNetwork::kCheckingPublicIP;

    DashboardViewModel(std::shared_ptr<MemoryEngine> memoryEngine, std::shared_ptr<OllamaEngine> ollamaEngine,
        std::shared_ptr<ThermalEngine> thermalEngine, const DashboardSources& sources = {}, QObject* parent = nullptr);
    ~DashboardViewModel() override;

    // Ticks now and then every 1.0 s until stopPolling().
    void startPolling();
    void stopPolling();
    bool isPolling() const { return m_timer != nullptr; }

    // One tick. While a tick is still reading, no second one starts: the returned future is that tick's.
    // The future finishes once the figures are published (on the GUI thread).
    QFuture<void> updateAll();

    // A memory sample taken now on a worker thread; not published.
    QFuture<SystemMemoryState> getMemorySnapshot();

    // The network figures that cost something to read, only while a view holds a demand (DashboardNetwork).
    QFuture<void> killConnectionProcess(const QString& pid) { return m_network.killConnectionProcess(pid); }
    QFuture<void> retainConnections() { return m_network.retainConnections(); }
    void releaseConnections() { m_network.releaseConnections(); }
    bool listsConnections() const { return m_network.listsConnections(); }
    void retainPublicAddress() { m_network.retainPublicAddress(); }
    void releasePublicAddress() { m_network.releasePublicAddress(); }
    bool looksUpPublicAddress() const { return m_network.looksUpPublicAddress(); }

    // The CPU history as CSV (DashboardHistory::exportCSV).
    std::optional<QString> exportHistoryToCSV() const { return m_history.exportCSV(); }
    std::optional<QString> exportHistoryToCSV(const QString& path) const { return m_history.exportCSV(path); }
    static QString historyFileName(Date now) { return DashboardHistory::fileName(now); }

    // Published figures.
    const std::optional<SystemMemoryState>& memoryState() const { return m_figures.memoryState; }
    // Program, wired and compressed memory of the last sample; absent without /proc/meminfo.
    const std::optional<platform::MemoryUse>& memoryUse() const { return m_figures.memoryUse; }
    const std::vector<OllamaModel>& loadedModels() const { return m_figures.loadedModels; }
    const std::optional<QVThermalState>& thermalState() const { return m_figures.thermalState; }
    bool isOllamaRunning() const { return m_figures.isOllamaRunning; }
    double cpuUsage() const { return m_figures.cpuUsage; }
    double eClusterUsage() const { return m_figures.eClusterUsage; }
    double pClusterUsage() const { return m_figures.pClusterUsage; }
    double aneUsage() const { return m_figures.aneUsage; }
    double anePowerDraw() const { return m_figures.anePowerDraw; }
    double gpuUsage() const { return m_figures.gpuUsage; }
    int gpuCoreCount() const { return m_figures.gpuCoreCount; }
    QList<double> perCoreUsage() const { return m_figures.perCoreUsage; }
    double userCpuPercent() const { return m_figures.userCpuPercent; }
    double systemCpuPercent() const { return m_figures.systemCpuPercent; }
    double cpuFrequencyGHz() const { return m_figures.cpuFrequencyGHz; }
    int displayFPS() const { return m_figures.displayFPS; }
    QList<double> cpuHistory() const { return m_history.cpu; }
    // The CPU history with every entry no reading stands behind (a tick that could not compare two
    // samples of the counters) as NaN, which the charts leave undrawn.
    QList<double> measuredCpuHistory() const { return m_history.measuredCpu(); }
    QList<double> memoryHistory() const { return m_history.memory; }
    QList<double> aiMemoryHistory() const { return m_history.aiMemory; }
    const std::vector<RunningProcess>& topProcesses() const { return m_figures.topProcesses; }
    // The processes holding the most resident memory, most first (paused with topProcesses).
    const std::vector<RunningProcess>& topMemoryProcesses() const { return m_figures.topMemoryProcesses; }
    double socTemperature() const { return m_figures.socTemperature; }
    double gpuTemperature() const { return m_figures.gpuTemperature; }
    double ssdTemperature() const { return m_figures.ssdTemperature; }
    double throttlingStatus() const { return m_figures.throttlingStatus; }
    // Thermal throttle events since boot; measured().throttling says whether the CPUs count them.
    std::uint64_t throttleEvents() const { return m_figures.throttleEvents; }
    QList<double> fanRPMs() const { return m_figures.fanRPMs; }
    double powerDraw() const { return m_figures.powerDraw; }
    double cpuPowerDraw() const { return m_figures.cpuPowerDraw; }
    double gpuPowerDraw() const { return m_figures.gpuPowerDraw; }
    int batteryPercentage() const { return m_figures.batteryPercentage; }
    bool batteryIsCharging() const { return m_figures.batteryIsCharging; }
    int batteryTimeToEmpty() const { return m_figures.batteryTimeToEmpty; }
    bool isUnplugged() const { return m_figures.isUnplugged; }
    double networkUpload() const { return m_figures.networkUpload; }
    double networkDownload() const { return m_figures.networkDownload; }
    QString localIP() const { return m_figures.localIP; }
    QString publicIP() const { return m_network.publicIP(); }
    const std::vector<ConnectionRow>& activeConnections() const { return m_network.activeConnections(); }
    // True once a listing for the views that hold a demand has been published: an empty list is then
    // "no connections" rather than "not listed yet".
    bool connectionsListed() const { return m_network.connectionsListed(); }
    bool isLowPowerModeEnabled() const { return m_isLowPowerModeEnabled; }
    bool forceTurboCooling() const { return m_forceTurboCooling; }
    double diskUsed() const { return m_figures.diskUsed; }
    double diskTotal() const { return m_figures.diskTotal; }
    bool isProcessesPaused() const { return m_isProcessesPaused; }
    // Which of the figures above the last tick read from a real source.
    const MeasuredFigures& measured() const { return m_figures.measured; }

    void setIsLowPowerModeEnabled(bool enabled);
    void setForceTurboCooling(bool enabled);
    void setIsProcessesPaused(bool paused);

    int eCoreCount() const { return m_eCoreCount; }
    int pCoreCount() const { return m_pCoreCount; }

    // The figures of one finished tick, published in the tick's order (the GUI-thread half of updateAll).
    void publishSample(const DashboardSample& sample);

signals:
    void memoryStateChanged();
    void memoryUseChanged();
    void loadedModelsChanged();
    void thermalStateChanged();
    void isOllamaRunningChanged();
    void cpuUsageChanged();
    void eClusterUsageChanged();
    void pClusterUsageChanged();
    void aneUsageChanged();
    void anePowerDrawChanged();
    void gpuUsageChanged();
    void gpuCoreCountChanged();
    void perCoreUsageChanged();
    void userCpuPercentChanged();
    void systemCpuPercentChanged();
    void cpuFrequencyGHzChanged();
    void displayFPSChanged();
    void cpuHistoryChanged();
    void memoryHistoryChanged();
    void aiMemoryHistoryChanged();
    void topProcessesChanged();
    void topMemoryProcessesChanged();
    void socTemperatureChanged();
    void gpuTemperatureChanged();
    void ssdTemperatureChanged();
    void throttlingStatusChanged();
    void throttleEventsChanged();
    void fanRPMsChanged();
    void powerDrawChanged();
    void cpuPowerDrawChanged();
    void gpuPowerDrawChanged();
    void batteryPercentageChanged();
    void batteryIsChargingChanged();
    void batteryTimeToEmptyChanged();
    void isUnpluggedChanged();
    void networkUploadChanged();
    void networkDownloadChanged();
    void localIPChanged();
    void publicIPChanged();
    void activeConnectionsChanged();
    void connectionsListedChanged();
    void isLowPowerModeEnabledChanged();
    void forceTurboCoolingChanged();
    void diskUsedChanged();
    void diskTotalChanged();
    void isProcessesPausedChanged();
    void measuredChanged();
    // Once per tick (and per other publication) after the figures that changed have been signalled.
    void figuresChanged();

private:
    using Changes = ChangeBatch<DashboardViewModel>;

    void detectCoreCounts(const DashboardSources& sources);
    void sampleAfterReclaim();
    // The figures a tick read from the machine and the estimates, in the order they always signal.
    void publishReadings(const DashboardFigures& next, Changes& changes);
    void publishEstimates(const DashboardFigures& next, Changes& changes);
    void publishHistories(Changes& changes, bool cpuMeasured);

    DashboardFigures m_figures;
    DashboardHistory m_history;
    bool m_isLowPowerModeEnabled = false;
    bool m_forceTurboCooling = false;
    bool m_isProcessesPaused = false;

    std::shared_ptr<MemoryEngine> m_memoryEngine;
    std::shared_ptr<OllamaEngine> m_ollamaEngine;
    std::shared_ptr<ThermalEngine> m_thermalEngine;
    // Used on the pool's threads by the tick in flight, the re-listing after a kill and memory snapshots.
    std::shared_ptr<DashboardSampler> m_sampler;
    // Room for a tick, a connection re-listing after a kill and a memory snapshot side by side.
    QThreadPool m_pool;
    DashboardNetwork m_network;
    DashboardFigureReader m_reader;
    QTimer* m_timer = nullptr;
    int m_eCoreCount = 0;
    int m_pCoreCount = 0;
    std::optional<QFuture<void>> m_tickInFlight;
    bool m_sampleAgain = false; // storage was reclaimed while the tick in flight was reading
    PendingWork m_work {this, &m_pool};
};
