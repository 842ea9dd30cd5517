#include "PowerMetrics.h"

using jsoncodec::require;

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
