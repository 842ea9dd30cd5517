#include "SavedYouMetrics.h"

using jsoncodec::require;

SavedYouMetrics SavedYouMetrics::fresh()
{
    SavedYouMetrics m;
    m.weekStartDate = Date::now();
    return m;
}

void to_json(Json& j, const SavedYouMetrics& m)
{
    j = Json {{"totalHoursSaved", m.totalHoursSaved}, {"totalGBFreed", m.totalGBFreed},
        {"buildsProtected", m.buildsProtected}, {"throttleEventsPreventedCount", m.throttleEventsPreventedCount},
        {"autonomousActionsCount", m.autonomousActionsCount}, {"weekStartDate", m.weekStartDate},
        {"totalStorageReclaimedGB", m.totalStorageReclaimedGB}, {"modelsCleanedCount", m.modelsCleanedCount},
        {"performanceOptimizationsCount", m.performanceOptimizationsCount},
        {"computeShieldEventsCount", m.computeShieldEventsCount}};
}

void from_json(const Json& j, SavedYouMetrics& m)
{
    m.totalHoursSaved = require<double>(j, "totalHoursSaved");
    m.totalGBFreed = require<double>(j, "totalGBFreed");
    m.buildsProtected = require<std::int64_t>(j, "buildsProtected");
    m.throttleEventsPreventedCount = require<std::int64_t>(j, "throttleEventsPreventedCount");
    m.autonomousActionsCount = require<std::int64_t>(j, "autonomousActionsCount");
    m.weekStartDate = require<Date>(j, "weekStartDate");
    m.totalStorageReclaimedGB = require<double>(j, "totalStorageReclaimedGB");
    m.modelsCleanedCount = require<std::int64_t>(j, "modelsCleanedCount");
    m.performanceOptimizationsCount = require<std::int64_t>(j, "performanceOptimizationsCount");
    m.computeShieldEventsCount = require<std::int64_t>(j, "computeShieldEventsCount");
}
