#pragma once

#include "core/ActionCard.h"

#include "engines/OllamaModel.h"
#include "engines/SystemMemoryState.h"

#include <QFuture>

#include <functional>
#include <vector>

class CorrectiveActionEngine;
class QThreadPool;

// How the actions tab reaches the corrective-action engine: both calls run off the GUI thread and come
// back as futures. Tests and the snapshot program put their own functions in.
struct ActionRunner
{
    using Generate = std::function<QFuture<std::vector<ActionCard>>(
        const SystemMemoryState& memoryState, const std::vector<OllamaModel>& loadedModels)>;
    using Execute = std::function<QFuture<ActionResult>(const ActionType& action)>;

    Generate generate;
    Execute execute;

    explicit operator bool() const { return generate && execute; }

    // Runs the engine's blocking calls on `pool` (null: the global pool), whose owner waits for them before
    // the engine goes; empty when there is no engine.
    static ActionRunner on(CorrectiveActionEngine* engine, QThreadPool* pool);
};
