#include "RunningProcess.h"

using jsoncodec::require;

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
