#include "views/dashboard/WeeklyDigestView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "core/UserDefaults.h"
#include "records/DigestEngine.h"
#include "records/DigestViewModel.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct DigestFixture : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath(QStringLiteral("d.conf"))};
    std::shared_ptr<DigestEngine> engine = std::make_shared<DigestEngine>(defaults);
    DigestViewModel model {engine};

    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

WeeklyDigest digest(int n)
{
    WeeklyDigest d;
    d.id = Uuid::random();
    d.weekOf = Date::from1970(1796644800.0); // 2026-12-07 12:00 UTC
    d.mostUsedModel = "m" + std::to_string(n);
    return d;
}

} // namespace

TEST_F(DigestFixture, EmptyListShowsOnlyTheText)
{
    WeeklyDigestView view(model);
    EXPECT_TRUE(view.isEmptyTextShown());
    EXPECT_EQ(view.cardCount(), 0);
}

TEST_F(DigestFixture, TwelveCardsInTheModelsOrder)
{
    for (int i = 0; i < 13; ++i)
        engine->addDigest(digest(i));
    WeeklyDigestView view(model);
    ASSERT_TRUE(waitFor(model.reload()));
    EXPECT_FALSE(view.isEmptyTextShown());
    ASSERT_EQ(view.cardCount(), 12);
    // Newest first, as the store keeps them: the last added leads, the first fell out.
    EXPECT_EQ(view.shownLines().first()[3], "• Most Used Model: m12 (0.0 GB)");
    EXPECT_EQ(view.shownLines().last()[3], "• Most Used Model: m1 (0.0 GB)");
}

TEST_F(DigestFixture, CardLines)
{
    WeeklyDigest d = digest(0);
    d.mostUsedModel = "";
    d.peakMemoryPressureEvents = 4;
    d.worstThermalState = "Warm";
    d.throttleEventsPrevented = 2;
    d.estimatedHoursSaved = 1.5;
    const QStringList lines = WeeklyDigestView::cardLines(d);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "Week of Dec 7, 2026");
    EXPECT_EQ(lines[1], "• Peak Memory Pressure Events: 4");
    EXPECT_EQ(lines[2], "• Worst Thermal State: Warm");
    EXPECT_EQ(lines[3], "• Most Used Model:  (0.0 GB)"); // two spaces before the bracket
    EXPECT_EQ(lines[4], "• Throttle Events Prevented: 2");
    EXPECT_EQ(lines[5], "• Estimated Hours Saved: 1.5");
    d.estimatedHoursSaved = 12;
    EXPECT_EQ(WeeklyDigestView::cardLines(d)[5], "• Estimated Hours Saved: 12.0");
    // A week without a thermal reading names no state.
    d.worstThermalState.clear();
    EXPECT_EQ(WeeklyDigestView::cardLines(d)[2], "• Worst Thermal State: —");
}
