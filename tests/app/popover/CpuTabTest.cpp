#include "PopoverTestSupport.h"

#include "app/core/FakeHelper.h"
#include "app/core/PersonaTestSupport.h"

#include "popover/CoreRingGrid.h"
#include "popover/CpuFigures.h"
#include "popover/CpuTab.h"
#include "popover/LargeRingGauge.h"
#include "popover/ProcessListView.h"
#include "popover/SymbolButton.h"
#include "popover/TelemetrySection.h"
#include "ui/Palette.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <QThreadPool>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <limits>

#include <unistd.h>

using popovertest::PopoverFixture;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class CpuTabTest : public PopoverFixture
{
protected:
    // A process of this user in the fixture's /proc, where a freeze looks for the process it was given.
    void addProcess(int pid, const std::string& name, std::uint64_t startTicks = 1000)
    {
        personatest::writeFakeProcess(proc(), pid, 1, ::getuid(), 'S', startTicks, name);
    }

    // A persona model whose engine's helper client talks to the socket at `socket`.
    struct HelperPersonas
    {
        std::unique_ptr<XPCConnection> xpc;
        std::unique_ptr<PersonaEngine> engine;
        std::unique_ptr<PersonaViewModel> vm;
    };
    HelperPersonas personasWithHelperAt(const std::string& socket)
    {
        HelperPersonas p;
        ::setenv(platform::kHelperSocketEnvironment, socket.c_str(), 1);
        p.xpc = std::make_unique<XPCConnection>();
        ::unsetenv(platform::kHelperSocketEnvironment);
        p.engine = std::make_unique<PersonaEngine>(
            *p.xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), personaOptions());
        p.vm = std::make_unique<PersonaViewModel>(*p.engine);
        return p;
    }
};

using Signals = std::vector<std::pair<std::int32_t, std::int32_t>>;

// Waits with the event loop running. (A failed QTRY_ macro only returns, unseen by the test.)
bool eventually(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 5000);
}

} // namespace

TEST(CpuFiguresTest, HeaderTruncatesTheTemperatureAndDashesWhatIsMissing)
{
    EXPECT_EQ(CpuFigures::headerText(2.4, 47.8), QStringLiteral("2.40 GHz, 47°"));
    EXPECT_EQ(CpuFigures::headerText(2.4, 0.0), QStringLiteral("2.40 GHz, 0°"));
    EXPECT_EQ(CpuFigures::headerText(2.4, std::nullopt), QStringLiteral("2.40 GHz, —°"));
    EXPECT_EQ(CpuFigures::headerText(std::nullopt, 47.8), QStringLiteral("— GHz, 47°"));
    // Not a number, or beyond a 64-bit integer: the dash, never an undefined conversion.
    EXPECT_EQ(CpuFigures::headerText(kNaN, kNaN), QStringLiteral("— GHz, —°"));
    EXPECT_EQ(CpuFigures::headerText(2.4, 1e300), QStringLiteral("2.40 GHz, —°"));
}

TEST(CpuFiguresTest, GaugesAtTheirBoundaries)
{
    // GPU: at least 1 %, and the gauge's own 5 % minimum for the arc.
    auto g = CpuFigures::gpuGauge(0.0);
    EXPECT_EQ(g.text, QStringLiteral("1%"));
    EXPECT_DOUBLE_EQ(*g.fraction, 0.01);
    EXPECT_EQ(CpuFigures::gpuGauge(std::nullopt).text, QStringLiteral("—"));
    EXPECT_FALSE(CpuFigures::gpuGauge(std::nullopt).fraction); // no figure, no arc
    EXPECT_EQ(CpuFigures::gpuGauge(kNaN).text, QStringLiteral("—"));

    // Memory share: dash without a snapshot's total.
    EXPECT_EQ(CpuFigures::aiMemoryGauge(8, 32).text, QStringLiteral("25%"));
    EXPECT_EQ(CpuFigures::aiMemoryGauge(8, 0).text, QStringLiteral("—"));

    // Temperature: 0.1 to 1.0 of the ring; no reading is the dash, not 43 °C.
    EXPECT_EQ(CpuFigures::temperatureGauge(0.0).text, QStringLiteral("—"));
    EXPECT_EQ(CpuFigures::temperatureGauge(std::nullopt).text, QStringLiteral("—"));
    EXPECT_DOUBLE_EQ(*CpuFigures::temperatureGauge(5).fraction, 0.1);
    EXPECT_EQ(CpuFigures::temperatureGauge(47.8).text, QStringLiteral("48°C"));
    EXPECT_DOUBLE_EQ(*CpuFigures::temperatureGauge(140).fraction, 1.0);

    // Power: over 30 W the ring is full; below 2.4 W it stays at 8 %.
    auto p = CpuFigures::powerGauge(45);
    EXPECT_EQ(p.text, QStringLiteral("45.0W"));
    EXPECT_DOUBLE_EQ(*p.fraction, 1.0);
    EXPECT_DOUBLE_EQ(*CpuFigures::powerGauge(0.34).fraction, 0.08);
    EXPECT_EQ(CpuFigures::powerGauge(0.0).text, QStringLiteral("—"));
    EXPECT_EQ(CpuFigures::powerGauge(kInf).text, QStringLiteral("—"));

    LargeRingGauge gauge(QStringLiteral("1%"), 0.01, Qt::blue, Qt::white);
    EXPECT_DOUBLE_EQ(*gauge.arcFraction(), 0.05);
    gauge.setValue(QStringLiteral("—"), kNaN);
    EXPECT_FALSE(gauge.arcFraction());
    gauge.setValue(QStringLiteral("150%"), 1.5);
    EXPECT_DOUBLE_EQ(*gauge.arcFraction(), 1.0);
}

TEST(CoreRingGridTest, RowsOfEightAndTheArcClamp)
{
    EXPECT_EQ(CoreRingGrid::rows(0), 0);
    EXPECT_EQ(CoreRingGrid::rows(8), 1);
    EXPECT_EQ(CoreRingGrid::rows(11), 2);
    EXPECT_EQ(CoreRingGrid::rows(16), 2);
    EXPECT_EQ(CoreRingGrid::rows(17), 3);
    CoreRingGrid grid;
    grid.setCores(QList<double>(16, 0.5), 4);
    EXPECT_EQ(grid.ringCount(), 16);
    EXPECT_EQ(
        grid.sizeHint().height(), 2 * CoreRingGrid::kRing + CoreRingGrid::kRowSpacing + 2 * CoreRingGrid::kPadding);
    EXPECT_EQ(grid.sizeHint().width(), 8 * 26 + 7 * 8);

    EXPECT_DOUBLE_EQ(*CoreRingGrid::arcFraction(0.0), 0.06);
    EXPECT_DOUBLE_EQ(*CoreRingGrid::arcFraction(0.059), 0.06);
    EXPECT_DOUBLE_EQ(*CoreRingGrid::arcFraction(0.5), 0.5);
    EXPECT_DOUBLE_EQ(*CoreRingGrid::arcFraction(1.7), 1.0);
    EXPECT_DOUBLE_EQ(*CoreRingGrid::arcFraction(-kInf), 0.06);
    EXPECT_FALSE(CoreRingGrid::arcFraction(kNaN));

    // Before the first sample: empty rings, as many as asked for.
    grid.setCores(std::nullopt, 12);
    EXPECT_EQ(grid.ringCount(), 12);
}

TEST_F(CpuTabTest, ShowsTheModelsFiguresAndFollowsEachTick)
{
    CpuTab tab(*dashboard, themes);
    // Before the first sample: empty rings and no figure from the model's starting values.
    EXPECT_TRUE(tab.coreGrid()->ringCount() > 0);
    EXPECT_EQ(tab.headerText(), QStringLiteral("— GHz, —°"));
    EXPECT_EQ(tab.shareTexts(), QStringList(4, QStringLiteral("—")));
    for (const LargeRingGauge* gauge : tab.gauges())
        EXPECT_EQ(gauge->valueText(), QStringLiteral("—"));
    auto s = sample();
    s.cpuLoad.perCore = std::vector<double>(16, 0.3);
    s.processorCount = 16;
    s.chipTemperature = 47.8;
    dashboard->publishSample(s);
    EXPECT_TRUE(tab.headerText().endsWith(QStringLiteral(" GHz, 47°"))) << tab.headerText().toStdString();
    EXPECT_EQ(tab.coreGrid()->ringCount(), 16);
    EXPECT_EQ(tab.shareTexts().value(0), QStringLiteral("18%")); // 70 of 400 ticks
    EXPECT_EQ(tab.gauges().value(1)->valueText(), QStringLiteral("25%"));
    // Offscreen there is no display to report a rate, only the platform's 60 Hz default: not a reading.
    EXPECT_EQ(tab.fpsText(), QStringLiteral("\u2014 FPS"));
    EXPECT_EQ(tab.headerText(), QStringLiteral("\u2014 GHz, 47\u00b0")); // no cpufreq in the sample
}

// A bare "0%" says nothing: each of the four gauges names its figure under its ring. A gauge without a
// figure ("—") draws no accent arc, not even the minimum one at twelve o'clock.
TEST_F(CpuTabTest, GpuGaugesNameTheirFiguresAndDrawNoArcWithoutOne)
{
    CpuTab tab(*dashboard, themes);
    tab.resize(320, tab.sizeHint().height());
    tab.show();
    QStringList names;
    for (const LargeRingGauge* gauge : tab.gauges())
        names << gauge->accessibleName();
    EXPECT_EQ(names, (QStringList {"GPU Load: —", "AI Memory: —", "Chip Temp: —", "Power: —"}));

    const QColor accent = Palette::forTheme(themes.currentTheme()).accent;
    // The middle of the ring's line where an arc starts.
    const auto atTwelve = [](LargeRingGauge* gauge) {
        const QImage image = gauge->grab().toImage();
        const double scale = image.devicePixelRatio();
        const double y = (LargeRingGauge::kDisc - LargeRingGauge::kRing + LargeRingGauge::kLine) / 2;
        return image.pixelColor(int(gauge->width() / 2.0 * scale), int(y * scale));
    };
    const auto isAccent = [&](const QColor& c) {
        return std::abs(c.red() - accent.red()) < 40 && std::abs(c.green() - accent.green()) < 40
            && std::abs(c.blue() - accent.blue()) < 40;
    };
    for (LargeRingGauge* gauge : tab.gauges())
        EXPECT_FALSE(isAccent(atTwelve(gauge)))
            << gauge->accessibleName().toStdString() << " " << atTwelve(gauge).name().toStdString();

    dashboard->publishSample(sample(32, 12, 8));
    EXPECT_EQ(tab.gauges().value(1)->accessibleName(), QStringLiteral("AI Memory: 25%"));
    EXPECT_TRUE(isAccent(atTwelve(tab.gauges()[1]))) << atTwelve(tab.gauges()[1]).name().toStdString();
}

TEST_F(CpuTabTest, TelemetryReadsMemoryAsWholePercentages)
{
    TelemetrySection section(*dashboard, themes);
    // Before the first sample the CPU caption has its value text, the dash (nothing measured yet), and
    // RAM and AI VRAM show only their labels.
    EXPECT_EQ(section.cpuText(), QStringLiteral("—"));
    EXPECT_EQ(section.ramText(), QString());
    EXPECT_EQ(section.aiText(), QString());

    dashboard->publishSample(sample(32, 12, 8));
    EXPECT_EQ(section.cpuText(), QStringLiteral("50%"));
    EXPECT_EQ(section.ramText(), QStringLiteral("62%"));
    EXPECT_EQ(section.aiText(), QStringLiteral("25%"));
    dashboard->publishSample(sample(0, 12, 8));
    EXPECT_EQ(section.ramText(), QStringLiteral("0%"));
    EXPECT_EQ(section.aiText(), QStringLiteral("0%"));

    EXPECT_EQ(TelemetrySection::percentText(37.9), QStringLiteral("37%"));
    EXPECT_EQ(TelemetrySection::percentText(kNaN), QStringLiteral("—"));
}

TEST_F(CpuTabTest, ProcessListShowsAtMostFourRows)
{
    ProcessListView list(*dashboard, nullptr, themes);
    EXPECT_TRUE(list.showsEmptyText());
    EXPECT_EQ(list.rowCount(), 0);

    auto s = sample();
    std::vector<RunningProcess> processes;
    for (int i = 0; i < 15; ++i)
        processes.push_back({100 + i, "proc" + std::to_string(i), 10, 50.0 - i, {}});
    processes[0].cpuPercent = 123.46;
    processes[1].cpuPercent = 0;
    s.processes = processes;
    dashboard->publishSample(s);
    EXPECT_FALSE(list.showsEmptyText());
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.rowTexts(0), (QStringList {QStringLiteral("proc0"), QStringLiteral("123.5%")}));
    EXPECT_EQ(list.rowTexts(1).value(1), QStringLiteral("0.0%"));
    EXPECT_EQ(list.rowTexts(3).value(0), QStringLiteral("proc3"));
    // Without installed applications every row draws the cpu symbol.
    EXPECT_FALSE(list.rowHasAppIcon(0));

    s.processes = std::vector<RunningProcess> {};
    dashboard->publishSample(s);
    EXPECT_TRUE(list.showsEmptyText());
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(CpuTabTest, SnowflakeFreezesThroughThePersonaModelAndAFrozenRowResumes)
{
    ProcessListView list(*dashboard, nullptr, themes, personaVM.get());
    addProcess(4242, "render");
    auto s = sample();
    // This very program first: its freeze is refused on the row, and the helper is asked nothing.
    const auto self = static_cast<std::int32_t>(QCoreApplication::applicationPid());
    s.processes = std::vector<RunningProcess> {{self, "popover-test", 10, 30.0, {}}, {4242, "render", 10, 12.5, {}}};
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.rowToggle(0)->toolTip(), QStringLiteral("Freeze Process"));
    QTest::mouseClick(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] {
        return list.rowNote(0) == QStringLiteral("Not frozen: this is Quorvane Pro itself");
    })) << list.rowNote(0).toStdString();
    EXPECT_TRUE(xpc.mockSignalsSent().empty());
    EXPECT_TRUE(list.rowNote(1).isEmpty());

    QTest::mouseClick(list.rowToggle(1), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return !personaVM->frozenProcesses().empty(); }));
    EXPECT_EQ(list.rowTexts(1).value(1), QStringLiteral("FROZEN"));
    EXPECT_EQ(list.rowToggle(1)->toolTip(), QStringLiteral("Resume Process"));

    // Frozen, it uses no CPU and drops out of the busiest processes; its row and Resume stay, and
    // below it the refused one, until its reason has been read.
    std::vector<RunningProcess> busy;
    for (int i = 0; i < 6; ++i)
        busy.push_back({100 + i, "busy" + std::to_string(i), 10, 50.0 - i, {}});
    s.processes = busy;
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowCount(), 6);
    EXPECT_EQ(list.rowTexts(4), (QStringList {QStringLiteral("render"), QStringLiteral("FROZEN")}));
    EXPECT_EQ(list.rowTexts(5).value(0), QStringLiteral("popover-test"));
    QTest::mouseClick(list.rowToggle(4), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return personaVM->frozenProcesses().empty(); }));
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(
        xpc.mockSignalsSent(), (std::vector<std::pair<std::int32_t, std::int32_t>> {{4242, SIGSTOP}, {4242, SIGCONT}}));
}

TEST_F(CpuTabTest, FreezeButtonsStayPutWhateverTheFigureBesideThem)
{
    ProcessListView list(*dashboard, nullptr, themes, personaVM.get());
    addProcess(4343, "cc1plus");
    list.resize(300, 300);
    list.show();
    auto s = sample();
    const auto showShares = [&](double first, double second) {
        s.processes = std::vector<RunningProcess> {{4242, "render", 10, first, {}}, {4343, "cc1plus", 10, second, {}}};
        dashboard->publishSample(s);
        QCoreApplication::processEvents();
        return std::pair {list.rowToggle(0)->mapTo(&list, QPoint()), list.rowToggle(1)->mapTo(&list, QPoint())};
    };
    const auto narrow = showShares(5.0, 0.0);
    EXPECT_EQ(narrow.first.x(), narrow.second.x());
    EXPECT_EQ(showShares(123.5, 99.9), narrow);
    EXPECT_GE(list.rowToggle(0)->width(), 24);
    EXPECT_GE(list.rowToggle(0)->height(), 24);

    // A frozen row's Resume sits where its snowflake was.
    QTest::mouseClick(list.rowToggle(1), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return list.rowTexts(1).value(1) == QStringLiteral("FROZEN"); }))
        << list.rowTexts(1).value(1).toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(list.rowToggle(1)->mapTo(&list, QPoint()), narrow.second);
}

TEST_F(CpuTabTest, AResumeTheHelperRefusedSaysSoOnItsRow)
{
    const std::string socket = dir.filePath(QStringLiteral("helper.sock")).toStdString();
    std::atomic<int> refusals {1};
    FakeHelper helper(socket, [&](const platform::HelperRequest& r) -> std::optional<platform::HelperReply> {
        if (r.op == platform::HelperOp::sendSignal && r.signal == SIGCONT && refusals-- > 0) {
            return platform::failureReply(r.id,
                {platform::kHelperErrorDomain, platform::kHelperRateLimited,
                    "Rate limit exceeded. Max 60 signals per minute."});
        }
        return platform::successReply(r.id);
    });
    HelperPersonas personas = personasWithHelperAt(socket);
    PersonaViewModel& vm = *personas.vm;
    ProcessListView list(*dashboard, nullptr, themes, &vm);
    addProcess(4242, "render");
    auto s = sample();
    s.processes = std::vector<RunningProcess> {{4242, "render", 10, 12.5, {}}};
    dashboard->publishSample(s);

    QTest::mouseClick(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return list.rowTexts(0).value(1) == QStringLiteral("FROZEN"); }))
        << list.rowTexts(0).value(1).toStdString();
    EXPECT_TRUE(list.rowNote(0).isEmpty());
    QTest::mouseClick(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] {
        return list.rowNote(0)
            == QStringLiteral("Not resumed, trying again: Rate limit exceeded. Max 60 signals per minute.");
    })) << list.rowNote(0).toStdString();
    EXPECT_EQ(list.rowTexts(0).value(1), QStringLiteral("FROZEN"));

    // Once it runs again the row is a plain row.
    QTest::mouseClick(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return vm.frozenProcesses().empty(); }));
    EXPECT_TRUE(list.rowNote(0).isEmpty());
    EXPECT_EQ(list.rowTexts(0).value(1), QStringLiteral("12.5%"));
}

TEST_F(CpuTabTest, AClickFreezesTheProcessItsPressBeganOnWhateverTheRowShowsByTheRelease)
{
    ProcessListView list(*dashboard, nullptr, themes, personaVM.get());
    addProcess(4242, "yes");
    addProcess(4343, "cc1plus");
    auto s = sample();
    s.processes = std::vector<RunningProcess> {{4242, "yes", 10, 90.0, {}}, {4343, "cc1plus", 10, 10.0, {}}};
    dashboard->publishSample(s);
    QTest::mousePress(list.rowToggle(0), Qt::LeftButton);
    // The compiler overtakes it before the button is let go.
    s.processes = std::vector<RunningProcess> {{4343, "cc1plus", 10, 95.0, {}}, {4242, "yes", 10, 5.0, {}}};
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowTexts(0).value(0), QStringLiteral("cc1plus"));
    QTest::mouseRelease(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return personaVM->frozenProcesses().count(4242) > 0; }));
    EXPECT_EQ(xpc.mockSignalsSent(), (Signals {{4242, SIGSTOP}}));
    EXPECT_EQ(list.rowTexts(1), (QStringList {QStringLiteral("yes"), QStringLiteral("FROZEN")}));

    // Pressed, then ended before the release, its pid passed to a new process: nothing is frozen,
    // and the row says why. The same for one that just ended.
    const QString ended = QStringLiteral("Not frozen: the process you chose has ended");
    addProcess(4444, "job", 1000);
    addProcess(4545, "job", 1000);
    s.processes = std::vector<RunningProcess> {{4444, "job", 10, 50.0, {}}, {4545, "job", 10, 40.0, {}}};
    dashboard->publishSample(s);
    for (int row : {0, 1}) {
        QTest::mousePress(list.rowToggle(row), Qt::LeftButton);
        QThreadPool::globalInstance()->waitForDone(); // the press has read when its process started
        if (row == 0)
            addProcess(4444, "job", 2000);
        else
            QDir(proc() + QStringLiteral("/4545")).removeRecursively();
        QTest::mouseRelease(list.rowToggle(row), Qt::LeftButton);
        ASSERT_TRUE(eventually([&] { return list.rowNote(row) == ended; })) << list.rowNote(row).toStdString();
    }
    EXPECT_EQ(xpc.mockSignalsSent().size(), 1u);
}

TEST_F(CpuTabTest, UnderThePointerEachRowKeepsItsProcessAndOnlyTheFiguresMove)
{
    ProcessListView list(*dashboard, nullptr, themes, personaVM.get());
    auto s = sample();
    s.processes = std::vector<RunningProcess> {
        {100, "yes", 10, 90.0, {}}, {101, "cc1plus", 10, 10.0, {}}, {102, "make", 10, 5.0, {}}};
    dashboard->publishSample(s);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&list, &enter);

    // The compiler overtakes, make ends and the linker starts: a new process only takes a free row below.
    s.processes = std::vector<RunningProcess> {
        {101, "cc1plus", 10, 95.0, {}}, {103, "ld", 10, 50.0, {}}, {100, "yes", 10, 5.0, {}}, {104, "as", 10, 1.0, {}}};
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.rowTexts(0), (QStringList {QStringLiteral("yes"), QStringLiteral("5.0%")}));
    EXPECT_EQ(list.rowTexts(1), (QStringList {QStringLiteral("cc1plus"), QStringLiteral("95.0%")}));
    EXPECT_EQ(list.rowTexts(2), (QStringList {QStringLiteral("make"), QStringLiteral("—")}));
    EXPECT_EQ(list.rowTexts(3), (QStringList {QStringLiteral("ld"), QStringLiteral("50.0%")}));

    // Once the pointer leaves, the list is the busiest four again.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&list, &leave);
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.rowTexts(0).value(0), QStringLiteral("cc1plus"));
    EXPECT_EQ(list.rowTexts(1).value(0), QStringLiteral("ld"));
    EXPECT_EQ(list.rowTexts(3).value(0), QStringLiteral("as"));
}

TEST_F(CpuTabTest, AFailedFreezeStaysOnItsRowWhenTheProcessDropsOutOfTheBusiest)
{
    // No helper listens at the socket.
    HelperPersonas personas = personasWithHelperAt(dir.filePath(QStringLiteral("none.sock")).toStdString());
    ProcessListView list(*dashboard, nullptr, themes, personas.vm.get());
    addProcess(4242, "render");
    auto s = sample();
    s.processes = std::vector<RunningProcess> {{4242, "render", 10, 40.0, {}}};
    dashboard->publishSample(s);
    QTest::mouseClick(list.rowToggle(0), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return list.rowNote(0).startsWith(QStringLiteral("Not frozen: ")); }));
    const QString why = list.rowNote(0);

    // Busier processes push it out of the four before the reason has been read.
    std::vector<RunningProcess> busy;
    for (int i = 0; i < 6; ++i)
        busy.push_back({100 + i, "busy" + std::to_string(i), 10, 50.0 - i, {}});
    s.processes = busy;
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowCount(), 5);
    EXPECT_EQ(list.rowTexts(4), (QStringList {QStringLiteral("render"), QStringLiteral("—")}));
    EXPECT_EQ(list.rowNote(4), why);
}
