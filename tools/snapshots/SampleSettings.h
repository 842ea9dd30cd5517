#pragma once

#include "SnapshotRegistry.h"

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/ProcessWatcher.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"
#include "storage/ModelInventoryEngine.h"
#include "support/doubles/FakePowerProfiles.h"
#include "support/doubles/RecordingXPCConnection.h"

#include <QTemporaryDir>

#include <memory>

class DeveloperCacheEngine;
class MachineFactsModel;
class SampleData;
class SettingsView;

// The settings window's content over the sample machine: a persona engine over empty fixture trees and a
// helper client that reaches no helper, with its settings and counters in a temporary folder (a few protected
// builds, and list entries as long as the pages must hold), the Storage & Caches page over the sample
// model stores and caches, and the sample machine's facts and power daemon.
struct SampleSettings
{
    explicit SampleSettings(SampleData& data);
    ~SampleSettings();

    QTemporaryDir dir;
    RecordingXPCConnection xpc;
    ProcessWatcher watcher;
    MemoryEngine memory;
    OllamaEngine ollama;
    AssistanceTracker tracker;
    std::shared_ptr<ModelInventoryEngine> inventory;
    std::shared_ptr<DeveloperCacheEngine> caches;
    std::unique_ptr<PersonaEngine> engine;
    std::unique_ptr<PersonaViewModel> viewModel;
    FakePowerProfiles powerProfiles;
    std::shared_ptr<MachineFactsModel> machineFacts;
    std::unique_ptr<SettingsView> view;
};

// A page grabbed whole as the settings window's content area holds it: in the area's column (24 px at the
// top and sides, 60 at the bottom) on the window's palette, as wide as the area leaves it; a page taller
// than the window (or one inside such a page, `insideLongPage`) loses the width of the area's scroll bar.
QImage grabSettingsPage(QWidget& page, const SnapshotContext& c, bool insideLongPage = false);
