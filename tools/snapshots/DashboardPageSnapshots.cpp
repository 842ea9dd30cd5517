#include "SampleData.h"
#include "SampleSettings.h"
#include "SnapshotRegistry.h"

#include "core/UserDefaults.h"
#include "engines/MachineFactsModel.h"
#include "records/DigestEngine.h"
#include "records/DigestViewModel.h"
#include "support/doubles/FakePowerProfiles.h"
#include "views/dashboard/HistoryTabView.h"
#include "views/dashboard/MemoryTabView.h"
#include "views/dashboard/PowerThermalTabView.h"
#include "views/dashboard/SensorsTabView.h"
#include "views/dashboard/SystemInfoView.h"
#include "views/dashboard/WeeklyDigestView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

namespace {

// The whole page as the settings window's content area holds it.
QImage grabPage(QWidget* page, const SnapshotContext& c)
{
    std::unique_ptr<QWidget> owned(page);
    return grabSettingsPage(*page, c);
}

// A virtual machine without firmware data or a GPU of its own, like the one this program is tried on.
platform::MachineFacts virtualMachineFacts()
{
    platform::MachineFacts f;
    f.hostName = "vm";
    f.cpuBrand = "AMD EPYC";
    f.logicalCpus = 8;
    f.performanceCpus = 8;
    f.memoryBytes = 24682348ull * 1024;
    f.osVersion = "12";
    f.kernelRelease = "6.18.44-fc-v1403";
    f.kernelName = "Linux";
    f.architecture = "x86_64";
    f.machineId = "3d121c0ffee0000000000000000000aa";
    return f;
}

WeeklyDigest digest(int weeksAgo, const char* thermal, const char* model, double gb, double hours)
{
    WeeklyDigest d;
    d.id = Uuid::random();
    d.weekOf = Date::from1970(1796601600.0 - weeksAgo * 7 * 86400.0); // weeks before 2026-12-07
    d.peakMemoryPressureEvents = 3 + weeksAgo;
    d.worstThermalState = thermal;
    d.mostUsedModel = model;
    d.mostUsedModelAvgGB = gb;
    d.throttleEventsPrevented = 2 * weeksAgo;
    d.estimatedHoursSaved = hours;
    return d;
}

QImage digestPicture(const SnapshotContext& c)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("digests.conf")));
    auto engine = std::make_shared<DigestEngine>(defaults);
    if (c.data.kind() == SampleData::Kind::sample) {
        engine->addDigest(digest(2, "Warm", "", 0, 12));
        engine->addDigest(digest(1, "Balanced", "qwen2.5-coder:7b", 5.4, 3.25));
        engine->addDigest(digest(0, "Throttling", "llama3.1:8b", 6.2, 1.5));
    }
    DigestViewModel model(engine);
    auto reload = model.reload();
    while (!reload.isFinished())
        QApplication::processEvents();
    return grabPage(new WeeklyDigestView(model), c);
}

} // namespace

void registerDashboardPageSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("page-sensors"),
        [](const SnapshotContext& c) { return grabPage(new SensorsTabView(c.data.dashboard()), c); });
    registry.add(QStringLiteral("page-memory"),
        [](const SnapshotContext& c) { return grabPage(new MemoryTabView(c.data.dashboard()), c); });
    registry.add(QStringLiteral("page-power"), [](const SnapshotContext& c) {
        FakePowerProfiles profiles(c.data.kind() == SampleData::Kind::sample);
        return grabPage(new PowerThermalTabView(c.data.dashboard(), profiles), c);
    });
    registry.add(QStringLiteral("page-history"), [](const SnapshotContext& c) {
        return grabPage(new HistoryTabView(c.data.dashboard(), c.data.desktop(), c.data.clock()), c);
    });
    registry.add(QStringLiteral("page-digests"), digestPicture);
    registry.add(QStringLiteral("page-system-info"), [](const SnapshotContext& c) {
        MachineFactsModel facts(c.data.machineFacts());
        return grabPage(new SystemInfoView(c.data.dashboard(), facts, c.data.desktop(), c.data.clock()), c);
    });
    registry.add(QStringLiteral("page-system-info-virtual-machine"), [](const SnapshotContext& c) {
        MachineFactsModel facts(virtualMachineFacts());
        return grabPage(new SystemInfoView(c.data.dashboard(), facts, c.data.desktop(), c.data.clock()), c);
    });
}
