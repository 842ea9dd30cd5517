#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"

// One CPU and GPU power reading, in watts.
struct PowerMetrics
{
    double cpuWatts = 0;
    double gpuWatts = 0;
    Date timestamp;

    bool operator==(const PowerMetrics&) const = default;
};

void to_json(Json& j, const PowerMetrics& m);
void from_json(const Json& j, PowerMetrics& m);
