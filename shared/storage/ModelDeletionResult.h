#pragma once

#include "core/JsonCodec.h"
#include "core/Units.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The outcome of one deletion of models: what was really removed and what could not be.
struct ModelDeletionResult
{
    ModelDeletionResult() = default;
    ModelDeletionResult(std::int64_t deletedCount, std::int64_t totalReclaimedBytes,
        std::vector<std::string> failedModelNames, std::vector<std::string> unreadableManifests = {})
        : deletedCount(deletedCount)
        , totalReclaimedBytes(totalReclaimedBytes)
        , failedModelNames(std::move(failedModelNames))
        , unreadableManifests(std::move(unreadableManifests))
    {
    }

    std::int64_t deletedCount = 0;
    std::int64_t totalReclaimedBytes = 0; // orphaned Ollama blobs included
    std::vector<std::string> failedModelNames; // in the order the models were given
    // Ollama manifests that could not be read after the deletion. Any of them may refer to blobs
    // that look unreferenced, so they stopped the removal of orphaned blobs.
    std::vector<std::string> unreadableManifests;

    double totalReclaimedGB() const { return gigabytes(totalReclaimedBytes); }

    bool operator==(const ModelDeletionResult&) const = default;
};

void to_json(Json& j, const ModelDeletionResult& r);
void from_json(const Json& j, ModelDeletionResult& r);
