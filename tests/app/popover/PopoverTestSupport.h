#pragma once

// A popover over a machine the test controls: a dashboard model fed by hand-made samples, a persona
// view model over an empty machine, settings, theme and clock of the test's own.

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/ProcessWatcher.h"
#include "core/UserDefaults.h"
#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "engines/ThermalEngine.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "support/doubles/ui/FakeClock.h"
#include "ui/ViewSettings.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"
#include "support/doubles/RecordingXPCConnection.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace popovertest {

class NoInhibitor : public platform::SleepInhibitor
{
public:
    bool acquire() override { return false; }
    void release() override { }
};

class NoNotifier : public platform::UserNotifier
{
public:
    void post(const std::string&, const std::string&) override { }
};

class PopoverFixture : public ::testing::Test
{
protected:
    PopoverFixture()
        : defaults(dir.filePath(QStringLiteral("settings.conf")))
        , settings(defaults)
        , themes(defaults)
        , tracker(dir.path())
        , watcher(ProcessWatcher::Options {proc().toStdString(), {}, 1})
        , ollama("http://127.0.0.1:9")
        , memory(proc().toStdString())
    {
        QDir(dir.path()).mkpath(QStringLiteral("proc"));
        QDir(dir.path()).mkpath(QStringLiteral("sys"));
        DashboardSources sources;
        sources.procRoot = proc().toStdString();
        sources.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
        sources.homePath = dir.path().toStdString();
        sources.publicAddressUrl = "http://127.0.0.1:9";
        dashboard = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(sources.procRoot),
            std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(sources.sysRoot),
            sources);
        personaEngine = std::make_unique<PersonaEngine>(
            xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), personaOptions());
        personaVM = std::make_unique<PersonaViewModel>(*personaEngine);
        // Most tests look at the dashboard; the first-run flow's own tests clear this.
        settings.setHasFinishedOnboarding(true);
    }

    QString proc() const { return dir.filePath(QStringLiteral("proc")); }

    // What the fixture's persona engine is built with: the test's folders, no desktop services.
    PersonaEngine::Options personaOptions()
    {
        PersonaEngine::Options o;
        o.stateFilePath = dir.filePath(QStringLiteral("suspended.json"));
        o.userDefaults = &defaults;
        o.assistanceTracker = &tracker;
        o.sleepInhibitor = std::make_shared<NoInhibitor>();
        o.notifier = std::make_shared<NoNotifier>();
        o.procRoot = proc().toStdString();
        o.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
        o.updatesPersonaTracker = false;
        return o;
    }

    // A measured tick of a four-core machine with the given memory; the test changes what it needs.
    static DashboardSample sample(double totalGB = 32, double systemGB = 12, double modelsGB = 8)
    {
        DashboardSample s;
        s.cpuKind = DashboardSample::CpuKind::measured;
        s.cpuLoad.perCore = {0.5, 0.5, 0.5, 0.5};
        s.cpuLoad.performanceSum = 2;
        s.cpuLoad.userTicks = 70;
        s.cpuLoad.systemTicks = 30;
        s.cpuLoad.totalTicks = 400;
        s.processorCount = 4;
        s.memory.totalGB = totalGB;
        s.memory.systemUsedGB = systemGB;
        s.memory.aiModelsGB = modelsGB;
        s.memory.freeGB = 4;
        s.memory.inactiveGB = 4;
        s.thermal = QVThermalState::forLevel(QVThermalState::Level::balanced);
        return s;
    }

    QTemporaryDir dir;
    UserDefaults defaults;
    ViewSettings settings;
    ThemeManager themes;
    FakeClock clock;
    AssistanceTracker tracker;
    RecordingXPCConnection xpc;
    ProcessWatcher watcher;
    OllamaEngine ollama;
    MemoryEngine memory;
    std::unique_ptr<DashboardViewModel> dashboard;
    std::unique_ptr<PersonaEngine> personaEngine;
    std::unique_ptr<PersonaViewModel> personaVM;
};

} // namespace popovertest
