#include "views/dashboard/ThermalIndicatorView.h"

#include "records/ThemeManager.h"
#include "ui/ColorDot.h"
#include "ui/ElidedLabel.h"
#include "ui/Palette.h"

#include <QApplication>

#include <gtest/gtest.h>

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

TEST(ThermalIndicatorViewTest, NoReadingShowsADashOnANeutralDot)
{
    ThemeManager& themes = ThemeManager::shared();
    ThermalIndicatorView view(QVThermalState::forLevel(QVThermalState::Level::unknown), themes);
    EXPECT_EQ(view.stateText(), QStringLiteral("Thermal state: —"));
    EXPECT_FALSE(view.showsWarning());
    EXPECT_FALSE(ThermalIndicatorView::levelColor(QVThermalState::Level::unknown));
    const auto dot = [&view] { return static_cast<TintedWidget*>(view.levelDot())->color(); };
    EXPECT_EQ(dot(), Palette::forTheme(themes.currentTheme()).secondaryText);

    // A reading gives the dot its level's colour again.
    view.setState(QVThermalState::forLevel(QVThermalState::Level::warm));
    EXPECT_EQ(dot(), Palette::statusAmber());
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

TEST(ThermalIndicatorViewTest, DotSitsOnTheMiddleOfItsName)
{
    auto state = QVThermalState::forLevel(QVThermalState::Level::critical);
    state.shouldAlert = true;
    ThermalIndicatorView view(state, ThemeManager::shared());
    view.resize(view.sizeHint().width(), view.sizeHint().height() + 10);
    view.show();
    QApplication::processEvents();
    const QRect dot = view.levelDot()->geometry();
    const QRect name = view.nameLabel()->geometry();
    EXPECT_EQ(dot.size(), view.levelDot()->sizeHint());
    EXPECT_NEAR(dot.top() + dot.height() / 2.0, name.top() + name.height() / 2.0, 1.0);
}
