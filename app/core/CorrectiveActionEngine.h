#pragma once

#include "ActionCard.h"
#include "HelperAccess.h"
#include "PersonaEngine.h"
#include "XPCConnection.h"

#include "engines/OllamaModel.h"
#include "engines/SystemMemoryState.h"
#include "storage/InventoryModel.h"
#include "storage/ModelInventoryEngine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class AssistanceTracker;
class DeveloperCacheEngine;
class OllamaEngine;

// Turns a snapshot of the machine into recommended-action cards and runs the action of the card the
// user pressed through the component that owns the resource. Every operation blocks (scans, helper
// requests, the model server) and is safe from any thread; the GUI hands them to a worker.
//
// The cards follow the memory figures of each call, but the disk is not walked on every call: the
// last model scan and cache sizing are kept for up to a minute, and dropped at once when the
// inventory or cache engine has deleted something since. Actions always scan afresh.
class CorrectiveActionEngine
{
public:
    using ActionType = ::ActionType;
    using ActionCard = ::ActionCard;
    using Urgency = ::Urgency;

    // Suspends one process so that it is recorded and later resumed with the others (the persona
    // engine's freezeProcess), refusing one that no longer started at startTicks when they are given;
    // the error of the helper comes back unchanged.
    using ProcessFreezer = std::function<XPCConnection::Result<void>(
        std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks)>;

    static constexpr double kHeadroomThresholdGB = 8.0;
    static constexpr double kInactiveThresholdGB = 8.0;
    static constexpr double kUnusedModelsThresholdGB = 10.0;
    static constexpr double kDeveloperCachesThresholdGB = 5.0;
    static constexpr std::chrono::seconds kRescanInterval {60};
    using Clock = std::chrono::steady_clock;

    // The inventory and developer-cache engines may be absent; their cards and actions are then
    // unavailable. The tracker defaults to AssistanceTracker::shared().
    CorrectiveActionEngine(XPCConnection& xpcConnection, OllamaEngine& ollamaEngine,
        ModelInventoryEngine* inventoryEngine, DeveloperCacheEngine* developerCacheEngine, ProcessFreezer freezer,
        AssistanceTracker* assistanceTracker = nullptr);

    // The application's engine: suspends through the persona engine, so a process suspended from a
    // card is recorded and resumed like every other.
    CorrectiveActionEngine(XPCConnection& xpcConnection, OllamaEngine& ollamaEngine,
        ModelInventoryEngine* inventoryEngine, DeveloperCacheEngine* developerCacheEngine, PersonaEngine& personaEngine,
        AssistanceTracker* assistanceTracker = nullptr)
        : CorrectiveActionEngine(
            xpcConnection, ollamaEngine, inventoryEngine, developerCacheEngine,
            [&personaEngine](std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks) {
                return personaEngine.freezeProcess(pid, name, startTicks);
            },
            assistanceTracker)
    {
    }

    // The clock the reuse of scans is timed by (tests step it).
    void setClock(std::function<Clock::time_point()> clock);
    // Whether the root helper acts for this copy, as the application last found. A card whose action
    // needs it is then offered with the reason it cannot run. Until told, the helper counts as available.
    void setHelperAccess(HelperAccess access);
    // Flushing memory and suspending a process go through the helper.
    static bool needsHelper(const ActionType& action);

    // An empty inventoryModels means the caller did not scan: the engine scans itself, or reuses its
    // last scan.
    std::vector<ActionCard> generateActionCards(const SystemMemoryState& memoryState,
        const std::vector<OllamaModel>& loadedModels, const std::vector<InventoryModel>& inventoryModels);

    // Runs the action and records one assistance event when it did its work. A failure comes back
    // with success false and the reason, and records nothing. A cache clean that left part of its work
    // undone also comes back with success false, naming what stayed, and records only what it freed.
    ActionResult executeAction(const ActionType& action);
    // Asks the helper to write back dirty pages and drop the clean caches.
    ActionResult flushInactiveMemory();
    // Frees the context memory of the loaded models: unloads each by name ("keep_alive" 0) and says how
    // many were unloaded.
    ActionResult clearOllamaKVCache();

private:
    // A scan result kept for the cards, with when it was taken and the engine's change count then.
    template<class T> struct KeptScan
    {
        std::optional<T> value;
        Clock::time_point at;
        std::uint64_t changeCount = 0;
    };

    ModelInventoryEngine::Inventory recentInventory();
    std::int64_t recentSafeCacheBytes();
    Clock::time_point now() const;

    ActionResult freeze(const ActionType::FreezeProcess& action);
    ActionResult unload(const ActionType::UnloadOllamaModel& action);
    ActionResult archive(const ActionType::ArchiveModel& action);
    ActionResult cleanCaches();
    AssistanceTracker& tracker() const;

    XPCConnection& m_xpcConnection;
    OllamaEngine& m_ollamaEngine;
    ModelInventoryEngine* const m_inventoryEngine;
    DeveloperCacheEngine* const m_developerCacheEngine;
    const ProcessFreezer m_freezer;
    AssistanceTracker* const m_assistanceTracker;
    std::function<Clock::time_point()> m_clock;
    std::atomic<HelperAccess> m_helperAccess {HelperAccess::available};

    mutable std::mutex m_scanMutex; // guards the two kept scans
    KeptScan<ModelInventoryEngine::Inventory> m_models;
    KeptScan<std::int64_t> m_safeCacheBytes;
};
