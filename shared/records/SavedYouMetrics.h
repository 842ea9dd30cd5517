#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"

#include <cstdint>

// Lifetime "saved you" counters.
struct SavedYouMetrics
{
    double totalHoursSaved = 0;
    double totalGBFreed = 0;
    std::int64_t buildsProtected = 0;
    std::int64_t throttleEventsPreventedCount = 0;
    std::int64_t autonomousActionsCount = 0;
    Date weekStartDate;
    double totalStorageReclaimedGB = 0;
    // Storage events recorded (model and cache clean-ups).
    std::int64_t modelsCleanedCount = 0;
    std::int64_t performanceOptimizationsCount = 0;
    std::int64_t computeShieldEventsCount = 0;

    // Every counter 0, the counting period starting now.
    static SavedYouMetrics fresh();

    bool operator==(const SavedYouMetrics&) const = default;
};

void to_json(Json& j, const SavedYouMetrics& m);
void from_json(const Json& j, SavedYouMetrics& m);
