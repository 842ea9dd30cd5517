#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/Uuid.h"

#include <cstdint>
#include <string>

// One week's summary of the system's work. The units of the persona times and the instant of the
// week that weekOf holds are the producer's choice; the store keeps whatever it is given.
struct WeeklyDigest
{
    Uuid id;
    Date weekOf;
    std::int64_t peakMemoryPressureEvents = 0;
    std::string worstThermalState; // the state's name; empty for a week without a thermal reading
    std::string mostUsedModel;
    double mostUsedModelAvgGB = 0;
    double totalTimeInCompileMode = 0;
    double totalTimeInAIFirstMode = 0;
    double totalTimeInBatteryMode = 0;
    std::int64_t throttleEventsPrevented = 0;
    double estimatedHoursSaved = 0;
    double gbFreedTotal = 0;
    std::int64_t buildsProtected = 0;

    bool operator==(const WeeklyDigest&) const = default;
};

void to_json(Json& j, const WeeklyDigest& d);
void from_json(const Json& j, WeeklyDigest& d);
