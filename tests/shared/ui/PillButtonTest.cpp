#include "ui/PillButton.h"

#include "records/ThemeManager.h"

#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// The leftmost column holding a pixel of `color`, or -1.
int firstColumnOf(const QImage& image, const QColor& color)
{
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == color)
                return x;
    return -1;
}

} // namespace

TEST(PillButtonTest, CompactFitsItsContentAndCentredKeepsTheGapAfterALoneSymbol)
{
    PillButton compact(QString(), PillButton::Variant::compact);
    PillButton centred(QString(), PillButton::Variant::centred);
    const int line = QFontMetrics(compact.font()).height();
    for (PillButton* b : {&compact, &centred}) {
        b->setPadding(5, 2);
        b->setSymbol(QStringLiteral("square"));
    }
    EXPECT_EQ(compact.sizeHint(), QSize(line + 10, line + 4));
    EXPECT_EQ(centred.sizeHint(), QSize(line + 4 + 10, line + 4));
    EXPECT_EQ(compact.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    EXPECT_NE(centred.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);

    // With a text, both put the same gap between symbol and text.
    compact.setLabel(QStringLiteral("Clean"), QStringLiteral("trash"));
    centred.setLabel(QStringLiteral("Clean"), QStringLiteral("trash"));
    EXPECT_EQ(compact.sizeHint(), centred.sizeHint());
    EXPECT_EQ(compact.accessibleName(), "Clean");
    centred.setLabel(QStringLiteral("Done"));
    EXPECT_TRUE(centred.symbol().isEmpty());
}

TEST(PillButtonTest, StretchedCentredContentStaysInTheMiddleAndCompactStartsAtItsPadding)
{
    const QColor ink(255, 0, 0);
    for (const auto variant : {PillButton::Variant::compact, PillButton::Variant::centred}) {
        PillButton button(QStringLiteral("Go"), variant);
        button.setPadding(6, 3);
        button.setColors(ink, QColor());
        const int hint = button.sizeHint().width();
        button.resize(hint + 100, button.sizeHint().height());
        const int first = firstColumnOf(button.grab().toImage(), ink);
        ASSERT_GE(first, 0);
        if (variant == PillButton::Variant::compact)
            EXPECT_LE(first, 6 + 2);
        else
            EXPECT_GE(first, 50);
    }
}

TEST(PillButtonTest, ThemeColoursFollowTheThemeAndBadgesTakeNoClicksOrFocus)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    PillButton button(QStringLiteral("Safe"));
    button.setColors([](const Palette& p) { return p.text; }, [](const Palette& p) { return p.green; });
    EXPECT_EQ(button.foreground(), QColor(Qt::white));
    ThemeManager::shared().setCurrentTheme(AppTheme::light);
    EXPECT_EQ(button.foreground(), QColor(Qt::black));
    EXPECT_EQ(button.background(), Palette::forTheme(AppTheme::light).green);
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);

    button.setBadge(true);
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(button.testAttribute(Qt::WA_TransparentForMouseEvents));
    button.setBadge(false);
    EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
}
