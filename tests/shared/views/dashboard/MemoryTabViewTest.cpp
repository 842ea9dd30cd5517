#include "views/dashboard/MemoryTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace {

DashboardSample memorySample(double total, double used, double models)
{
    DashboardSample s;
    s.memory.totalGB = total;
    s.memory.systemUsedGB = used;
    s.memory.aiModelsGB = models;
    return s;
}

SystemMemoryState state(double total, double used, double models)
{
    SystemMemoryState s;
    s.totalGB = total;
    s.systemUsedGB = used;
    s.aiModelsGB = models;
    return s;
}

} // namespace

TEST(MemoryTabViewTest, BeforeTheFirstSampleTilesShowTheDash)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    MemoryTabView view(*model);
    EXPECT_EQ(view.tileValues(), (QStringList {"—", "—", "—"})); // not "3.30 GB"
    EXPECT_FALSE(view.isPressureShown());
    EXPECT_FALSE(view.isAnalyzing());
    EXPECT_FALSE(view.analysisSuccess());

    // The tiles come from what holds the memory, never from fixed shares of the used memory.
    DashboardSample s = memorySample(32, 10, 6);
    s.memoryUse = platform::MemoryUse {7ull << 29, 3ull << 30, std::nullopt};
    model->publishSample(s);
    EXPECT_EQ(view.tileValues(), (QStringList {"3.50 GB", "3.00 GB", "—"})); // no zswap or zram
    s.memoryUse->compressedBytes = 1ull << 29;
    model->publishSample(s);
    EXPECT_EQ(view.tileValues().value(2), "0.50 GB");
    EXPECT_TRUE(view.isPressureShown());
    EXPECT_EQ(view.pressureText(), "50%");
    EXPECT_EQ(view.pressureTotalsText(), "16.0 GB / 32.0 GB");
}

TEST(MemoryTabViewTest, PressureCappedAtOneHundredAndEightyIsGreen)
{
    EXPECT_EQ(MemoryTabView::pressurePercent(state(0, 0.5, 0)), 50.0); // a total of 0 counts as 1 GB
    EXPECT_EQ(MemoryTabView::pressurePercent(state(16, 20, 4)), 100.0);
    EXPECT_FALSE(MemoryTabView::pressurePercent(state(16, std::numeric_limits<double>::infinity(), 0)));

    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    FakeMachine machine;
    auto model = makeModel(machine);
    MemoryTabView view(*model);
    model->publishSample(memorySample(10, 6, 2));
    EXPECT_EQ(view.pressureText(), "80%");
    EXPECT_EQ(view.pressureColor(), Palette::current().green);
    model->publishSample(memorySample(10, 9, 4));
    EXPECT_EQ(view.pressureText(), "100%");
    EXPECT_EQ(view.pressureFraction(), 1.0);
    EXPECT_EQ(view.pressureColor(), Palette::current().red);
}

TEST(MemoryTabViewTest, ProcessesSortedByMemory)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    MemoryTabView view(*model);
    DashboardSample s = memorySample(16, 4, 0);
    // The busiest processes are not the page's: it lists the model's memory ranking, with memory figures.
    s.processes = std::vector<RunningProcess> {{1, "busy", 100, 90.0, {}}};
    s.memoryProcesses = std::vector<RunningProcess> {{2, "big", 9000, 1.0, {}}, {3, "mid", 1024, 5.0, {}},
        {7, "idle", 600, 0.0, {}}, {1, "busy", 100, 90.0, {}}, {6, "c", 30, 1.0, {}}, {5, "b", 20, 1.0, {}}};
    model->publishSample(s);
    EXPECT_EQ(view.processNames(), (QStringList {"big", "mid", "idle", "busy", "c"}));
    EXPECT_EQ(view.processValues(), (QStringList {"8.8 GB", "1.0 GB", "600 MB", "100 MB", "30 MB"}));
}
