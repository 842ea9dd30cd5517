#include "WeeklyDigest.h"

using jsoncodec::require;

void to_json(Json& j, const WeeklyDigest& d)
{
    j = Json {{"id", d.id}, {"weekOf", d.weekOf}, {"peakMemoryPressureEvents", d.peakMemoryPressureEvents},
        {"worstThermalState", d.worstThermalState}, {"mostUsedModel", d.mostUsedModel},
        {"mostUsedModelAvgGB", d.mostUsedModelAvgGB}, {"totalTimeInCompileMode", d.totalTimeInCompileMode},
        {"totalTimeInAIFirstMode", d.totalTimeInAIFirstMode}, {"totalTimeInBatteryMode", d.totalTimeInBatteryMode},
        {"throttleEventsPrevented", d.throttleEventsPrevented}, {"estimatedHoursSaved", d.estimatedHoursSaved},
        {"gbFreedTotal", d.gbFreedTotal}, {"buildsProtected", d.buildsProtected}};
}

void from_json(const Json& j, WeeklyDigest& d)
{
    d.id = require<Uuid>(j, "id");
    d.weekOf = require<Date>(j, "weekOf");
    d.peakMemoryPressureEvents = require<std::int64_t>(j, "peakMemoryPressureEvents");
    d.worstThermalState = require<std::string>(j, "worstThermalState");
    d.mostUsedModel = require<std::string>(j, "mostUsedModel");
    d.mostUsedModelAvgGB = require<double>(j, "mostUsedModelAvgGB");
    d.totalTimeInCompileMode = require<double>(j, "totalTimeInCompileMode");
    d.totalTimeInAIFirstMode = require<double>(j, "totalTimeInAIFirstMode");
    d.totalTimeInBatteryMode = require<double>(j, "totalTimeInBatteryMode");
    d.throttleEventsPrevented = require<std::int64_t>(j, "throttleEventsPrevented");
    d.estimatedHoursSaved = require<double>(j, "estimatedHoursSaved");
    d.gbFreedTotal = require<double>(j, "gbFreedTotal");
    d.buildsProtected = require<std::int64_t>(j, "buildsProtected");
}
