#include "PrivacyMetricsEngine.h"

#include "AssistanceTracker.h"
#include "AuditLogger.h"

#include "core/HomeRelativePath.h"
#include "core/JsonFile.h"
#include "core/UserDefaults.h"
#include "platform/desktop/HelperServiceProbe.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

using jsoncodec::require;

namespace {

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
    , m_eraser(m_stores, m_locations)
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
    return DataInventory::measure(m_stores, m_locations);
}

PrivacyMetricsEngine::HelperStatus PrivacyMetricsEngine::helperStatus() const
{
    return HelperStatus::read(m_locations, m_probe.get());
}

std::vector<PrivacyMetricsEngine::ClearableDataType> PrivacyMetricsEngine::clearData(
    const std::set<ClearableDataType>& types)
{
    std::vector<ClearableDataType> failed;
    std::set<ClearableDataType> erased;
    for (const ClearableDataType type : types) {
        if (type == ClearableDataType::auditLog) {
            std::lock_guard lock(m_mutex);
            m_recentHelperActions.clear();
        }
        if (m_eraser.erase(type))
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

PrivacyMetricsEngine::UninstallVerification PrivacyMetricsEngine::verifyCompleteRemoval() const
{
    // What removing the package leaves behind, checked while the program still runs: the user's own
    // files, and the units an older install's setup program put beside the administrator's. The
    // package's own files (the programs, its units and polkit action) go with `apt purge`.
    // The user's folders are named where they are ($XDG_DATA_HOME and $XDG_CONFIG_HOME move them).
    const QString units = m_locations.systemUnitFolder;
    const QString records = m_locations.dataDirectory;
    const QString settings = QFileInfo(m_locations.settingsFile).absolutePath();
    const std::pair<QString, QString> places[] = {
        {units + QStringLiteral("/com.quorvane.helper.socket"), QStringLiteral("Helper Socket Unit (older install)")},
        {units + QStringLiteral("/com.quorvane.helper.service"), QStringLiteral("Helper Service Unit (older install)")},
        {records, QStringLiteral("Records (%1)").arg(homeRelativePath(records))},
        {settings, QStringLiteral("Settings (%1)").arg(homeRelativePath(settings))},
        {m_locations.autostartEntry, QStringLiteral("Autostart Entry")},
    };
    UninstallVerification result;
    for (const auto& [path, description] : places) {
        UninstallVerification::PathCheck check {
            Uuid::random(), path.toStdString(), description.toStdString(), false, true};
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
