#include "InventoryModel.h"

#include <cmath>
#include <limits>

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

int InventoryModel::daysSinceLastAccessed(Date now) const
{
    const double days = std::floor(now.timeIntervalSince(lastAccessed) / 86400.0);
    if (!(days > 0))
        return 0;
    return days >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(days);
}

void to_json(Json& j, const InventoryModel& m)
{
    j = Json {{"name", m.name}, {"sizeGB", m.sizeGB}, {"lastAccessed", m.lastAccessed}, {"source", m.source},
        {"path", m.path}, {"isArchiveCandidate", m.isArchiveCandidate}, {"isDuplicate", m.isDuplicate}};
    putOptional(j, "duplicateGroup", m.duplicateGroup);
}

void from_json(const Json& j, InventoryModel& m)
{
    m.name = require<std::string>(j, "name");
    m.sizeGB = require<double>(j, "sizeGB");
    m.lastAccessed = require<Date>(j, "lastAccessed");
    m.source = require<ModelSource>(j, "source");
    m.path = require<std::string>(j, "path");
    m.isArchiveCandidate = require<bool>(j, "isArchiveCandidate");
    m.isDuplicate = require<bool>(j, "isDuplicate");
    m.duplicateGroup = optional<std::string>(j, "duplicateGroup");
}

std::size_t std::hash<InventoryModel>::operator()(const InventoryModel& m) const noexcept
{
    std::size_t h = std::hash<std::string>()(m.name);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::hash<double>()(m.sizeGB));
    mix(std::hash<double>()(m.lastAccessed.timeIntervalSinceReferenceDate()));
    mix(std::hash<std::string>()(rawValue(m.source)));
    mix(std::hash<std::string>()(m.path));
    mix(m.isArchiveCandidate);
    mix(m.isDuplicate);
    mix(m.duplicateGroup ? std::hash<std::string>()(*m.duplicateGroup) : 0);
    return h;
}
