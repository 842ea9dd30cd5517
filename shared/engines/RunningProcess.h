#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"

#include <cstdint>
#include <string>

// One process as the process list and the process watcher see it; identified by pid.
struct RunningProcess
{
    std::int32_t pid = 0;
    std::string name;
    std::int64_t memoryMB = 0;
    double cpuPercent = 0;
    Date startTime;

    std::int32_t id() const { return pid; }
    bool operator==(const RunningProcess&) const = default;
};

void to_json(Json& j, const RunningProcess& p);
void from_json(const Json& j, RunningProcess& p);
