#include "ActionRunner.h"

#include "core/CorrectiveActionEngine.h"
#include "core/PoolWork.h"

ActionRunner ActionRunner::on(CorrectiveActionEngine* engine, QThreadPool* pool)
{
    if (!engine)
        return {};
    if (!pool)
        pool = QThreadPool::globalInstance();
    ActionRunner runner;
    runner.generate
        = [engine, pool](const SystemMemoryState& memoryState, const std::vector<OllamaModel>& loadedModels) {
              return runOnPool(pool, [engine, memoryState, loadedModels] {
                  // No inventory given: the engine scans the model stores itself.
                  return engine->generateActionCards(memoryState, loadedModels, {});
              });
          };
    runner.execute = [engine, pool](const ActionType& action) {
        return runOnPool(pool, [engine, action] { return engine->executeAction(action); });
    };
    return runner;
}
