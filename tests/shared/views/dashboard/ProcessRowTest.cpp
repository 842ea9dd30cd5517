#include "views/dashboard/ProcessRow.h"
#include "views/dashboard/RingChart.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <limits>

TEST(ProcessRowTest, StatesWithAndWithoutToggle)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    const Palette palette = Palette::current();
    int toggles = 0;
    ProcessRow running(QStringLiteral("app.fill"), {}, QStringLiteral("clangd"), QStringLiteral("21.7%"), palette.blue,
        false, [&] { ++toggles; });
    EXPECT_EQ(running.valueText(), "21.7%");
    EXPECT_EQ(running.nameColor(), palette.text);
    EXPECT_EQ(running.valueColor(), withOpacity(palette.text, 0.8));
    ASSERT_NE(running.toggleButton(), nullptr);
    EXPECT_EQ(running.toggleSymbol(), "snowflake");
    EXPECT_EQ(running.toggleButton()->toolTip(), "Freeze Process");
    running.toggleButton()->click();
    EXPECT_EQ(toggles, 1);
    EXPECT_FALSE(running.isSuspended()); // the owner changes the state, never the row

    // The button is a target a pointer can hit, and stays put whatever the figure beside it.
    EXPECT_GE(running.toggleButton()->width(), 24);
    EXPECT_GE(running.toggleButton()->height(), 24);
    const auto placeAt = [&](int width) {
        running.resize(width + 1, running.sizeHint().height());
        running.resize(width, running.sizeHint().height());
        return running.toggleButton()->pos();
    };
    const QPoint at = placeAt(240);
    running.setProcess(QStringLiteral("clangd"), QStringLiteral("123.5%"));
    EXPECT_EQ(placeAt(240), at);

    running.setSuspended(true);
    EXPECT_EQ(placeAt(240), at);
    EXPECT_EQ(running.valueText(), "FROZEN");
    EXPECT_EQ(running.valueColor(), palette.cyan);
    EXPECT_EQ(running.nameColor(), palette.blue);
    EXPECT_EQ(running.toggleSymbol(), "play.fill");
    EXPECT_EQ(running.toggleButton()->toolTip(), "Resume Process");

    // Without an action there is no button, and the suspended look stays.
    ProcessRow plain(
        QStringLiteral("memorychip"), {}, QStringLiteral("ollama"), QStringLiteral("3.0%"), palette.blue, true);
    EXPECT_EQ(plain.toggleButton(), nullptr);
    EXPECT_EQ(plain.valueText(), "FROZEN");
    EXPECT_EQ(plain.nameColor(), palette.blue);
}

TEST(ProcessRowTest, LongNameKeepsOneLineWithAnEllipsis)
{
    ProcessRow row(
        QStringLiteral("app.fill"), {}, QString(200, QLatin1Char('n')), QStringLiteral("1.0%"), Qt::blue, false);
    row.resize(240, row.sizeHint().height());
    EXPECT_TRUE(row.drawnName().endsWith(QChar(0x2026)));
    EXPECT_LT(row.drawnName().size(), 200);
    EXPECT_EQ(row.height(), row.sizeHint().height());
}

TEST(RingChartTest, ArcCoversTheCappedShareAndAnimates)
{
    EXPECT_DOUBLE_EQ(RingChart::arcFraction(45), 0.45);
    EXPECT_EQ(RingChart::arcFraction(100), 1.0);
    EXPECT_EQ(RingChart::arcFraction(150), 1.0);
    EXPECT_EQ(RingChart::arcFraction(0), 0.0);
    EXPECT_EQ(RingChart::arcFraction(-20), 0.0);
    EXPECT_EQ(RingChart::arcFraction(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(RingChart::arcFraction(std::numeric_limits<double>::infinity()), 0.0);

    RingChart ring(20, QStringLiteral("CPU"), Qt::blue, QStringLiteral("20%"));
    EXPECT_DOUBLE_EQ(ring.drawnFraction(), 0.2); // built at its value, not animated in
    ring.setPercentage(80);
    EXPECT_DOUBLE_EQ(ring.drawnFraction(), 0.2); // a spring, not a jump
    QTest::qWait(RingChart::kAnimationMs + 200);
    EXPECT_NEAR(ring.drawnFraction(), 0.8, 1e-9);
}
