#pragma once

#include "DashboardSampler.h"
#include "FigureEstimator.h"
#include "MeasuredFigures.h"
#include "OllamaModel.h"
#include "QVThermalState.h"
#include "RunningProcess.h"
#include "SystemMemoryState.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PublicAddressFetcher;

// One established external TCP connection as the connections tab lists it.
struct ConnectionRow
{
    QString remote; // "local->remote"
    QString status;
    QString processName;
    QString pid;
    bool operator==(const ConnectionRow&) const = default;
};

// The one model behind the menu-bar label, the popover and the dashboard tabs. Lives on the GUI thread;
// once a second its tick reads the machine and the engines on a worker thread and publishes the figures
// back here. Each figure has a getter and a change signal; only the three input flags have setters.
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
    static constexpr int kHistoryLength = 60;
    static constexpr int kMaxConnections = 15;
    static inline const QString kCheckingPublicIP = QStringLiteral("Checking...");

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

    // Ends the process behind a connection row (pid as the row holds it) and lists the connections again
    // 0.25 s later. Ids that are not a positive number are ignored.
    QFuture<void> killConnectionProcess(const QString& pid);

    // The connection list costs the kernel a walk of its whole socket table, so ticks list connections only
    // while a view that shows them holds a demand. The first demand lists them at once (the returned future
    // finishes when that listing is published); the last release empties the list, so that a view opened
    // later never shows an old one.
    QFuture<void> retainConnections();
    void releaseConnections();
    bool listsConnections() const { return m_connectionDemand > 0; }

    // The public address is asked of an outside service, so it is looked up only while a view that shows
    // it holds a demand: at once when the first demand comes (unless the last lookup is recent), then
    // again every PublicAddressFetcher::refreshInterval at most, however often the ticks come, and never
    // with no demand.
    void retainPublicAddress();
    void releasePublicAddress();
    bool looksUpPublicAddress() const { return m_publicAddressDemand > 0; }

    // Writes the CPU history to Quorvane_History_<unix time>.csv in the temporary folder, atomically.
    // The file's path, or nothing when the write failed.
    std::optional<QString> exportHistoryToCSV() const;
    // The same text written to `path`, atomically: the path, or nothing when the write failed.
    std::optional<QString> exportHistoryToCSV(const QString& path) const;
    // "Quorvane_History_" + the time in seconds since 1970 + ".csv".
    static QString historyFileName(Date now);

    // Published figures.
    const std::optional<SystemMemoryState>& memoryState() const { return m_memoryState; }
    // Program, wired and compressed memory of the last sample; absent without /proc/meminfo.
    const std::optional<platform::MemoryUse>& memoryUse() const { return m_memoryUse; }
    const std::vector<OllamaModel>& loadedModels() const { return m_loadedModels; }
    const std::optional<QVThermalState>& thermalState() const { return m_thermalState; }
    bool isOllamaRunning() const { return m_isOllamaRunning; }
    double cpuUsage() const { return m_cpuUsage; }
    double eClusterUsage() const { return m_eClusterUsage; }
    double pClusterUsage() const { return m_pClusterUsage; }
    double aneUsage() const { return m_aneUsage; }
    double anePowerDraw() const { return m_anePowerDraw; }
    double gpuUsage() const { return m_gpuUsage; }
    int gpuCoreCount() const { return m_gpuCoreCount; }
    QList<double> perCoreUsage() const { return m_perCoreUsage; }
    double userCpuPercent() const { return m_userCpuPercent; }
    double systemCpuPercent() const { return m_systemCpuPercent; }
    double cpuFrequencyGHz() const { return m_cpuFrequencyGHz; }
    int displayFPS() const { return m_displayFPS; }
    QList<double> cpuHistory() const { return m_cpuHistory; }
    // The CPU history with every entry no reading stands behind (a tick that could not compare two
    // samples of the counters) as NaN, which the charts leave undrawn.
    QList<double> measuredCpuHistory() const;
    QList<double> memoryHistory() const { return m_memoryHistory; }
    QList<double> aiMemoryHistory() const { return m_aiMemoryHistory; }
    const std::vector<RunningProcess>& topProcesses() const { return m_topProcesses; }
    // The processes holding the most resident memory, most first (paused with topProcesses).
    const std::vector<RunningProcess>& topMemoryProcesses() const { return m_topMemoryProcesses; }
    double socTemperature() const { return m_socTemperature; }
    double gpuTemperature() const { return m_gpuTemperature; }
    double ssdTemperature() const { return m_ssdTemperature; }
    double throttlingStatus() const { return m_throttlingStatus; }
    QList<double> fanRPMs() const { return m_fanRPMs; }
    double powerDraw() const { return m_powerDraw; }
    double cpuPowerDraw() const { return m_cpuPowerDraw; }
    double gpuPowerDraw() const { return m_gpuPowerDraw; }
    int batteryPercentage() const { return m_batteryPercentage; }
    bool batteryIsCharging() const { return m_batteryIsCharging; }
    int batteryTimeToEmpty() const { return m_batteryTimeToEmpty; }
    bool isUnplugged() const { return m_isUnplugged; }
    double networkUpload() const { return m_networkUpload; }
    double networkDownload() const { return m_networkDownload; }
    QString localIP() const { return m_localIP; }
    QString publicIP() const { return m_publicIP; }
    const std::vector<ConnectionRow>& activeConnections() const { return m_activeConnections; }
    // True once a listing for the views that hold a demand has been published: an empty list is then
    // "no connections" rather than "not listed yet".
    bool connectionsListed() const { return m_connectionsListed; }
    bool isLowPowerModeEnabled() const { return m_isLowPowerModeEnabled; }
    bool forceTurboCooling() const { return m_forceTurboCooling; }
    double diskUsed() const { return m_diskUsed; }
    double diskTotal() const { return m_diskTotal; }
    bool isProcessesPaused() const { return m_isProcessesPaused; }
    // Which of the figures above the last tick read from a real source.
    const MeasuredFigures& measured() const { return m_measured; }

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
    // The figures one publication changes: each changed figure signals at once, figuresChanged follows once
    // at the end when any did.
    class ChangeBatch
    {
    public:
        explicit ChangeBatch(DashboardViewModel& model)
            : m_model(model)
        {
        }
        template<typename T> void publish(T& field, const T& value, void (DashboardViewModel::*changed)())
        {
            m_any = m_model.publish(field, value, changed) || m_any;
        }
        void finish();

    private:
        DashboardViewModel& m_model;
        bool m_any = false;
    };

    // Stores the value and signals when it differs; true when it did.
    template<typename T> bool publish(T& field, const T& value, void (DashboardViewModel::*changed)());

    void detectCoreCounts(const DashboardSources& sources);
    void sampleAfterReclaim();
    void updateCPUUsage(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updateTemperatures(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updatePowerEstimates(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updateBatteryStatus(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updateNetworkRates(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updateDiskUsage(const DashboardSample& sample, ChangeBatch& changes);
    void updateIPAddresses(const DashboardSample& sample, ChangeBatch& changes);
    void publishConnections(const std::vector<platform::TcpConnection>& connections, ChangeBatch& changes);
    // Lists the connections on the pool and publishes them while some view still wants them.
    QFuture<void> listConnections(std::chrono::milliseconds delay = {});
    void fetchPublicIP();
    void updateEstimates(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured);
    void updateHistories(ChangeBatch& changes, bool cpuMeasured);

    std::optional<SystemMemoryState> m_memoryState;
    std::optional<platform::MemoryUse> m_memoryUse;
    std::vector<OllamaModel> m_loadedModels;
    std::optional<QVThermalState> m_thermalState;
    bool m_isOllamaRunning = false;
    double m_cpuUsage = 0;
    double m_eClusterUsage = 0;
    double m_pClusterUsage = 0;
    double m_aneUsage = 0;
    double m_anePowerDraw = 0;
    double m_gpuUsage = 0;
    int m_gpuCoreCount = 16;
    QList<double> m_perCoreUsage;
    double m_userCpuPercent = 7.0;
    double m_systemCpuPercent = 5.0;
    double m_cpuFrequencyGHz = 1.89;
    int m_displayFPS = 60;
    QList<double> m_cpuHistory = QList<double>(kHistoryLength, 0.0);
    QList<double> m_memoryHistory = QList<double>(kHistoryLength, 0.0);
    QList<double> m_aiMemoryHistory = QList<double>(kHistoryLength, 0.0);
    QList<bool> m_cpuHistoryMeasured = QList<bool>(kHistoryLength, false); // per entry of m_cpuHistory
    std::vector<RunningProcess> m_topProcesses;
    std::vector<RunningProcess> m_topMemoryProcesses;
    double m_socTemperature = 0;
    double m_gpuTemperature = 0;
    double m_ssdTemperature = 0;
    double m_throttlingStatus = 0;
    QList<double> m_fanRPMs = QList<double> {0.0};
    double m_powerDraw = 0;
    double m_cpuPowerDraw = 0;
    double m_gpuPowerDraw = 0;
    int m_batteryPercentage = 0;
    bool m_batteryIsCharging = false;
    int m_batteryTimeToEmpty = 0;
    bool m_isUnplugged = false;
    double m_networkUpload = 0;
    double m_networkDownload = 0;
    QString m_localIP = QStringLiteral("127.0.0.1");
    QString m_publicIP = kCheckingPublicIP;
    std::vector<ConnectionRow> m_activeConnections;
    bool m_connectionsListed = false;
    bool m_isLowPowerModeEnabled = false;
    bool m_forceTurboCooling = false;
    double m_diskUsed = 0;
    double m_diskTotal = 0;
    bool m_isProcessesPaused = false;
    MeasuredFigures m_measured;

    std::shared_ptr<MemoryEngine> m_memoryEngine;
    std::shared_ptr<OllamaEngine> m_ollamaEngine;
    std::shared_ptr<ThermalEngine> m_thermalEngine;
    // Used on the pool's threads by the tick in flight, the re-listing after a kill and memory snapshots.
    std::shared_ptr<DashboardSampler> m_sampler;
    std::shared_ptr<PublicAddressFetcher> m_publicAddress;
    QTimer* m_timer = nullptr;
    int m_eCoreCount = 0;
    int m_pCoreCount = 0;
    std::optional<platform::ByteTotals> m_lastNetworkStats;
    std::optional<QFuture<void>> m_tickInFlight;
    int m_connectionDemand = 0;
    int m_publicAddressDemand = 0;
    std::function<std::chrono::steady_clock::time_point()> m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_lastPublicLookup;
    bool m_sampleAgain = false; // storage was reclaimed while the tick in flight was reading
    FigureEstimator m_estimator;
    QThreadPool m_pool;
};
