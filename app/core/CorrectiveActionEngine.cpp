#include "CorrectiveActionEngine.h"

#include "core/NumberFormat.h"
#include "core/Units.h"
#include "engines/OllamaEngine.h"
#include "platform/text/AsciiText.h"
#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"

#include <algorithm>
#include <set>

namespace {

std::string amount(double gigabytes)
{
    return cformat("%.1f", gigabytes);
}

int urgencyRank(Urgency urgency)
{
    switch (urgency) {
    case Urgency::critical:
        return 0;
    case Urgency::warning:
        return 1;
    case Urgency::info:
        return 2;
    }
    return 2;
}

ActionResult failure(std::string message)
{
    return ActionResult {false, std::move(message)};
}

std::string joined(const std::vector<std::string>& parts)
{
    return platform::joined(parts, ", ");
}

} // namespace

CorrectiveActionEngine::CorrectiveActionEngine(XPCConnection& xpcConnection, OllamaEngine& ollamaEngine,
    ModelInventoryEngine* inventoryEngine, DeveloperCacheEngine* developerCacheEngine, ProcessFreezer freezer,
    AssistanceTracker* assistanceTracker)
    : m_xpcConnection(xpcConnection)
    , m_ollamaEngine(ollamaEngine)
    , m_inventoryEngine(inventoryEngine)
    , m_developerCacheEngine(developerCacheEngine)
    , m_freezer(std::move(freezer))
    , m_assistanceTracker(assistanceTracker)
{
}

void CorrectiveActionEngine::setClock(std::function<Clock::time_point()> clock)
{
    std::lock_guard lock(m_scanMutex);
    m_clock = std::move(clock);
}

void CorrectiveActionEngine::setHelperAccess(HelperAccess access)
{
    m_helperAccess = access;
}

bool CorrectiveActionEngine::needsHelper(const ActionType& action)
{
    return action.as<ActionType::FlushInactiveMemory>() || action.as<ActionType::FreezeProcess>();
}

CorrectiveActionEngine::Clock::time_point CorrectiveActionEngine::now() const
{
    std::lock_guard lock(m_scanMutex);
    return m_clock ? m_clock() : Clock::now();
}

ModelInventoryEngine::Inventory CorrectiveActionEngine::recentInventory()
{
    const auto at = now();
    // Read before the scan: a deletion that ends during it makes the next call scan again.
    const std::uint64_t changes = m_inventoryEngine->changeCount();
    {
        std::lock_guard lock(m_scanMutex);
        if (m_models.value && m_models.changeCount == changes && at - m_models.at < kRescanInterval)
            return *m_models.value;
    }
    auto inventory = m_inventoryEngine->scanInventory();
    std::lock_guard lock(m_scanMutex);
    m_models = {inventory, at, changes};
    return inventory;
}

std::int64_t CorrectiveActionEngine::recentSafeCacheBytes()
{
    const auto at = now();
    const std::uint64_t changes = m_developerCacheEngine->changeCount();
    {
        std::lock_guard lock(m_scanMutex);
        if (m_safeCacheBytes.value && m_safeCacheBytes.changeCount == changes
            && at - m_safeCacheBytes.at < kRescanInterval)
            return *m_safeCacheBytes.value;
    }
    std::int64_t safeBytes = 0;
    for (const auto& item : m_developerCacheEngine->scanCaches()) {
        if (item.safetyTier == CacheSafetyTier::safeToPurge)
            safeBytes += item.sizeBytes;
    }
    std::lock_guard lock(m_scanMutex);
    m_safeCacheBytes = {safeBytes, at, changes};
    return safeBytes;
}

AssistanceTracker& CorrectiveActionEngine::tracker() const
{
    return m_assistanceTracker ? *m_assistanceTracker : AssistanceTracker::shared();
}

std::vector<ActionCard> CorrectiveActionEngine::generateActionCards(const SystemMemoryState& memoryState,
    const std::vector<OllamaModel>& loadedModels, const std::vector<InventoryModel>& inventoryModels)
{
    std::vector<ActionCard> cards;
    const auto add
        = [&cards](std::string title, std::string description, ActionType action, std::string impact, Urgency urgency) {
              cards.push_back(ActionCard {Uuid::random(), std::move(title), std::move(description), std::move(action),
                  std::move(impact), urgency});
          };

    if (memoryState.headroomGB() < kHeadroomThresholdGB) {
        for (const auto& model : loadedModels) {
            const std::string gb = amount(model.estimatedRAMFootprintGB);
            add("Ollama holding " + gb + "GB", "Unload " + model.name + " to free up memory immediately.",
                ActionType::UnloadOllamaModel {model.name}, "~" + gb + "GB freed", Urgency::critical);
        }
    }
    if (memoryState.inactiveGB > kInactiveThresholdGB) {
        const std::string gb = amount(memoryState.inactiveGB);
        add("Reclaimable memory is high (" + gb + "GB)", "Flush inactive memory pages back to the system.",
            ActionType::FlushInactiveMemory {}, "~" + gb + "GB freed", Urgency::info);
    }
    if (!loadedModels.empty()) {
        // The server drops a context only with its model, so the card names what the reset unloads.
        // What it frees is what those models hold, as the server reports it, never a guessed range.
        std::vector<std::string> names;
        double held = 0;
        for (const auto& model : loadedModels) {
            names.push_back(model.name);
            held += model.estimatedRAMFootprintGB;
        }
        add("Clear loaded model KV cache",
            "Resetting context unloads " + joined(names) + ", which frees active model memory overhead.",
            ActionType::ClearOllamaKVCache {}, "~" + amount(held) + "GB optimized", Urgency::warning);
    }

    ModelInventoryEngine::Inventory scanned;
    if (inventoryModels.empty() && m_inventoryEngine)
        scanned = recentInventory();
    const auto& models = inventoryModels.empty() ? scanned.models : inventoryModels;
    ActionType::ArchiveModel archive {ActionType::ArchiveModel::archiveAll, {}, 0, {}};
    std::vector<InventoryModel> candidates;
    for (const auto& model : models) {
        if (!model.isArchiveCandidate)
            continue;
        candidates.push_back(model);
        archive.paths.push_back(model.path);
    }
    // What deleting them frees, each file once: a blob another model still uses stays. Models the
    // caller listed count with their listed sizes.
    archive.sizeGB = gigabytes(scanned.footprint.reclaim(candidates).bytes);
    if (archive.sizeGB >= kUnusedModelsThresholdGB) {
        const std::string count = std::to_string(archive.paths.size());
        const std::string gb = amount(archive.sizeGB);
        archive.name = count + " models";
        add("Reclaim " + gb + "GB in Unused Models",
            count + " models haven't been used in > 30 days. Clean to free disk space.", archive, "~" + gb + "GB freed",
            Urgency::info);
    }

    if (m_developerCacheEngine) {
        const double safeGB = gigabytes(recentSafeCacheBytes());
        if (safeGB >= kDeveloperCachesThresholdGB) {
            const std::string gb = amount(safeGB);
            add("Reclaim " + gb + "GB Developer Caches",
                "Build and package caches are using " + gb + "GB. Safe to clear anytime.",
                ActionType::CleanDeveloperCaches {safeGB}, "~" + gb + "GB freed", Urgency::info);
        }
    }

    // What cannot run here is still worth knowing, and the card says why it cannot.
    if (const std::string reason = helperNeededReason(m_helperAccess); !reason.empty()) {
        for (ActionCard& card : cards) {
            if (needsHelper(card.action))
                card.unavailableReason = reason;
        }
    }
    std::stable_sort(cards.begin(), cards.end(),
        [](const ActionCard& a, const ActionCard& b) { return urgencyRank(a.urgency) < urgencyRank(b.urgency); });
    return cards;
}

ActionResult CorrectiveActionEngine::executeAction(const ActionType& action)
{
    if (action.as<ActionType::FlushInactiveMemory>())
        return flushInactiveMemory();
    if (const auto* freezeAction = action.as<ActionType::FreezeProcess>())
        return freeze(*freezeAction);
    if (const auto* unloadAction = action.as<ActionType::UnloadOllamaModel>())
        return unload(*unloadAction);
    if (action.as<ActionType::ClearOllamaKVCache>())
        return clearOllamaKVCache();
    if (const auto* archiveAction = action.as<ActionType::ArchiveModel>())
        return archive(*archiveAction);
    return cleanCaches();
}

ActionResult CorrectiveActionEngine::flushInactiveMemory()
{
    const auto purged = m_xpcConnection.purgeMemory();
    if (!purged)
        return failure("Could not flush inactive memory: " + purged.error().message);
    tracker().record(AssistanceCategory::performance, "Inactive RAM Purged",
        "Flushed inactive system memory back to available headroom", "RAM freed", 0, 0, 0);
    return {true, "Successfully flushed inactive memory page tables."};
}

ActionResult CorrectiveActionEngine::freeze(const ActionType::FreezeProcess& action)
{
    const std::string who = action.name + " (PID " + std::to_string(action.pid) + ")";
    if (!m_freezer)
        return failure("Could not suspend " + who + ": process suspension is not available.");
    const auto frozen = m_freezer(action.pid, action.name, action.startTicks);
    if (!frozen)
        return failure("Could not suspend " + who + ": " + frozen.error().message);
    tracker().record(AssistanceCategory::computing, "Process Suspended",
        "Sent SIGSTOP to " + who + " to halt resource drain", "CPU freed", 0, 0, 0);
    return {true, "Frozen process " + who + " successfully."};
}

ActionResult CorrectiveActionEngine::unload(const ActionType::UnloadOllamaModel& action)
{
    if (const auto error = m_ollamaEngine.unloadModel(action.name))
        return failure("Could not unload model " + action.name + ": " + error->message);
    tracker().record(AssistanceCategory::memory, "Model Unloaded", "Unloaded " + action.name + " from active memory",
        "RAM restored", 0, 0, 0);
    return {true, "Unloaded model " + action.name + " from memory."};
}

ActionResult CorrectiveActionEngine::clearOllamaKVCache()
{
    // The server drops a model's context only with the model: it refuses a request that names none,
    // so each loaded model is unloaded by name ("keep_alive" 0), its own way to free that memory.
    const auto loaded = m_ollamaEngine.loadedModels();
    if (!loaded.ok())
        return failure("Could not clear the model KV cache: " + loaded.error->message + ".");
    if (loaded.models.empty())
        return {true, "No model is loaded: there is no KV cache to clear."};
    std::vector<std::string> failed;
    for (const auto& model : loaded.models) {
        if (const auto error = m_ollamaEngine.unloadModel(model.name))
            failed.push_back(model.name + " (" + error->message + ")");
    }
    const std::size_t unloaded = loaded.models.size() - failed.size();
    const std::string count = std::to_string(unloaded) + (unloaded == 1 ? " model" : " models");
    if (unloaded > 0) {
        tracker().record(AssistanceCategory::performance, "Model KV Cache Cleared",
            "Purged inactive context window to optimize VRAM", "VRAM freed", 0, 0, 0);
    }
    if (!failed.empty())
        return failure("Cleared the KV cache of " + count + "; could not unload " + joined(failed) + ".");
    return {true, "Cleared model KV cache: unloaded " + count + "."};
}

ActionResult CorrectiveActionEngine::archive(const ActionType::ArchiveModel& action)
{
    if (!m_inventoryEngine)
        return failure("Could not archive " + action.name + ": model storage is not available.");
    // Only what the card showed, and of that only what is still unused now.
    const bool all = action.path == ActionType::ArchiveModel::archiveAll;
    const std::set<std::string> shown(action.paths.begin(), action.paths.end());
    std::vector<InventoryModel> selection;
    for (auto& model : m_inventoryEngine->scanModels()) {
        if (all ? model.isArchiveCandidate && shown.count(model.path) : model.path == action.path)
            selection.push_back(std::move(model));
    }
    const ModelDeletionResult deleted = m_inventoryEngine->deleteModels(selection);
    const std::string gb = gigabyteSizeText(gigabytes(deleted.totalReclaimedBytes));
    const std::string count = std::to_string(deleted.deletedCount);
    if (deleted.deletedCount > 0 || deleted.failedModelNames.empty()) {
        tracker().record(AssistanceCategory::storage, "Storage Reclaimed", "Archived " + count + " unused model(s)",
            "+" + gb, 0, gigabytes(deleted.totalReclaimedBytes), 0);
    }
    const std::string done = "Reclaimed " + gb + " by cleaning " + count + " model(s)";
    if (!deleted.failedModelNames.empty())
        return failure(done + "; could not remove " + joined(deleted.failedModelNames) + ".");
    return {true, done + "."};
}

ActionResult CorrectiveActionEngine::cleanCaches()
{
    if (!m_developerCacheEngine)
        return failure("Could not clean developer caches: the cache engine is not available.");
    const auto purged = m_developerCacheEngine->purgeAllSafeCaches();
    const std::string gb = gigabyteSizeText(gigabytes(purged.reclaimedBytes));
    // A cache left in part is never listed as cleared; a clean that freed nothing and left something
    // is not recorded at all.
    if (purged.reclaimedBytes > 0 || purged.complete()) {
        tracker().record(AssistanceCategory::storage, "Safe Caches Purged", purged.clearedDetail(), "+" + gb, 0,
            gigabytes(purged.reclaimedBytes), 0);
    }
    std::string done = "Reclaimed " + gb + " in developer caches";
    if (purged.complete())
        return {true, done + "."};
    if (!purged.failures.empty()) {
        std::vector<std::string> reasons;
        for (const auto& [name, why] : purged.failures)
            reasons.push_back(name + " (" + why + ")");
        done += "; could not clean " + joined(reasons);
    }
    if (!purged.incompleteNames.empty())
        done += "; partly left: " + joined(purged.incompleteNames);
    return failure(done + ".");
}
