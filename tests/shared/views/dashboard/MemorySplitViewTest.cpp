#include "views/dashboard/MemorySplitView.h"
#include "views/dashboard/ThermalIndicatorView.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include "ui/ElidedLabel.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

using Segment = MemorySplitView::Segment;

SystemMemoryState memory(double total, double system, double models, double free, double swap, double inactive)
{
    return {total, system, models, free, swap, inactive, {}};
}

OllamaModel model(const std::string& name, double footprint)
{
    OllamaModel m;
    m.name = name;
    m.estimatedRAMFootprintGB = footprint;
    return m;
}

QList<QColor> colors(const QList<Segment>& segments)
{
    QList<QColor> out;
    for (const auto& s : segments)
        out << s.color;
    return out;
}

} // namespace

TEST(MemorySplitViewTest, SegmentWidthsFollowTheTotalWithAFourPointMinimum)
{
    const auto state = memory(32, 16, 8, 4, 0, 4);
    const auto segments = MemorySplitView::segments(state, {model("llama", 8), model("empty", 0)}, 320);
    ASSERT_EQ(segments.size(), 4);
    EXPECT_DOUBLE_EQ(segments[0].width, 160);
    EXPECT_DOUBLE_EQ(segments[1].width, 80);
    EXPECT_DOUBLE_EQ(segments[2].width, 4); // a model of 0 GB still shows a sliver
    EXPECT_DOUBLE_EQ(segments[3].width, 80); // headroom = free + inactive
    EXPECT_EQ(segments[0].toolTip, QStringLiteral("System Memory: 16.0 GB"));
    EXPECT_EQ(segments[1].toolTip, QStringLiteral("llama: 8.0 GB"));
    EXPECT_EQ(segments[3].toolTip, QStringLiteral("Free Headroom: 8.0 GB"));

    // A total of 0: every segment is 0 wide, the minimum does not apply.
    for (const auto& s : MemorySplitView::segments(memory(0, 4, 1, 2, 1, 2), {model("m", 1)}, 320))
        EXPECT_DOUBLE_EQ(s.width, 0);
    // A tiny system share is raised to 4 points; widths are not normalised to the bar.
    EXPECT_DOUBLE_EQ(MemorySplitView::segments(memory(1000, 1, 0, 990, 0, 0), {}, 300)[0].width, 4);
    double sum = 0;
    for (const auto& s : MemorySplitView::segments(memory(10, 9, 0, 9, 5, 0), {}, 100))
        sum += s.width;
    EXPECT_GT(sum, 100);
}

TEST(MemorySplitViewTest, SegmentsPresentOnlyWhenTheirFigureIs)
{
    // No system use: no system segment; swap of exactly 0.1 is not drawn, 0.11 is, in the critical colour.
    auto segments = MemorySplitView::segments(memory(32, 0, 0, 10, 0.1, 10), {}, 300);
    ASSERT_EQ(segments.size(), 1);
    EXPECT_TRUE(segments[0].toolTip.startsWith(QStringLiteral("Free Headroom")));
    segments = MemorySplitView::segments(memory(32, 10, 0, 10, 0.11, 10), {}, 300);
    ASSERT_EQ(segments.size(), 3);
    EXPECT_EQ(segments[2].color, Palette::statusRed());
    EXPECT_EQ(segments[2].toolTip, QStringLiteral("Swap Usage: 0.1 GB"));
    // No headroom at all: no headroom segment.
    EXPECT_EQ(MemorySplitView::segments(memory(32, 32, 0, 0, 0, 0), {}, 300).size(), 1);
}

TEST(MemorySplitViewTest, ModelColoursRepeatFromTheFourthModel)
{
    const auto segments = MemorySplitView::segments(
        memory(32, 0, 8, 0, 0, 0), {model("a", 2), model("b", 2), model("c", 2), model("d", 2)}, 300);
    const auto c = colors(segments);
    ASSERT_EQ(c.size(), 4);
    EXPECT_EQ(c[0], QColor::fromRgbF(0.55f, 0.35f, 0.95f));
    EXPECT_EQ(c[1], QColor::fromRgbF(0.7f, 0.45f, 0.95f));
    EXPECT_EQ(c[2], QColor::fromRgbF(0.4f, 0.2f, 0.85f));
    EXPECT_EQ(c[3], c[0]);
}

TEST(MemorySplitViewTest, HeadroomColourAndWarningAtTheirBoundaries)
{
    EXPECT_EQ(MemorySplitView::headroomColor(7.99), Palette::statusRed());
    EXPECT_EQ(MemorySplitView::headroomColor(8.0), Palette::statusAmber());
    EXPECT_EQ(MemorySplitView::headroomColor(15.99), Palette::statusAmber());
    EXPECT_EQ(MemorySplitView::headroomColor(16.0), Palette::statusGreen());

    MemorySplitView view(memory(32, 0, 0, 4, 0, 4), {}, ThemeManager::shared());
    EXPECT_FALSE(view.showsHeadroomWarning());
    EXPECT_EQ(view.headroomText(), QStringLiteral("8.0GB headroom"));
    // The legend keeps its system row at 0 and has no models row without models.
    EXPECT_EQ(view.legendTexts(), QStringList {QStringLiteral("System: 0.0GB")});
    view.setState(memory(32, 12.34, 8, 3.5, 0, 3.0), {model("m", 8)});
    EXPECT_TRUE(view.showsHeadroomWarning());
    EXPECT_EQ(view.headroomText(), QStringLiteral("6.5GB headroom"));
    EXPECT_EQ(view.legendTexts(), (QStringList {QStringLiteral("System: 12.3GB"), QStringLiteral("Models: 8.0GB")}));
    const int twoRows = view.sizeHint().height();
    view.setState(memory(32, 12, 0, 3.5, 0, 3.0), {});
    EXPECT_LT(view.sizeHint().height(), twoRows);
}

TEST(ThermalIndicatorViewTest, FollowsTheFlagsWhateverTheLevel)
{
    auto state = QVThermalState::forLevel(QVThermalState::Level::balanced);
    state.shouldAlert = true;
    ThermalIndicatorView view(state, ThemeManager::shared());
    EXPECT_TRUE(view.showsWarning());
    EXPECT_EQ(ThermalIndicatorView::levelColor(QVThermalState::Level::balanced), Palette::statusGreen());
    EXPECT_EQ(ThermalIndicatorView::levelColor(QVThermalState::Level::critical), Palette::statusRed());
    EXPECT_EQ(view.offendingText(), QString());

    state.displayName.clear();
    state.shouldAlert = false;
    state.topOffendingProcess = "ollama";
    view.setState(state);
    EXPECT_EQ(view.stateText(), QStringLiteral("Thermal state: "));
    EXPECT_FALSE(view.showsWarning());
    EXPECT_EQ(view.offendingText(), QStringLiteral("Offending: ollama"));
}

TEST(ThermalIndicatorViewTest, NameKeepsItsWholeTextWhileTheOffenderGivesWay)
{
    auto state = QVThermalState::forLevel(QVThermalState::Level::warm);
    state.topOffendingProcess = "ollama_llama_server --model a-very-long-model-path-name";
    ThermalIndicatorView view(state, ThemeManager::shared());
    // The width the popover's actions tab gives the strip: the offender is cut, at the trailing edge.
    view.resize(316, view.sizeHint().height());
    view.show();
    QApplication::processEvents();
    EXPECT_FALSE(view.nameLabel()->isElided());
    EXPECT_TRUE(view.offendingLabel()->isElided());
    EXPECT_EQ(view.offendingLabel()->geometry().right(), view.width() - 1);
    EXPECT_LT(view.nameLabel()->geometry().right(), view.offendingLabel()->geometry().left());

    // With the warning too there is no room left for the offender: the name still shows whole.
    state.level = QVThermalState::Level::critical;
    state.displayName = "Critical";
    state.shouldAlert = true;
    view.setState(state);
    QApplication::processEvents();
    EXPECT_FALSE(view.nameLabel()->isElided());
    EXPECT_LE(view.offendingLabel()->geometry().right(), view.width() - 1);

    // Narrower than the name and the warning together: the name ends in "…" inside the strip, never cut.
    view.resize(200, view.height());
    QApplication::processEvents();
    EXPECT_TRUE(view.nameLabel()->isElided());
    EXPECT_EQ(view.offendingLabel()->width(), 0);
    EXPECT_LE(view.nameLabel()->geometry().right(), view.width() - 1);

    // Wide enough again: everything comes back whole.
    view.resize(900, view.height());
    QApplication::processEvents();
    EXPECT_FALSE(view.nameLabel()->isElided());
    EXPECT_FALSE(view.offendingLabel()->isElided());
}
