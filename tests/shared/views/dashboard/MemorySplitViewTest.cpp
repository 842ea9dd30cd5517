#include "views/dashboard/MemorySplitView.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

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
