#include "PrivacyMetricsEngine.h"

#include "AssistanceTracker.h"
#include "AuditLogger.h"
#include "BuildTimeTracker.h"
#include "DigestEngine.h"
#include "HelperHardening.h"

#include "core/JsonFile.h"
#include "core/NumberFormat.h"
#include "core/UserDefaults.h"
#include "platform/desktop/HelperServiceProbe.h"
#include "platform/security/TrustedCallers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using jsoncodec::require;

namespace {

// Size of a regular file; 0 when it is missing or not a file.
std::int64_t fileSize(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

QDate localDay(Date date)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.timeIntervalSince1970() * 1000.0)).date();
}

bool isLocalDestination(const std::string& destination)
{
    return destination.find("localhost") != std::string::npos || destination.find("127.0.0.1") != std::string::npos;
}

} // namespace

// One listener. Delivery and cancellation share its lock, so once cancel() returns the callback
// is never entered again; the lock is recursive so a callback may cancel its own stream.
struct PrivacyMetricsEngine::HelperActivityStream::Listener
{
    std::recursive_mutex mutex;
    std::function<void(const AuditEvent&)> onEvent;

    void deliver(const AuditEvent& event)
    {
        std::lock_guard lock(mutex);
        if (onEvent)
            onEvent(event);
    }
};

struct PrivacyMetricsEngine::HelperActivityStream::Registry
{
    std::mutex mutex;
    std::map<Uuid, std::shared_ptr<Listener>> listeners;

    std::vector<std::shared_ptr<Listener>> snapshot()
    {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<Listener>> out;
        for (const auto& [id, listener] : listeners)
            out.push_back(listener);
        return out;
    }
};

PrivacyMetricsEngine::HelperActivityStream::HelperActivityStream(std::weak_ptr<Registry> registry, Uuid id)
    : m_registry(std::move(registry))
    , m_id(id)
{
}

PrivacyMetricsEngine::HelperActivityStream::~HelperActivityStream()
{
    cancel();
}

void PrivacyMetricsEngine::HelperActivityStream::cancel()
{
    const auto registry = m_registry.lock();
    if (!registry)
        return;
    std::shared_ptr<Listener> listener;
    {
        std::lock_guard lock(registry->mutex);
        if (const auto it = registry->listeners.find(m_id); it != registry->listeners.end()) {
            listener = std::move(it->second);
            registry->listeners.erase(it);
        }
    }
    if (listener) {
        std::lock_guard lock(listener->mutex);
        listener->onEvent = nullptr;
    }
    m_registry.reset();
}

PrivacyMetricsEngine& PrivacyMetricsEngine::shared()
{
    static PrivacyMetricsEngine* engine = new PrivacyMetricsEngine(
        Stores {&AuditLogger::shared(), &AssistanceTracker::shared(), &UserDefaults::standard()},
        PrivacyLocations::standard(), std::make_shared<platform::SystemdHelperProbe>());
    return *engine;
}

PrivacyMetricsEngine::PrivacyMetricsEngine(Stores stores, PrivacyLocations locations,
    std::shared_ptr<platform::HelperServiceProbe> probe, std::function<Date()> clock)
    : m_stores(stores)
    , m_locations(std::move(locations))
    , m_probe(std::move(probe))
    , m_clock(std::move(clock))
    , m_listeners(std::make_shared<HelperActivityStream::Registry>())
{
}

PrivacyMetricsEngine::~PrivacyMetricsEngine() = default;

std::vector<AuditEvent> PrivacyMetricsEngine::recentHelperActions() const
{
    std::lock_guard lock(m_mutex);
    return m_recentHelperActions;
}

std::unique_ptr<PrivacyMetricsEngine::HelperActivityStream> PrivacyMetricsEngine::helperActivityStream(
    std::function<void(const AuditEvent&)> onEvent)
{
    const Uuid id = Uuid::random();
    auto listener = std::make_shared<HelperActivityStream::Listener>();
    listener->onEvent = std::move(onEvent);
    {
        std::lock_guard lock(m_listeners->mutex);
        m_listeners->listeners.emplace(id, std::move(listener));
    }
    return std::unique_ptr<HelperActivityStream>(new HelperActivityStream(m_listeners, id));
}

void PrivacyMetricsEngine::recordHelperAction(const AuditEvent& event)
{
    {
        std::lock_guard lock(m_mutex);
        m_recentHelperActions.insert(m_recentHelperActions.begin(), event);
        if (m_recentHelperActions.size() > kMaxRecentHelperActions)
            m_recentHelperActions.resize(kMaxRecentHelperActions);
    }
    for (const auto& listener : m_listeners->snapshot())
        listener->deliver(event);
}

std::vector<PrivacyMetricsEngine::OwnNetworkCall> PrivacyMetricsEngine::ownNetworkActivity() const
{
    std::lock_guard lock(m_mutex);
    return m_ownNetworkActivity;
}

void PrivacyMetricsEngine::recordOwnNetworkCall(const std::string& destination, const std::string& purpose)
{
    const Date now = m_clock();
    const QDate today = localDay(now);
    std::lock_guard lock(m_mutex);
    const auto entry = std::find_if(m_ownNetworkActivity.begin(), m_ownNetworkActivity.end(), [&](const auto& call) {
        return call.destination == destination && call.purpose == purpose && localDay(call.timestamp) == today;
    });
    if (entry == m_ownNetworkActivity.end()) {
        m_ownNetworkActivity.insert(
            m_ownNetworkActivity.begin(), OwnNetworkCall {Uuid::random(), now, destination, purpose, true, 1});
        return;
    }
    entry->timestamp = now;
    ++entry->callCount;
}

int PrivacyMetricsEngine::last24HourCallCount() const
{
    const Date now = m_clock();
    std::lock_guard lock(m_mutex);
    int sum = 0;
    for (const auto& call : m_ownNetworkActivity) {
        if (now.timeIntervalSince(call.timestamp) < kDaySeconds)
            sum += call.callCount;
    }
    return sum;
}

int PrivacyMetricsEngine::outboundNonLocalCallCount() const
{
    const Date now = m_clock();
    std::lock_guard lock(m_mutex);
    int sum = 0;
    for (const auto& call : m_ownNetworkActivity) {
        if (now.timeIntervalSince(call.timestamp) < kDaySeconds && !isLocalDestination(call.destination))
            sum += call.callCount;
    }
    return sum;
}

void PrivacyMetricsEngine::recordModelServerReply(bool answered)
{
    std::lock_guard lock(m_mutex);
    m_modelServerAnswered = answered;
}

std::optional<bool> PrivacyMetricsEngine::modelServerAnswered() const
{
    std::lock_guard lock(m_mutex);
    return m_modelServerAnswered;
}

PrivacyMetricsEngine::DataInventory PrivacyMetricsEngine::calculateDataInventory() const
{
    const QString folder = m_locations.dataDirectory + QLatin1Char('/');
    DataInventory inventory;
    inventory.auditLogSizeBytes = fileSize(folder + QStringLiteral("audit_log.json"));
    if (m_stores.auditLogger)
        inventory.auditLogEntries = static_cast<int>(m_stores.auditLogger->fetchAllEvents().size());

    inventory.memoryHistorySizeBytes = fileSize(folder + QStringLiteral("assistance_history.json"));
    if (m_stores.assistance) {
        std::set<QDate> days;
        for (const auto& event : m_stores.assistance->fetchEvents(AssistanceCategory::all, INT32_MAX))
            days.insert(localDay(event.timestamp));
        inventory.memoryHistoryDays = static_cast<int>(days.size());
    }

    // The build statistics and the digests live inside the settings file; their size is that of the
    // stored value.
    if (m_stores.defaults) {
        if (const auto stats = m_stores.defaults->data(BuildTimeTracker::userDefaultsKey)) {
            inventory.buildHistorySizeBytes = static_cast<std::int64_t>(stats->size());
            if (const auto decoded = jsoncodec::decodeText<BuildTimeTracker::BuildStats>(*stats))
                inventory.buildHistorySessions
                    = static_cast<int>(std::clamp<std::int64_t>(decoded->totalBuilds, 0, INT32_MAX));
        }
        if (const auto digests = m_stores.defaults->data(DigestEngine::digestsKey)) {
            inventory.weeklyDigestSizeBytes = static_cast<std::int64_t>(digests->size());
            if (const auto decoded = jsoncodec::decodeText<std::vector<WeeklyDigest>>(*digests))
                inventory.weeklyDigestCount = static_cast<int>(decoded->size());
        }
    }
    inventory.settingsSizeBytes = fileSize(m_locations.settingsFile);

    const QString suspended = folder + QStringLiteral("suspended_processes.json");
    inventory.suspendedProcessesSizeBytes = fileSize(suspended);
    // Counted only in a file the program could have written; a huge one is not read into memory.
    if (inventory.suspendedProcessesSizeBytes > 0
        && inventory.suspendedProcessesSizeBytes <= jsonfile::kDefaultMaxBytes) {
        QFile file(suspended);
        if (file.open(QIODevice::ReadOnly)) {
            const Json stored = Json::parse(file.readAll().toStdString(), nullptr, false);
            if (stored.is_object() && stored.contains("processes") && stored["processes"].is_array())
                inventory.suspendedProcessCount = static_cast<int>(stored["processes"].size());
        }
    }
    return inventory;
}

PrivacyMetricsEngine::HelperStatus PrivacyMetricsEngine::helperStatus() const
{
    HelperStatus status;
    if (m_probe) {
        status.isInstalled
            = m_probe->unitFileState(helperSocketUnit) == platform::HelperServiceProbe::UnitState::enabled;
        status.version = m_probe->helperVersion(std::chrono::milliseconds(1500));
        status.isConnected = status.version.has_value();
    }
    if (!status.version)
        status.version = "unknown";
    struct stat st
    {
    };
    status.isRootOwned = ::lstat(m_locations.helperBinary.toLocal8Bit().constData(), &st) == 0
        && platform::TrustedCallers::isSafeExecutable(st, 0);
    // What the helper may do is what its unit lets it: the unit an administrator (or an older install)
    // put in /etc wins over the package's, as it does for systemd.
    if (status.isInstalled) {
        for (const QString& folder : {m_locations.systemUnitFolder, m_locations.packageUnitFolder}) {
            if (const auto unit = jsonfile::readAll(folder + QStringLiteral("/com.quorvane.helper.service"))) {
                status.entitlements = HelperHardening::settingsOf(*unit);
                break;
            }
        }
    }
    return status;
}

std::vector<PrivacyMetricsEngine::ClearableDataType> PrivacyMetricsEngine::clearData(
    const std::set<ClearableDataType>& types)
{
    std::vector<ClearableDataType> failed;
    std::set<ClearableDataType> erased;
    for (const ClearableDataType type : types) {
        if (clearOne(type))
            erased.insert(type);
        else
            failed.push_back(type);
    }
    ErasureListener listener;
    {
        std::lock_guard lock(m_mutex);
        listener = m_onErased;
    }
    if (listener && !erased.empty())
        listener(erased);
    return failed;
}

void PrivacyMetricsEngine::setOnErased(ErasureListener listener)
{
    std::lock_guard lock(m_mutex);
    m_onErased = std::move(listener);
}

std::vector<PrivacyMetricsEngine::ClearableDataType> PrivacyMetricsEngine::clearAllData()
{
    const auto every = allCases<ClearableDataType>();
    auto failed = clearData(std::set<ClearableDataType>(every.begin(), every.end()));
    // The list of suspended processes belongs to no category: it empties itself once every process is
    // resumed, and must stay while one is not. Copies of it set aside go with everything else.
    jsonfile::removeCopies(m_locations.dataDirectory + QStringLiteral("/suspended_processes.json"));
    return failed;
}

bool PrivacyMetricsEngine::clearOne(ClearableDataType type)
{
    UserDefaults* defaults = m_stores.defaults;
    const auto removeKey = [defaults](const QString& key) {
        if (!defaults)
            return false;
        defaults->remove(key);
        return !defaults->contains(key);
    };
    switch (type) {
    case ClearableDataType::auditLog: {
        {
            std::lock_guard lock(m_mutex);
            m_recentHelperActions.clear();
        }
        if (!m_stores.auditLogger)
            return false;
        m_stores.auditLogger->clearLog();
        return m_stores.auditLogger->fetchAllEvents().empty()
            && !QFileInfo::exists(m_locations.dataDirectory + QStringLiteral("/audit_log.json"));
    }
    case ClearableDataType::memoryHistory:
        return m_stores.assistance && m_stores.assistance->clearEvents();
    case ClearableDataType::buildHistory:
        return removeKey(BuildTimeTracker::userDefaultsKey);
    case ClearableDataType::weeklyDigests:
        return removeKey(DigestEngine::digestsKey);
    case ClearableDataType::savedYouMetrics:
        return m_stores.assistance && m_stores.assistance->resetMetrics();
    case ClearableDataType::settings: {
        if (!defaults)
            return false;
        const bool removed = defaults->removeAll();
        // Launch at login is a setting too, kept as the autostart entry; off is its default.
        const QString entry = m_locations.autostartEntry;
        if (QFileInfo(entry).isSymLink() || QFileInfo::exists(entry))
            QFile::remove(entry);
        return removed && !QFileInfo(entry).isSymLink() && !QFileInfo::exists(entry);
    }
    }
    return false;
}

PrivacyMetricsEngine::UninstallVerification PrivacyMetricsEngine::verifyCompleteRemoval() const
{
    // What removing the package leaves behind, checked while the program still runs: the user's own
    // files, and the units an older install's setup program put beside the administrator's. The
    // package's own files (the programs, its units and polkit action) go with `apt purge`.
    const QString units = m_locations.systemUnitFolder;
    const std::pair<QString, const char*> places[] = {
        {units + QStringLiteral("/com.quorvane.helper.socket"), "Helper Socket Unit (older install)"},
        {units + QStringLiteral("/com.quorvane.helper.service"), "Helper Service Unit (older install)"},
        {m_locations.dataDirectory, "Records (~/.local/share/Quorvane)"},
        {QFileInfo(m_locations.settingsFile).absolutePath(), "Settings (~/.config/Quorvane)"},
        {m_locations.autostartEntry, "Autostart Entry"},
    };
    UninstallVerification result;
    for (const auto& [path, description] : places) {
        UninstallVerification::PathCheck check {Uuid::random(), path.toStdString(), description, false, true};
        // A dangling link is still a leftover.
        const QFileInfo info(path);
        check.exists = info.exists() || info.isSymLink();
        if (check.exists) {
            const QDir folder(path);
            check.isEmpty = info.isDir() && !info.isSymLink() && folder.isReadable()
                && folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
        }
        result.checks.push_back(std::move(check));
    }
    return result;
}

std::int64_t PrivacyMetricsEngine::DataInventory::totalSizeBytes() const
{
    return auditLogSizeBytes + memoryHistorySizeBytes + buildHistorySizeBytes + weeklyDigestSizeBytes
        + settingsSizeBytes + suspendedProcessesSizeBytes;
}

QString PrivacyMetricsEngine::DataInventory::totalSizeFormatted() const
{
    return QString::fromStdString(byteCountText(totalSizeBytes()));
}

QString PrivacyMetricsEngine::DataInventory::dataDirectory()
{
    static const QString folder = PrivacyLocations::standard().dataDirectory;
    return folder;
}

std::vector<std::pair<std::string, std::string>> PrivacyMetricsEngine::HelperStatus::entitlementDescriptions() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entitlement : entitlements)
        out.emplace_back(entitlement, HelperHardening::describe(entitlement).value_or(entitlement));
    return out;
}

std::optional<std::string> PrivacyMetricsEngine::warningMessage(ClearableDataType type)
{
    switch (type) {
    case ClearableDataType::savedYouMetrics:
        return "Your lifetime hours saved and builds protected counter will reset to zero permanently.";
    case ClearableDataType::settings:
        return "This will reset all your persona configurations, trigger lists, and preferences.";
    default:
        return std::nullopt;
    }
}

bool PrivacyMetricsEngine::UninstallVerification::isClean() const
{
    return std::none_of(checks.begin(), checks.end(), [](const auto& c) { return c.exists && !c.isEmpty; });
}

void to_json(Json& j, const PrivacyMetricsEngine::OwnNetworkCall& c)
{
    j = Json {{"id", c.id}, {"timestamp", c.timestamp}, {"destination", c.destination}, {"purpose", c.purpose},
        {"isExpected", c.isExpected}, {"callCount", c.callCount}};
}

void from_json(const Json& j, PrivacyMetricsEngine::OwnNetworkCall& c)
{
    c.id = require<Uuid>(j, "id");
    c.timestamp = require<Date>(j, "timestamp");
    c.destination = require<std::string>(j, "destination");
    c.purpose = require<std::string>(j, "purpose");
    c.isExpected = require<bool>(j, "isExpected");
    c.callCount = require<int>(j, "callCount");
}
