#include "AssistanceTracker.h"

#include "core/AppSupport.h"
#include "core/FiniteOrZero.h"
#include "core/JsonFile.h"
#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/Saturating.h"
#include "core/Uuid.h"

#include "platform/io/Utf8.h"

#include <QDir>

#include <algorithm>

AssistanceTracker& AssistanceTracker::shared()
{
    static AssistanceTracker tracker;
    return tracker;
}

AssistanceTracker::AssistanceTracker(const QString& folder)
    : m_folder(folder)
{
    // The history is kept exactly as stored, even beyond the cap; the next record trims it.
    // A file that does not decode is set aside by the loader rather than overwritten later.
    // The history keeps 100 events of well under a few KiB each, the counters a handful of numbers: a
    // larger file was not written here and is set aside unread.
    constexpr qint64 kMaxHistoryBytes = 1024 * 1024;
    constexpr qint64 kMaxMetricsBytes = 64 * 1024;
    if (auto events = jsonfile::load<std::vector<AssistanceEvent>>(historyFilePath(), kMaxHistoryBytes))
        m_events = std::move(*events);
    if (auto metrics = jsonfile::load<SavedYouMetrics>(metricsFilePath(), kMaxMetricsBytes))
        m_metrics = *metrics;
    else
        m_metrics = SavedYouMetrics::fresh();
}

void AssistanceTracker::record(AssistanceCategory category, const std::string& title, const std::string& detail,
    const std::string& impactValue, double hoursSavedDelta, double storageFreedGBDelta,
    std::int64_t buildsProtectedDelta)
{
    // Titles and details carry process names, which are raw bytes: one that is not UTF-8 would make the
    // history unwritable from then on. A non-finite delta would do the same to the counters.
    std::string validTitle = platform::toValidUtf8(title);
    std::string validDetail = platform::toValidUtf8(detail);
    std::string validImpact = platform::toValidUtf8(impactValue);
    const double hours = finiteOrZero(hoursSavedDelta, "hours-saved delta");
    const double gigabytes = finiteOrZero(storageFreedGBDelta, "storage-freed delta");
    {
        std::lock_guard lock(m_mutex);
        m_events.insert(m_events.begin(),
            AssistanceEvent {Uuid::random(), Date::now(), category, std::move(validTitle), std::move(validDetail),
                std::move(validImpact)});
        if (m_events.size() > kHistoryLimit)
            m_events.resize(kHistoryLimit);

        m_metrics.totalHoursSaved = saturatingAdd(m_metrics.totalHoursSaved, hours);
        m_metrics.totalGBFreed = saturatingAdd(m_metrics.totalGBFreed, gigabytes);
        m_metrics.totalStorageReclaimedGB = saturatingAdd(m_metrics.totalStorageReclaimedGB, gigabytes);
        m_metrics.buildsProtected = saturatingAdd(m_metrics.buildsProtected, buildsProtectedDelta);
        switch (category) {
        case AssistanceCategory::performance:
            m_metrics.performanceOptimizationsCount = saturatingAdd(m_metrics.performanceOptimizationsCount, 1);
            break;
        case AssistanceCategory::storage:
            m_metrics.modelsCleanedCount = saturatingAdd(m_metrics.modelsCleanedCount, 1);
            break;
        case AssistanceCategory::computing:
            m_metrics.computeShieldEventsCount = saturatingAdd(m_metrics.computeShieldEventsCount, 1);
            break;
        case AssistanceCategory::all:
        case AssistanceCategory::memory:
            break;
        }
        save();
    }
    NotificationCenter::defaultCenter().post(Notifications::assistanceEventAdded);
}

std::vector<AssistanceEvent> AssistanceTracker::fetchEvents(AssistanceCategory category, int limit) const
{
    const auto wanted = static_cast<std::size_t>(std::max(limit, 0));
    std::vector<AssistanceEvent> out;
    std::lock_guard lock(m_mutex);
    for (const auto& event : m_events) {
        if (out.size() >= wanted)
            break;
        if (category == AssistanceCategory::all || event.category == category)
            out.push_back(event);
    }
    return out;
}

SavedYouMetrics AssistanceTracker::getMetrics() const
{
    std::lock_guard lock(m_mutex);
    return m_metrics;
}

void AssistanceTracker::clearHistory()
{
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
        m_metrics = SavedYouMetrics::fresh();
        jsonfile::removeWithCopies(historyFilePath());
        jsonfile::removeWithCopies(metricsFilePath());
    }
    NotificationCenter::defaultCenter().post(Notifications::assistanceEventAdded);
}

bool AssistanceTracker::clearEvents()
{
    bool removed = false;
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
        removed = jsonfile::removeWithCopies(historyFilePath());
    }
    NotificationCenter::defaultCenter().post(Notifications::assistanceEventAdded);
    return removed;
}

bool AssistanceTracker::resetMetrics()
{
    bool removed = false;
    {
        std::lock_guard lock(m_mutex);
        m_metrics = SavedYouMetrics::fresh();
        removed = jsonfile::removeWithCopies(metricsFilePath());
    }
    NotificationCenter::defaultCenter().post(Notifications::assistanceEventAdded);
    return removed;
}

QString AssistanceTracker::filePath(const QString& name) const
{
    if (m_folder.isEmpty())
        return appSupportFilePath(name);
    QDir().mkpath(m_folder);
    return m_folder + QLatin1Char('/') + name;
}

QString AssistanceTracker::historyFilePath() const
{
    return filePath(QStringLiteral("assistance_history.json"));
}

QString AssistanceTracker::metricsFilePath() const
{
    return filePath(QStringLiteral("saved_you_metrics.json"));
}

// Called with the mutex held. Each file is written on its own; a failure of one does not stop the other.
bool AssistanceTracker::save()
{
    const bool history = jsonfile::save(historyFilePath(), m_events);
    const bool metrics = jsonfile::save(metricsFilePath(), m_metrics);
    return history && metrics;
}
