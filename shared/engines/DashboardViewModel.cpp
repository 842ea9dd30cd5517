#include "DashboardViewModel.h"

#include "MemoryEngine.h"
#include "PublicAddressFetcher.h"
#include "ScreenRefreshRate.h"
#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/NumberFormat.h"
#include "core/Units.h"
#include "platform/host/Sysctl.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QSaveFile>
#include <QtConcurrent>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

DashboardViewModel::DashboardViewModel(std::shared_ptr<MemoryEngine> memoryEngine,
    std::shared_ptr<OllamaEngine> ollamaEngine, std::shared_ptr<ThermalEngine> thermalEngine,
    const DashboardSources& sources, QObject* parent)
    : QObject(parent)
    , m_memoryEngine(memoryEngine)
    , m_ollamaEngine(ollamaEngine)
    , m_thermalEngine(thermalEngine)
    , m_sampler(std::make_shared<DashboardSampler>(memoryEngine, ollamaEngine, thermalEngine, sources))
    , m_publicAddress(std::make_shared<PublicAddressFetcher>(
          sources.publicAddressUrl, "/", std::chrono::milliseconds(3000), sources.clock))
    , m_clock(sources.clock ? sources.clock : [] { return std::chrono::steady_clock::now(); })
{
    // Room for a tick, a connection re-listing after a kill and a memory snapshot side by side.
    m_pool.setMaxThreadCount(3);
    detectCoreCounts(sources);
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
    m_gpuCoreCount = 2 * (m_eCoreCount + m_pCoreCount);
    if (m_gpuCoreCount < 1)
        m_gpuCoreCount = 16;
    const auto efficiency = sysctl.efficiencyCpus();
    m_sampler->setEfficiencyCpus(std::set<int>(efficiency.begin(), efficiency.end()));
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
    auto sampler = m_sampler;
    m_tickInFlight = QtConcurrent::run(&m_pool, [sampler, fetchProcesses, withConnections] {
        return sampler->sample(fetchProcesses, withConnections);
    }).then(this, [this](const DashboardSample& sample) {
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
    ChangeBatch changes(*this);
    MeasuredFigures measured;
    updateCPUUsage(sample, changes, measured);

    changes.publish(m_isOllamaRunning, sample.ollamaRunning, &DashboardViewModel::isOllamaRunningChanged);
    changes.publish(m_loadedModels, sample.models, &DashboardViewModel::loadedModelsChanged);
    changes.publish(m_memoryState, std::optional(sample.memory), &DashboardViewModel::memoryStateChanged);
    measured.memory = sample.memory.totalGB > 0;
    changes.publish(m_memoryUse, sample.memoryUse, &DashboardViewModel::memoryUseChanged);
    changes.publish(m_thermalState, std::optional(sample.thermal), &DashboardViewModel::thermalStateChanged);
    // Checked again here: the list is dropped when the user paused it while the tick was reading.
    if (sample.processes && !m_isProcessesPaused)
        changes.publish(m_topProcesses, *sample.processes, &DashboardViewModel::topProcessesChanged);
    if (sample.memoryProcesses && !m_isProcessesPaused)
        changes.publish(m_topMemoryProcesses, *sample.memoryProcesses, &DashboardViewModel::topMemoryProcessesChanged);

    updateTemperatures(sample, changes, measured);
    updatePowerEstimates(sample, changes, measured);
    updateBatteryStatus(sample, changes, measured);
    updateNetworkRates(sample, changes, measured);
    updateDiskUsage(sample, changes);
    updateIPAddresses(sample, changes);
    // A list read before the last view closed is not kept: the next one to open lists afresh.
    if (sample.connectionsListed && listsConnections())
        publishConnections(sample.connections, changes);

    updateEstimates(sample, changes, measured);
    updateHistories(changes, measured.cpuUsage);
    changes.publish(m_measured, measured, &DashboardViewModel::measuredChanged);
    changes.finish();
}

template<typename T> bool DashboardViewModel::publish(T& field, const T& value, void (DashboardViewModel::*changed)())
{
    if (field == value)
        return false;
    field = value;
    emit(this->*changed)();
    return true;
}

void DashboardViewModel::ChangeBatch::finish()
{
    if (m_any)
        emit m_model.figuresChanged();
    m_any = false;
}

void DashboardViewModel::updateCPUUsage(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    if (sample.cpuKind == DashboardSample::CpuKind::measured) {
        measured.cpuUsage = measured.perCoreUsage = measured.performanceCluster = true;
        measured.efficiencyCluster = !m_sampler->efficiencyCpus().empty();
        const CpuLoad& load = sample.cpuLoad;
        changes.publish(m_perCoreUsage, QList<double>(load.perCore.begin(), load.perCore.end()),
            &DashboardViewModel::perCoreUsageChanged);
        if (load.totalTicks > 0) {
            changes.publish(
                m_userCpuPercent, load.userTicks / load.totalTicks * 100.0, &DashboardViewModel::userCpuPercentChanged);
            changes.publish(m_systemCpuPercent, load.systemTicks / load.totalTicks * 100.0,
                &DashboardViewModel::systemCpuPercentChanged);
        }
        const double cores = static_cast<double>(load.perCore.size());
        changes.publish(m_eClusterUsage, load.efficiencySum / std::max(m_eCoreCount, 1) * 100.0,
            &DashboardViewModel::eClusterUsageChanged);
        // On a CPU of one core kind every core is a performance core, however many the counts named.
        const double performanceCores = measured.efficiencyCluster ? std::max(m_pCoreCount, 1) : std::max(cores, 1.0);
        changes.publish(
            m_pClusterUsage, load.performanceSum / performanceCores * 100.0, &DashboardViewModel::pClusterUsageChanged);
        changes.publish(m_cpuUsage, cores > 0 ? (load.efficiencySum + load.performanceSum) / cores * 100.0 : 0.0,
            &DashboardViewModel::cpuUsageChanged);
        if (!sample.cpuFrequencyGHz)
            changes.publish(m_cpuFrequencyGHz, FigureEstimator::cpuFrequencyGHz(m_cpuUsage),
                &DashboardViewModel::cpuFrequencyGHzChanged);
    } else {
        changes.publish(m_cpuUsage, sample.trackerUsage, &DashboardViewModel::cpuUsageChanged);
        if (m_perCoreUsage.isEmpty()) {
            int count = sample.cpuKind == DashboardSample::CpuKind::firstSample ? sample.processorCount : 0;
            if (count <= 0)
                count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            changes.publish(
                m_perCoreUsage, FigureEstimator::idleCores(count), &DashboardViewModel::perCoreUsageChanged);
        }
    }
    // The clock cpufreq reports replaces the estimate from the load.
    if (sample.cpuFrequencyGHz) {
        measured.cpuFrequency = true;
        changes.publish(m_cpuFrequencyGHz, *sample.cpuFrequencyGHz, &DashboardViewModel::cpuFrequencyGHzChanged);
    }
    int fps = 60;
    if (const auto rate = ScreenRefreshRate::of(QGuiApplication::primaryScreen())) {
        fps = static_cast<int>(std::lround(*rate));
        measured.displayFPS = true;
    }
    changes.publish(m_displayFPS, fps, &DashboardViewModel::displayFPSChanged);
}

void DashboardViewModel::updateTemperatures(
    const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    // A class of sensor the machine lacks takes the fallback range, never another sensor's reading.
    measured.socTemperature = measured.throttling = sample.chipTemperature.has_value();
    measured.gpuTemperature = sample.gpuTemperature.has_value();
    measured.ssdTemperature = sample.ssdTemperature.has_value();
    changes.publish(m_socTemperature, sample.chipTemperature.value_or(m_estimator.socTemperature()),
        &DashboardViewModel::socTemperatureChanged);
    const double gpu = sample.gpuTemperature.value_or(m_estimator.gpuTemperature(m_socTemperature));
    changes.publish(m_gpuTemperature, gpu, &DashboardViewModel::gpuTemperatureChanged);
    changes.publish(m_ssdTemperature, sample.ssdTemperature.value_or(m_estimator.ssdTemperature()),
        &DashboardViewModel::ssdTemperatureChanged);
    changes.publish(m_throttlingStatus, m_socTemperature > 95 ? (m_socTemperature - 95) * 5 : 0.0,
        &DashboardViewModel::throttlingStatusChanged);

    // Only measured speeds: a machine without fan readings lists no fan.
    measured.fans = !sample.fanRPMs.empty();
    changes.publish(
        m_fanRPMs, QList<double>(sample.fanRPMs.begin(), sample.fanRPMs.end()), &DashboardViewModel::fanRPMsChanged);
}

void DashboardViewModel::updatePowerEstimates(
    const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    // The RAPL counters, where this user may read them; elsewhere estimates from the loads, not shown.
    auto power = FigureEstimator::power(m_cpuUsage, m_gpuUsage);
    if (sample.power) {
        measured.powerDraw = true;
        power = {sample.power->cpuWatts, sample.power->gpuWatts, sample.power->cpuWatts + sample.power->gpuWatts};
    }
    changes.publish(m_cpuPowerDraw, power.cpu, &DashboardViewModel::cpuPowerDrawChanged);
    changes.publish(m_gpuPowerDraw, power.gpu, &DashboardViewModel::gpuPowerDrawChanged);
    changes.publish(m_powerDraw, power.total, &DashboardViewModel::powerDrawChanged);
}

void DashboardViewModel::updateBatteryStatus(
    const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    if (!sample.battery)
        return;
    // A gauge that reports a full capacity of 0 gives no percentage; the whole sample is left out.
    const auto percentage = sample.battery->percentage();
    if (!percentage)
        return;
    measured.battery = true;
    changes.publish(m_batteryPercentage, *percentage, &DashboardViewModel::batteryPercentageChanged);
    changes.publish(m_batteryIsCharging, sample.battery->isCharging, &DashboardViewModel::batteryIsChargingChanged);
    changes.publish(
        m_batteryTimeToEmpty, sample.battery->timeToEmptyMinutes, &DashboardViewModel::batteryTimeToEmptyChanged);
    changes.publish(m_isUnplugged, sample.battery->onBattery, &DashboardViewModel::isUnpluggedChanged);
}

void DashboardViewModel::updateNetworkRates(
    const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    if (!sample.network)
        return;
    const platform::ByteTotals now = *sample.network;
    // Totals that shrank (an interface went away) give no rate this tick rather than a wrapped one.
    if (m_lastNetworkStats && now.received >= m_lastNetworkStats->received && now.sent >= m_lastNetworkStats->sent) {
        measured.network = true;
        changes.publish(m_networkDownload, static_cast<double>(now.received - m_lastNetworkStats->received) / 1024.0,
            &DashboardViewModel::networkDownloadChanged);
        changes.publish(m_networkUpload, static_cast<double>(now.sent - m_lastNetworkStats->sent) / 1024.0,
            &DashboardViewModel::networkUploadChanged);
    }
    m_lastNetworkStats = now;
}

void DashboardViewModel::updateDiskUsage(const DashboardSample& sample, ChangeBatch& changes)
{
    if (!sample.disk)
        return;
    // Used as df counts it: the blocks reserved for root are not in use, though this user cannot write them.
    const auto& disk = *sample.disk;
    changes.publish(
        m_diskTotal, static_cast<double>(disk.totalBytes) / kBytesPerGB, &DashboardViewModel::diskTotalChanged);
    changes.publish(
        m_diskUsed, static_cast<double>(disk.usedBytes) / kBytesPerGB, &DashboardViewModel::diskUsedChanged);
}

void DashboardViewModel::updateIPAddresses(const DashboardSample& sample, ChangeBatch& changes)
{
    changes.publish(m_localIP,
        sample.localAddress ? QString::fromStdString(*sample.localAddress) : QStringLiteral("127.0.0.1"),
        &DashboardViewModel::localIPChanged);
    if (looksUpPublicAddress())
        fetchPublicIP();
}

void DashboardViewModel::retainPublicAddress()
{
    if (m_publicAddressDemand++ == 0)
        fetchPublicIP();
}

void DashboardViewModel::releasePublicAddress()
{
    if (m_publicAddressDemand > 0)
        --m_publicAddressDemand;
}

void DashboardViewModel::fetchPublicIP()
{
    // A failed lookup counts too: an offline machine is asked no more often, and the fetcher's own
    // back-off holds on top of this.
    const auto now = m_clock();
    if (m_lastPublicLookup && now - *m_lastPublicLookup < PublicAddressFetcher::refreshInterval)
        return;
    if (!m_publicAddress->tryBegin(now))
        return;
    m_lastPublicLookup = now;
    auto fetcher = m_publicAddress;
    QtConcurrent::run(QThreadPool::globalInstance(), [fetcher] {
        return fetcher->fetch();
    }).then(this, [this](const std::optional<std::string>& address) {
        if (!address)
            return;
        ChangeBatch changes(*this);
        changes.publish(m_publicIP, QString::fromStdString(*address), &DashboardViewModel::publicIPChanged);
        changes.finish();
    });
}

void DashboardViewModel::publishConnections(
    const std::vector<platform::TcpConnection>& connections, ChangeBatch& changes)
{
    std::vector<ConnectionRow> rows;
    for (const auto& c : connections) {
        if (rows.size() == kMaxConnections)
            break;
        rows.push_back({QString::fromStdString(c.local + "->" + c.remote), QStringLiteral("ESTABLISHED"),
            QString::fromStdString(c.processName), QString::number(c.pid)});
    }
    // An empty list is the views' to state; no row stands in for a connection that is not there.
    changes.publish(m_activeConnections, rows, &DashboardViewModel::activeConnectionsChanged);
    changes.publish(m_connectionsListed, true, &DashboardViewModel::connectionsListedChanged);
}

void DashboardViewModel::updateEstimates(const DashboardSample& sample, ChangeBatch& changes, MeasuredFigures& measured)
{
    const auto estimate = m_estimator.accelerators(!m_loadedModels.empty());
    changes.publish(m_aneUsage, estimate.aneUsage, &DashboardViewModel::aneUsageChanged);
    changes.publish(m_anePowerDraw, estimate.anePowerDraw, &DashboardViewModel::anePowerDrawChanged);
    // The driver's own busy figure, where it gives one, replaces the estimate.
    measured.gpuUsage = sample.gpuBusyPercent.has_value();
    changes.publish(
        m_gpuUsage, sample.gpuBusyPercent.value_or(estimate.gpuUsage), &DashboardViewModel::gpuUsageChanged);
}

void DashboardViewModel::updateHistories(ChangeBatch& changes, bool cpuMeasured)
{
    double memory = 0;
    double aiMemory = 0;
    if (m_memoryState && m_memoryState->totalGB > 0) {
        memory = (m_memoryState->systemUsedGB + m_memoryState->aiModelsGB) * 100.0 / m_memoryState->totalGB;
        aiMemory = m_memoryState->aiModelsGB * 100.0 / m_memoryState->totalGB;
    }
    auto shifted = [](QList<double> history, double value) {
        if (!history.isEmpty())
            history.removeFirst();
        history.append(value);
        return history;
    };
    changes.publish(m_cpuHistory, shifted(m_cpuHistory, m_cpuUsage), &DashboardViewModel::cpuHistoryChanged);
    // Which entries a reading stands behind: the chart leaves the others out rather than draw them as 0 %.
    QList<bool> measured = m_cpuHistoryMeasured;
    if (!measured.isEmpty())
        measured.removeFirst();
    measured.append(cpuMeasured);
    changes.publish(m_cpuHistoryMeasured, measured, &DashboardViewModel::cpuHistoryChanged);
    changes.publish(m_memoryHistory, shifted(m_memoryHistory, memory), &DashboardViewModel::memoryHistoryChanged);
    changes.publish(
        m_aiMemoryHistory, shifted(m_aiMemoryHistory, aiMemory), &DashboardViewModel::aiMemoryHistoryChanged);
}

void DashboardViewModel::setIsLowPowerModeEnabled(bool enabled)
{
    publish(m_isLowPowerModeEnabled, enabled, &DashboardViewModel::isLowPowerModeEnabledChanged);
}

void DashboardViewModel::setForceTurboCooling(bool enabled)
{
    publish(m_forceTurboCooling, enabled, &DashboardViewModel::forceTurboCoolingChanged);
}

void DashboardViewModel::setIsProcessesPaused(bool paused)
{
    publish(m_isProcessesPaused, paused, &DashboardViewModel::isProcessesPausedChanged);
}

QFuture<SystemMemoryState> DashboardViewModel::getMemorySnapshot()
{
    auto sampler = m_sampler;
    return QtConcurrent::run(&m_pool, [sampler] { return sampler->memorySnapshot(); });
}

QFuture<void> DashboardViewModel::killConnectionProcess(const QString& pid)
{
    const std::string text = pid.toStdString();
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    std::int32_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number < 1)
        return QtFuture::makeReadyFuture();

    std::vector<ConnectionRow> remaining;
    std::copy_if(m_activeConnections.begin(), m_activeConnections.end(), std::back_inserter(remaining),
        [&](const ConnectionRow& row) { return row.pid != pid; });
    ChangeBatch changes(*this);
    changes.publish(m_activeConnections, remaining, &DashboardViewModel::activeConnectionsChanged);
    changes.finish();

    if (::kill(number, SIGKILL) != 0) {
        const int error = errno;
        std::printf("Failed to kill connection PID %d: %s\n", number, std::strerror(error));
        std::fflush(stdout);
        return QtFuture::makeReadyFuture();
    }
    // Give the kernel a moment to close the dead process's sockets before listing again.
    return listConnections(std::chrono::milliseconds(250));
}

QFuture<void> DashboardViewModel::retainConnections()
{
    if (m_connectionDemand++ > 0)
        return QtFuture::makeReadyFuture();
    return listConnections();
}

void DashboardViewModel::releaseConnections()
{
    if (m_connectionDemand == 0 || --m_connectionDemand > 0)
        return;
    ChangeBatch changes(*this);
    changes.publish(m_activeConnections, {}, &DashboardViewModel::activeConnectionsChanged);
    changes.publish(m_connectionsListed, false, &DashboardViewModel::connectionsListedChanged);
    changes.finish();
}

QFuture<void> DashboardViewModel::listConnections(std::chrono::milliseconds delay)
{
    auto sampler = m_sampler;
    return QtConcurrent::run(&m_pool, [sampler, delay] {
        if (delay.count() > 0)
            std::this_thread::sleep_for(delay);
        return sampler->connections();
    }).then(this, [this](const std::vector<platform::TcpConnection>& connections) {
        if (!listsConnections())
            return;
        ChangeBatch changes(*this);
        publishConnections(connections, changes);
        changes.finish();
    });
}

QList<double> DashboardViewModel::measuredCpuHistory() const
{
    QList<double> history = m_cpuHistory;
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (i >= m_cpuHistoryMeasured.size() || !m_cpuHistoryMeasured[i])
            history[i] = std::numeric_limits<double>::quiet_NaN();
    }
    return history;
}

std::optional<QString> DashboardViewModel::exportHistoryToCSV() const
{
    // tempPath() is empty when $TMPDIR names a missing folder; the file must not land in the working folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty()) {
        std::printf("Failed to write CSV: no temporary folder\n");
        std::fflush(stdout);
        return std::nullopt;
    }
    return exportHistoryToCSV(QDir(folder).filePath(historyFileName(Date::now())));
}

QString DashboardViewModel::historyFileName(Date now)
{
    return QString::fromStdString("Quorvane_History_" + shortestDecimal(now.timeIntervalSince1970()) + ".csv");
}

std::optional<QString> DashboardViewModel::exportHistoryToCSV(const QString& path) const
{
    const Date now = Date::now();
    std::string text = "Timestamp,CPUUsage%\n";
    const qsizetype n = m_cpuHistory.size();
    for (qsizetype i = 0; i < n; ++i) {
        const double at = now.timeIntervalSince1970() + static_cast<double>(i - n);
        const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(at * 1000.0)), Qt::UTC);
        text += stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString() + " +0000,"
            + shortestDecimal(m_cpuHistory[i]) + "\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())
        || !file.commit()) {
        std::printf("Failed to write CSV: %s\n", file.errorString().toLocal8Bit().constData());
        std::fflush(stdout);
        return std::nullopt;
    }
    return path;
}
