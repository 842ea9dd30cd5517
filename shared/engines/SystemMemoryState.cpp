#include "SystemMemoryState.h"

using jsoncodec::require;

void to_json(Json& j, const SystemMemoryState& s)
{
    j = Json {{"totalGB", s.totalGB}, {"systemUsedGB", s.systemUsedGB}, {"aiModelsGB", s.aiModelsGB},
        {"freeGB", s.freeGB}, {"swapUsedGB", s.swapUsedGB}, {"inactiveGB", s.inactiveGB}, {"timestamp", s.timestamp}};
}

void from_json(const Json& j, SystemMemoryState& s)
{
    s.totalGB = require<double>(j, "totalGB");
    s.systemUsedGB = require<double>(j, "systemUsedGB");
    s.aiModelsGB = require<double>(j, "aiModelsGB");
    s.freeGB = require<double>(j, "freeGB");
    s.swapUsedGB = require<double>(j, "swapUsedGB");
    s.inactiveGB = require<double>(j, "inactiveGB");
    s.timestamp = require<Date>(j, "timestamp");
}
