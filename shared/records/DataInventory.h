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
    // Every byte the program keeps on disk: each file of the records folder (the lifetime counters and
    // copies set aside included) and the settings file with the copies beside it. The build history and
    // the digests live inside the settings file and are counted there, once.
    std::int64_t bytesOnDisk = 0;

    // Measures the stores and the files in `locations`; blocks on the disk.
    static DataInventory measure(const PrivacyStores& stores, const PrivacyLocations& locations);

    // bytesOnDisk: the rows above overlap and leave files out, so they do not add up to it.
    std::int64_t totalSizeBytes() const { return bytesOnDisk; }
    QString totalSizeFormatted() const;

    bool operator==(const DataInventory&) const = default;
};
