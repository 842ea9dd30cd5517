#include "FrozenProcess.h"

using jsoncodec::require;

void to_json(Json& j, const FrozenProcess& p)
{
    j = Json {{"id", p.id}, {"pid", p.pid}, {"name", p.name}, {"frozenByPersona", p.frozenBy}, {"frozenAt", p.frozenAt},
        {"estimatedMemoryMB", p.estimatedMemoryMB}, {"estimatedCPUPercent", p.estimatedCPUPercent}};
}

void from_json(const Json& j, FrozenProcess& p)
{
    p.id = require<Uuid>(j, "id");
    p.pid = require<std::int32_t>(j, "pid");
    p.name = require<std::string>(j, "name");
    p.frozenBy = require<AutoPersona>(j, "frozenByPersona");
    p.frozenAt = require<Date>(j, "frozenAt");
    p.estimatedMemoryMB = require<std::int64_t>(j, "estimatedMemoryMB");
    p.estimatedCPUPercent = require<double>(j, "estimatedCPUPercent");
}
