#pragma once

#include <QString>

#include <functional>
#include <memory>

class AssistanceTracker;
class CorrectiveActionEngine;
class DashboardViewModel;
class DeveloperCacheEngine;
class HelperService;
class ModelInventoryEngine;
class NotificationPermission;
class QThreadPool;
class QWidget;

// The engines the popover's actions and storage tabs act through. Any of them may be absent: the
// actions tab then shows no recommendations, the storage tab nothing.
struct PopoverEngines
{
    CorrectiveActionEngine* actionEngine = nullptr;
    // Where the recommended actions and the setup page run their work. Its owner waits for it before what
    // the work uses goes: the action engine, and what the helper service reaches (the program's delegate
    // keeps one beside its engines). Null: the global pool, for engines that live as long as the program.
    QThreadPool* pool = nullptr;
    // Null: AssistanceTracker::shared().
    std::shared_ptr<AssistanceTracker> assistanceTracker;
    // Shared, so that a scan or a cleanup still running when the popover goes keeps its engine.
    std::shared_ptr<ModelInventoryEngine> inventoryEngine;
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine;
    // The first-run flow's setup page installs the helper and asks for notifications through these, held by
    // the work as long as it runs; null: the system's own, made when the flow reaches that page (whose
    // removal resumes what the persona engine suspended: `pool` must then be one its owner waits for).
    std::shared_ptr<HelperService> helperService;
    std::shared_ptr<NotificationPermission> notificationPermission;
    // Why this copy cannot set up the helper for itself; empty: it can.
    QString helperSetupUnavailable;
    // Builds the memory tab's model suggestion card; null: the card over this machine and the local
    // model server.
    std::function<QWidget*(DashboardViewModel&, QWidget* parent)> suggestionCard = {};
};
