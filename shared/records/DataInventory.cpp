#include "DataInventory.h"

#include "AssistanceTracker.h"
#include "AuditLogger.h"
#include "BuildTimeTracker.h"
#include "DigestEngine.h"

#include "core/JsonFile.h"
#include "core/NumberFormat.h"
#include "core/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
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
    const auto stored = jsonfile::readAtMost(path, jsonfile::kDefaultMaxBytes).bytes;
    if (!stored)
        return;
    const Json list = Json::parse(*stored, nullptr, false);
    if (list.is_object() && list.contains("processes") && list["processes"].is_array())
        inventory.suspendedProcessCount = static_cast<int>(list["processes"].size());
}

// The regular files below folder, in every subfolder; links to folders are not followed.
std::int64_t bytesBelow(const QString& folder)
{
    std::int64_t total = 0;
    if (folder.isEmpty())
        return total;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += fileSize(it.filePath());
    }
    return total;
}

// The settings file and every copy beside it ("<name>.corrupt-<time>", a write cut short).
std::int64_t settingsBytes(const QString& settingsFile)
{
    if (settingsFile.isEmpty())
        return 0;
    const QFileInfo info(settingsFile);
    std::int64_t total = fileSize(settingsFile);
    const QString copies = info.fileName() + QLatin1Char('.');
    const auto entries = QDir(info.absolutePath()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(copies))
            total += fileSize(entry.filePath());
    }
    return total;
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
    inventory.bytesOnDisk = bytesBelow(locations.dataDirectory) + settingsBytes(locations.settingsFile);
    return inventory;
}

QString DataInventory::totalSizeFormatted() const
{
    return QString::fromStdString(byteCountText(totalSizeBytes()));
}
