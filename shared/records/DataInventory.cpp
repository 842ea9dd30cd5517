#include "DataInventory.h"

#include "AssistanceTracker.h"
#include "AuditLogger.h"
#include "BuildTimeTracker.h"
#include "DigestEngine.h"

#include "core/JsonFile.h"
#include "core/NumberFormat.h"
#include "core/UserDefaults.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <set>
#include <vector>

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

// The build statistics and the digests live inside the settings file; their size is that of the stored value.
void measureSettingsValues(DataInventory& inventory, UserDefaults& defaults)
{
    if (const auto stats = defaults.data(BuildTimeTracker::userDefaultsKey)) {
        inventory.buildHistorySizeBytes = static_cast<std::int64_t>(stats->size());
        if (const auto decoded = jsoncodec::decodeText<BuildTimeTracker::BuildStats>(*stats))
            inventory.buildHistorySessions
                = static_cast<int>(std::clamp<std::int64_t>(decoded->totalBuilds, 0, INT32_MAX));
    }
    if (const auto digests = defaults.data(DigestEngine::digestsKey)) {
        inventory.weeklyDigestSizeBytes = static_cast<std::int64_t>(digests->size());
        if (const auto decoded = jsoncodec::decodeText<std::vector<WeeklyDigest>>(*digests))
            inventory.weeklyDigestCount = static_cast<int>(decoded->size());
    }
}

void measureSuspendedProcesses(DataInventory& inventory, const QString& path)
{
    inventory.suspendedProcessesSizeBytes = fileSize(path);
    // Counted only in a file the program could have written; a huge one is not read into memory.
    if (inventory.suspendedProcessesSizeBytes <= 0
        || inventory.suspendedProcessesSizeBytes > jsonfile::kDefaultMaxBytes)
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const Json stored = Json::parse(file.readAll().toStdString(), nullptr, false);
    if (stored.is_object() && stored.contains("processes") && stored["processes"].is_array())
        inventory.suspendedProcessCount = static_cast<int>(stored["processes"].size());
}

} // namespace

DataInventory DataInventory::measure(const PrivacyStores& stores, const PrivacyLocations& locations)
{
    const QString folder = locations.dataDirectory + QLatin1Char('/');
    DataInventory inventory;
    inventory.auditLogSizeBytes = fileSize(folder + QStringLiteral("audit_log.json"));
    if (stores.auditLogger)
        inventory.auditLogEntries = static_cast<int>(stores.auditLogger->fetchAllEvents().size());

    inventory.memoryHistorySizeBytes = fileSize(folder + QStringLiteral("assistance_history.json"));
    if (stores.assistance) {
        std::set<QDate> days;
        for (const auto& event : stores.assistance->fetchEvents(AssistanceCategory::all, INT32_MAX))
            days.insert(localDay(event.timestamp));
        inventory.memoryHistoryDays = static_cast<int>(days.size());
    }
    if (stores.defaults)
        measureSettingsValues(inventory, *stores.defaults);
    inventory.settingsSizeBytes = fileSize(locations.settingsFile);
    measureSuspendedProcesses(inventory, folder + QStringLiteral("suspended_processes.json"));
    return inventory;
}

std::int64_t DataInventory::totalSizeBytes() const
{
    return auditLogSizeBytes + memoryHistorySizeBytes + buildHistorySizeBytes + weeklyDigestSizeBytes
        + settingsSizeBytes + suspendedProcessesSizeBytes;
}

QString DataInventory::totalSizeFormatted() const
{
    return QString::fromStdString(byteCountText(totalSizeBytes()));
}

QString DataInventory::dataDirectory()
{
    static const QString folder = PrivacyLocations::standard().dataDirectory;
    return folder;
}
