#include "ModelDeletionResult.h"

using jsoncodec::optional;
using jsoncodec::require;

void to_json(Json& j, const ModelDeletionResult& r)
{
    j = Json {{"deletedCount", r.deletedCount}, {"totalReclaimedBytes", r.totalReclaimedBytes},
        {"failedModelNames", r.failedModelNames}};
    if (!r.unreadableManifests.empty())
        j["unreadableManifests"] = r.unreadableManifests;
}

void from_json(const Json& j, ModelDeletionResult& r)
{
    r.deletedCount = require<std::int64_t>(j, "deletedCount");
    r.totalReclaimedBytes = require<std::int64_t>(j, "totalReclaimedBytes");
    r.failedModelNames = require<std::vector<std::string>>(j, "failedModelNames");
    r.unreadableManifests
        = optional<std::vector<std::string>>(j, "unreadableManifests").value_or(std::vector<std::string>());
}
