#pragma once

#include "PrivacyLocations.h"
#include "PrivacyStores.h"

#include <QString>

#include <cstdint>

// What the program keeps on disk, category by category, as the data inventory shows it.
struct DataInventory
{
    int auditLogEntries = 0;
    std::int64_t auditLogSizeBytes = 0;
    int memoryHistoryDays = 0; // calendar days that hold assistance events
    std::int64_t memoryHistorySizeBytes = 0;
    int buildHistorySessions = 0; // builds counted in the build statistics
    std::int64_t buildHistorySizeBytes = 0;
    int weeklyDigestCount = 0;
    std::int64_t weeklyDigestSizeBytes = 0;
    std::int64_t settingsSizeBytes = 0;
    // Processes the persona engine holds suspended, kept so a restart can resume them.
    int suspendedProcessCount = 0;
    std::int64_t suspendedProcessesSizeBytes = 0;

    // Measures the stores and the files in `locations`; blocks on the disk.
    static DataInventory measure(const PrivacyStores& stores, const PrivacyLocations& locations);

    std::int64_t totalSizeBytes() const;
    QString totalSizeFormatted() const;
    // ~/.local/share/Quorvane; not created here.
    static QString dataDirectory();

    bool operator==(const DataInventory&) const = default;
};
