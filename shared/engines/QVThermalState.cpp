#include "QVThermalState.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

QVThermalState QVThermalState::forLevel(Level level)
{
    switch (level) {
    case Level::critical:
        return {Level::critical, "Critical", "Red", true, std::nullopt};
    case Level::throttling:
        return {Level::throttling, "Throttling", "Orange", true, std::nullopt};
    case Level::warm:
        return {Level::warm, "Warm", "Yellow", false, std::nullopt};
    case Level::unknown:
        return {Level::unknown, "—", "Gray", false, std::nullopt};
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
