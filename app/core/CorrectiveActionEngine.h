#pragma once

#include "ActionCard.h"
#include "PersonaEngine.h"
#include "XPCConnection.h"

#include "engines/OllamaModel.h"
#include "engines/SystemMemoryState.h"
#include "storage/InventoryModel.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AssistanceTracker;
class DeveloperCacheEngine;
class ModelInventoryEngine;
class OllamaEngine;

// Turns a snapshot of the machine into recommended-action cards and runs the action of the card the
// user pressed through the component that owns the resource. Keeps no state between calls. Every
// operation blocks (scans, helper requests, the model server) and is safe from any thread; the GUI
// hands them to a worker.
class CorrectiveActionEngine
{
public:
    using ActionType = ::ActionType;
    using ActionCard = ::ActionCard;
    using Urgency = ::Urgency;

    // Suspends one process so that it is recorded and later resumed with the others (the persona
    // engine's freezeProcess); the error of the helper comes back unchanged.
    using ProcessFreezer = std::function<XPCConnection::Result<void>(std::int32_t pid, const std::string& name)>;

    static constexpr double kHeadroomThresholdGB = 8.0;
    static constexpr double kInactiveThresholdGB = 8.0;
    static constexpr double kUnusedModelsThresholdGB = 10.0;
    static constexpr double kDeveloperCachesThresholdGB = 5.0;
    static constexpr std::chrono::milliseconds kCacheResetTimeout {2000};

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
            [&personaEngine](
                std::int32_t pid, const std::string& name) { return personaEngine.freezeProcess(pid, name); },
            assistanceTracker)
    {
    }

    // An empty inventoryModels means the caller did not scan: the engine scans itself.
    std::vector<ActionCard> generateActionCards(const SystemMemoryState& memoryState,
        const std::vector<OllamaModel>& loadedModels, const std::vector<InventoryModel>& inventoryModels);

    // Runs the action and records one assistance event when it did its work. A failure comes back
    // with success false and the reason, and records nothing.
    ActionResult executeAction(const ActionType& action);
    // Asks the helper to write back dirty pages and drop the clean caches.
    ActionResult flushInactiveMemory();
    // Asks the model server to drop the context of its models ("keep_alive" 0, no model named).
    ActionResult clearOllamaKVCache();

private:
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
};
