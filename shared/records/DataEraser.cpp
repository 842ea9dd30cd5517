#include "DataEraser.h"

#include "AssistanceTracker.h"
#include "AuditLogger.h"
#include "BuildTimeTracker.h"
#include "DigestEngine.h"

#include "core/SettingsCopies.h"
#include "core/UserDefaults.h"

#include <QFile>
#include <QFileInfo>

DataEraser::DataEraser(PrivacyStores stores, PrivacyLocations locations)
    : m_stores(stores)
    , m_locations(std::move(locations))
{
}

std::optional<std::string> DataEraser::warningMessage(ClearableDataType type)
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

bool DataEraser::erase(ClearableDataType type) const
{
    switch (type) {
    case ClearableDataType::auditLog:
        if (!m_stores.auditLogger)
            return false;
        m_stores.auditLogger->clearLog();
        return m_stores.auditLogger->fetchAllEvents().empty()
            && !QFileInfo::exists(m_locations.dataDirectory + QStringLiteral("/audit_log.json"));
    case ClearableDataType::memoryHistory:
        return m_stores.assistance && m_stores.assistance->clearEvents();
    case ClearableDataType::buildHistory:
        return removeKey(BuildTimeTracker::userDefaultsKey);
    case ClearableDataType::weeklyDigests:
        return removeKey(DigestEngine::digestsKey);
    case ClearableDataType::savedYouMetrics:
        return m_stores.assistance && m_stores.assistance->resetMetrics();
    case ClearableDataType::settings:
        return eraseSettings();
    }
    return false;
}

bool DataEraser::removeKey(const QString& key) const
{
    if (!m_stores.defaults)
        return false;
    m_stores.defaults->remove(key);
    // A settings file set aside as unreadable still holds the value; the rest of it stays for the user.
    const bool copiesClean = settingscopies::removeKey(m_stores.defaults->filePath(), key);
    return !m_stores.defaults->contains(key) && copiesClean;
}

bool DataEraser::eraseSettings() const
{
    if (!m_stores.defaults)
        return false;
    const bool removed = m_stores.defaults->removeAll();
    // Launch at login is a setting too, kept as the autostart entry; off is its default.
    const QString entry = m_locations.autostartEntry;
    if (QFileInfo(entry).isSymLink() || QFileInfo::exists(entry))
        QFile::remove(entry);
    return removed && !QFileInfo(entry).isSymLink() && !QFileInfo::exists(entry);
}
