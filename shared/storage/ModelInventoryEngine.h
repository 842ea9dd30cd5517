#pragma once

#include "InventoryModel.h"
#include "ModelDeletionResult.h"
#include "StorageFootprint.h"
#include "StorageRoots.h"

#include "core/Date.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Finds, measures, dates and deletes the local models of the Ollama store(s), the Hugging Face hub
// cache and the LM Studio folders. Every operation blocks and may be called from any thread; one
// engine runs one operation at a time, so a deletion never overlaps a scan of the same engine.
// Nothing outside the store roots is ever removed, and no link is followed.
class ModelInventoryEngine
{
public:
    static constexpr double kArchiveAgeSeconds = 2592000; // 30 days

    // Store locations read from the environment at each call.
    ModelInventoryEngine();
    // Fixed store locations and clock, for tests.
    explicit ModelInventoryEngine(StorageRoots roots, std::function<Date()> clock = &Date::now);

    // The whole inventory, read afresh: Ollama, then Hugging Face, then the LM Studio folders in
    // order, with archive and duplicate flags set. A store that cannot be read adds nothing.
    std::vector<InventoryModel> scanModels();
    // The same scan with what the models hold on disk, for figures that count every file once.
    struct Inventory
    {
        std::vector<InventoryModel> models;
        StorageFootprint footprint;
    };
    Inventory scanInventory();
    // The same list in the same order with the members of every group of two or more models sharing
    // a grouping key marked as duplicates; flags already set stay set.
    std::vector<InventoryModel> detectDuplicates(std::vector<InventoryModel> models) const;
    // The grouping key of a model name: lower-case, publisher, file and quantisation markers gone,
    // the size tag kept ("llama3.1:8b" gives "llama3-1-8b"), empty for a name of markers only.
    static std::string normalizeModelKey(const std::string& name);

    // Deletes the models in order. A path that no longer exists is skipped; a path outside its
    // store, reached through a link, or of the wrong kind is refused and its name reported as
    // failed, as is a model folder that could not be removed whole (what is mounted inside it
    // stays). An LM Studio model that is a link loses the link only. When an Ollama model was
    // among them, the blobs no manifest refers to go too.
    ModelDeletionResult deleteModels(const std::vector<InventoryModel>& models);
    void deleteModel(const InventoryModel& model);

    // Removes the unreferenced blobs of every Ollama store.
    struct BlobCleanupResult
    {
        std::int64_t reclaimedBytes = 0;
        std::vector<std::string> unreadableManifests;
    };
    BlobCleanupResult cleanOrphanedOllamaBlobs();

    // Grows with every deletion this engine makes, so that a scan kept elsewhere knows it is stale.
    std::uint64_t changeCount() const { return m_changes; }

private:
    StorageRoots roots() const;
    BlobCleanupResult cleanBlobs(const std::vector<std::string>& ollamaRoots) const;

    std::mutex m_mutex;
    std::optional<StorageRoots> m_roots;
    std::function<Date()> m_clock;
    std::atomic<std::uint64_t> m_changes {0};
};
