#include "ActionRunner.h"

#include "core/CorrectiveActionEngine.h"

#include <QtConcurrent/QtConcurrentRun>

ActionRunner ActionRunner::on(CorrectiveActionEngine* engine)
{
    if (!engine)
        return {};
    ActionRunner runner;
    runner.generate = [engine](const SystemMemoryState& memoryState, const std::vector<OllamaModel>& loadedModels) {
        return QtConcurrent::run([engine, memoryState, loadedModels] {
            // No inventory given: the engine scans the model stores itself.
            return engine->generateActionCards(memoryState, loadedModels, {});
        });
    };
    runner.execute = [engine](const ActionType& action) {
        return QtConcurrent::run([engine, action] { return engine->executeAction(action); });
    };
    return runner;
}
