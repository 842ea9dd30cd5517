#include "views/dashboard/SensorsTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include <gtest/gtest.h>

namespace {

SensorsTabView::Figures measuredFigures()
{
    SensorsTabView::Figures f;
    f.socTemperature = 72.9;
    f.cpuUsage = 99.9;
    f.aneUsage = 12.0;
    f.pClusterUsage = 50.5;
    f.eClusterUsage = 7.0;
    f.powerDraw = 10.0;
    return f;
}

std::vector<RunningProcess> processes(int count)
{
    std::vector<RunningProcess> list;
    for (int i = 0; i < count; ++i)
        list.push_back({100 + i, "p" + std::to_string(i), 0, 1.0, {}});
    return list;
}

} // namespace

TEST(SensorsTabViewTest, WarningAboveEightyAndTruncatedFigures)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    SensorsTabView view(*model);
    auto f = measuredFigures();
    f.socTemperature = 80.0;
    view.showFigures(f);
    EXPECT_EQ(view.thermalText(), "Thermals optimal. Passive cooling sufficient.");
    f.socTemperature = 80.1;
    view.showFigures(f);
    EXPECT_EQ(view.thermalText(), "Thermals warning: high system temperature");
    EXPECT_EQ(view.socText(), "80°");
    EXPECT_EQ(view.circleValues(), (QStringList {"99%", "80°", "12%"})); // truncated, never rounded up
    EXPECT_EQ(view.rowValues(), (QStringList {"80°C", "9.99", "10.00 W", "50%", "7%"}));
}

TEST(SensorsTabViewTest, EfficiencyDividesByAtLeastOneWatt)
{
    EXPECT_EQ(SensorsTabView::efficiencyText(35.0, 0.4), "35.00");
    EXPECT_EQ(SensorsTabView::efficiencyText(35.0, 0.0), "35.00");
    EXPECT_EQ(SensorsTabView::efficiencyText(35.0, 7.0), "5.00");
    EXPECT_EQ(SensorsTabView::efficiencyText(35.0, std::nullopt), "—");
}

TEST(SensorsTabViewTest, UnmeasuredFiguresShowTheDash)
{
    FakeMachine machine; // no sensors, no /proc/stat
    auto model = makeModel(machine);
    ASSERT_TRUE(waitFor(model->updateAll()));
    SensorsTabView view(*model);
    EXPECT_EQ(view.socText(), "—"); // not the 42 °C fallback
    EXPECT_EQ(view.circleValues(), (QStringList {"—", "—", "—"}));
    EXPECT_EQ(view.rowValues(), (QStringList {"—", "—", "—", "—", "—"}));
    EXPECT_EQ(view.thermalText(), "No temperature sensor found on this machine.");

    auto f = measuredFigures();
    f.cpuUsage = std::numeric_limits<double>::quiet_NaN();
    view.showFigures(f);
    EXPECT_EQ(view.circleValues().first(), "—");
}

TEST(SensorsTabViewTest, ShowsAtMostSixProcessesInPlace)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    SensorsTabView view(*model);
    EXPECT_TRUE(view.processNames().isEmpty());
    auto f = measuredFigures();
    f.topProcesses = processes(8);
    view.showFigures(f);
    EXPECT_EQ(view.processNames(), (QStringList {"p0", "p1", "p2", "p3", "p4", "p5"}));
    f.topProcesses = processes(2);
    view.showFigures(f);
    EXPECT_EQ(view.processNames(), (QStringList {"p0", "p1"}));
}

TEST(SensorsTabViewTest, TipsPromiseSuspendingOnlyWhereTheHelperActsAndNeverAPriorityChange)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    SensorsTabView view(*model, false);
    const QStringList without = view.tipTexts();
    ASSERT_EQ(without.size(), 2);
    for (const QString& tip : without) {
        EXPECT_TRUE(tip.contains("without its helper")) << tip.toStdString();
        EXPECT_FALSE(tip.contains("instantly reclaim")) << tip.toStdString();
    }
    // Nothing in the program changes a process's priority, with or without the helper.
    view.setCanPause(true);
    const QStringList with = view.tipTexts();
    ASSERT_EQ(with.size(), 2);
    EXPECT_EQ(with[0], "❄️ Freeze Model: Suspend heavy background processes to instantly reclaim CPU cores.");
    for (const QStringList& tips : {without, with}) {
        for (const QString& tip : tips)
            EXPECT_FALSE(tip.contains("prioritiz")) << tip.toStdString();
    }
}
