#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"

// One memory sample. Sizes in GB are bytes / 2^30.
struct SystemMemoryState
{
    double totalGB = 0;
    double systemUsedGB = 0;
    double aiModelsGB = 0;
    double freeGB = 0;
    double swapUsedGB = 0;
    double inactiveGB = 0;
    Date timestamp;

    double headroomGB() const { return freeGB + inactiveGB; }
    bool isCritical() const { return headroomGB() < 8.0; }
    bool isWarning() const { return headroomGB() < 16.0; }

    bool operator==(const SystemMemoryState&) const = default;
};

void to_json(Json& j, const SystemMemoryState& s);
void from_json(const Json& j, SystemMemoryState& s);
