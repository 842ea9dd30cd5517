#pragma once

#include "SnapshotRegistry.h"

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/ProcessWatcher.h"
#include "core/UserDefaults.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "popover/AppDirectory.h"
#include "popover/PopoverEngines.h"
#include "records/AssistanceTracker.h"
#include "support/doubles/RecordingXPCConnection.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

class CorrectiveActionEngine;
class DashboardViewModel;
class DeveloperCacheEngine;
class ModelInventoryEngine;
class PopoverView;

// A persona engine over an empty machine and a helper client that reaches no helper: nothing is
// suspended and no persona is active.
struct PersonaSample
{
    PersonaSample();
    ~PersonaSample();

    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath(QStringLiteral("personas.conf"))};
    AssistanceTracker tracker {dir.path()};
    RecordingXPCConnection xpc;
    ProcessWatcher watcher;
    OllamaEngine ollama {"http://127.0.0.1:9"};
    MemoryEngine memory {dir.filePath(QStringLiteral("proc")).toStdString()};
    std::unique_ptr<PersonaEngine> engine;
    std::unique_ptr<PersonaViewModel> viewModel;
};

// Model stores and developer caches of the sample machine in a home of their own (left empty without
// sample data), with the inventory, cache and corrective-action engines over them.
struct SampleEngines
{
    SampleEngines(bool filled, PersonaSample& personas);
    ~SampleEngines();

    QTemporaryDir home;
    std::shared_ptr<ModelInventoryEngine> inventory;
    std::shared_ptr<DeveloperCacheEngine> caches;
    std::unique_ptr<CorrectiveActionEngine> actions;
};

// Two applications installed and running: an editor (one icon for its two processes) and a terminal.
struct AppsSample
{
    AppsSample();
    std::shared_ptr<platform::DesktopAppRegistry> registry() const;

    QTemporaryDir dir;
};

// The width of the popover's tab panel, where the tab views sit (the popover is padded 12 px).
constexpr int kPopoverPanelWidth = 340 - 2 * 12;
// A frame holding one of the popover's views alone, on the palette the popover gives its content.
void usePopoverPalette(QWidget& frame, AppTheme theme);

// One more tick for the sample machine: loaded models, busy processes, connections, a temperature.
void publishBusyTick(DashboardViewModel& model);

// The popover of the sample machine on `tab`, over the sample engines, its running applications found.
// `onboardingStep` above 0 shows the first-run flow at that step instead of the dashboard.
struct SamplePopover
{
    // `engines`, when given, changes the engines the view is built over (a failing helper install, say).
    SamplePopover(const SnapshotContext& c, int tab, bool telemetry = false, int onboardingStep = 0,
        const std::function<void(PopoverEngines&)>& engines = {});
    ~SamplePopover();

    // Shows the view offscreen and waits for its storage scan and its background work.
    void show();

    PersonaSample personas;
    SampleEngines engines;
    AppsSample apps;
    AppDirectory directory {[this] { return apps.registry(); }};
    // Owned here until a host takes it (release() it into the host).
    std::unique_ptr<PopoverView> view;
};
