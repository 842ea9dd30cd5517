#include "OllamaModel.h"
#include "PowerMetrics.h"
#include "QVThermalState.h"
#include "RunningProcess.h"
#include "SystemMemoryState.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
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

void to_json(Json& j, const RunningProcess& p)
{
    j = Json {{"pid", p.pid}, {"name", p.name}, {"memoryMB", p.memoryMB}, {"cpuPercent", p.cpuPercent},
        {"startTime", p.startTime}};
}

void from_json(const Json& j, RunningProcess& p)
{
    p.pid = require<std::int32_t>(j, "pid");
    p.name = require<std::string>(j, "name");
    p.memoryMB = require<std::int64_t>(j, "memoryMB");
    p.cpuPercent = require<double>(j, "cpuPercent");
    p.startTime = require<Date>(j, "startTime");
}

void to_json(Json& j, const OllamaModel& m)
{
    j = Json {{"id", m.id}, {"name", m.name}, {"sizeGB", m.sizeGB}, {"isLoaded", m.isLoaded},
        {"estimatedRAMFootprintGB", m.estimatedRAMFootprintGB}};
    putOptional(j, "lastUsed", m.lastUsed);
}

void from_json(const Json& j, OllamaModel& m)
{
    m.id = require<std::string>(j, "id");
    m.name = require<std::string>(j, "name");
    m.sizeGB = require<double>(j, "sizeGB");
    m.isLoaded = require<bool>(j, "isLoaded");
    m.lastUsed = optional<Date>(j, "lastUsed");
    m.estimatedRAMFootprintGB = require<double>(j, "estimatedRAMFootprintGB");
}

QVThermalState QVThermalState::forLevel(Level level)
{
    switch (level) {
    case Level::critical:
        return {Level::critical, "Critical", "Red", true, std::nullopt};
    case Level::throttling:
        return {Level::throttling, "Throttling", "Orange", true, std::nullopt};
    case Level::warm:
        return {Level::warm, "Warm", "Yellow", false, std::nullopt};
    case Level::balanced:
        break;
    }
    return {Level::balanced, "Balanced", "Green", false, std::nullopt};
}

void to_json(Json& j, const QVThermalState& s)
{
    j = Json {
        {"level", s.level}, {"displayName", s.displayName}, {"colorName", s.colorName}, {"shouldAlert", s.shouldAlert}};
    putOptional(j, "topOffendingProcess", s.topOffendingProcess);
}

void from_json(const Json& j, QVThermalState& s)
{
    s.level = require<QVThermalState::Level>(j, "level");
    s.displayName = require<std::string>(j, "displayName");
    s.colorName = require<std::string>(j, "colorName");
    s.shouldAlert = require<bool>(j, "shouldAlert");
    s.topOffendingProcess = optional<std::string>(j, "topOffendingProcess");
}

void to_json(Json& j, const PowerMetrics& m)
{
    j = Json {{"cpuWatts", m.cpuWatts}, {"gpuWatts", m.gpuWatts}, {"timestamp", m.timestamp}};
}

void from_json(const Json& j, PowerMetrics& m)
{
    m.cpuWatts = require<double>(j, "cpuWatts");
    m.gpuWatts = require<double>(j, "gpuWatts");
    m.timestamp = require<Date>(j, "timestamp");
}
