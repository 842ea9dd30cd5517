#include "ui/RoundedFill.h"

#include "records/ThemeManager.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(RoundedFillTest, ThemeColoursAreLookedUpAtPaintAndTheInsetLeavesTheEdgeClear)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    RoundedFill fill([](const Palette& p) { return p.text; }, 0);
    fill.setStroke(QColor(Qt::red));
    EXPECT_EQ(fill.fill(), QColor(Qt::white));
    EXPECT_EQ(fill.stroke(), QColor(Qt::red));
    ThemeManager::shared().setCurrentTheme(AppTheme::light);
    EXPECT_EQ(fill.fill(), QColor(Qt::black));
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);

    fill.setStroke(QColor());
    fill.resize(20, 20);
    fill.setInset(3);
    const QImage image = fill.grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(1, 10), QColor(Qt::white));
    fill.setInset(0);
    EXPECT_EQ(fill.grab().toImage().pixelColor(1, 10), QColor(Qt::white));
}
