#include "OllamaModel.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

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
