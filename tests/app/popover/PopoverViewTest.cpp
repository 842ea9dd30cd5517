#include "PopoverTestSupport.h"

#include "support/MenuColor.h"

#include "popover/PopoverHeader.h"
#include "popover/PopoverState.h"
#include "popover/PopoverTabPanel.h"
#include "popover/PopoverView.h"
#include "popover/ProcessListView.h"
#include "popover/ScrollIndicator.h"
#include "popover/SymbolButton.h"
#include "popover/TabDock.h"
#include "popover/TourOverlay.h"

#include "records/HelperService.h"
#include "records/ThemeManager.h"
#include "settings/NotificationPermission.h"
#include "settings/ProOnboardingView.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "ui/ColorDot.h"
#include "ui/Contrast.h"
#include "ui/ElidedLabel.h"
#include "ui/Palette.h"
#include "ui/PillButton.h"
#include "views/dashboard/ThermalIndicatorView.h"
#include "views/privacy/OnboardingSteps.h"
#include "views/privacy/OnboardingView.h"
#include "views/storage/ModelInventoryView.h"
#include "views/storage/ModelRow.h"
#include "views/storage/ModelsTab.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>

using popovertest::PopoverFixture;
using Page = PopoverTabPanel::Page;

namespace {

class PopoverViewTest : public PopoverFixture
{
protected:
    std::unique_ptr<PopoverView> makeView()
    {
        PopoverHooks hooks;
        hooks.openSettings = [this] { ++settingsOpened; };
        hooks.requestQuit = [this] { ++quitRequested; };
        return std::make_unique<PopoverView>(
            *dashboard, *personaVM, hooks, PopoverEngines {}, settings, themes, clock, nullptr);
    }

    int settingsOpened = 0;
    int quitRequested = 0;
};

} // namespace

TEST(PopoverTabDispatchTest, EveryTabValueHasItsPage)
{
    EXPECT_EQ(PopoverTabPanel::pageFor(0, false, true), Page::memorySplit);
    EXPECT_EQ(PopoverTabPanel::pageFor(0, false, false), Page::memoryLoading);
    // The charts show even before the first memory sample.
    EXPECT_EQ(PopoverTabPanel::pageFor(0, true, false), Page::telemetry);
    EXPECT_EQ(PopoverTabPanel::pageFor(1, false, true), Page::cpu);
    EXPECT_EQ(PopoverTabPanel::pageFor(2, false, true), Page::actions);
    EXPECT_EQ(PopoverTabPanel::pageFor(3, false, true), Page::storage);
    EXPECT_EQ(PopoverTabPanel::pageFor(4, false, true), Page::network);
    EXPECT_EQ(PopoverTabPanel::pageFor(7, false, true), Page::cpu);
    EXPECT_EQ(PopoverTabPanel::pageFor(-1, true, true), Page::cpu);
}

TEST_F(PopoverViewTest, StoredTabOutsideTheDockShowsCpuAndSelectsNoButton)
{
    for (int stored : {7, -1}) {
        settings.setPopoverSelectedTab(stored);
        auto view = makeView();
        EXPECT_EQ(view->tabPanel()->currentPage(), Page::cpu) << stored;
        EXPECT_EQ(view->dock()->selectedButton(), -1) << stored;
        // The stored value is left as it is.
        EXPECT_EQ(settings.popoverSelectedTab(), stored);
    }
}

TEST_F(PopoverViewTest, DockClicksStoreTheTabAndSurviveARestart)
{
    auto view = makeView();
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::cpu); // the default, 1
    const QList<int> order {1, 4, 3, 0, 2};
    for (int i = 0; i < order.size(); ++i) {
        QTest::mouseClick(view->dock()->buttons()[i], Qt::LeftButton);
        EXPECT_EQ(settings.popoverSelectedTab(), order[i]);
        EXPECT_EQ(defaults.value(ViewSettings::popoverSelectedTabKey).toInt(), order[i]);
        EXPECT_EQ(view->dock()->selectedButton(), i);
    }
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::actions);

    // Clicking the selected button again still renews the tour's step time.
    clock.advance(5000);
    QTest::mouseClick(view->dock()->buttons()[4], Qt::LeftButton);
    EXPECT_EQ(view->state().lastStepTime(), clock.now());

    view.reset();
    auto reopened = makeView();
    EXPECT_EQ(reopened->tabPanel()->currentPage(), Page::actions);
}

TEST_F(PopoverViewTest, TwoHostsShareTheSelectedTab)
{
    auto one = makeView();
    auto two = makeView();
    QTest::mouseClick(one->dock()->buttons()[1], Qt::LeftButton);
    EXPECT_EQ(two->tabPanel()->currentPage(), Page::network);
    EXPECT_EQ(two->dock()->selectedButton(), 1);
}

TEST_F(PopoverViewTest, MemoryTabTurnsFromLoadingToSplitBarOnTheFirstSample)
{
    settings.setPopoverSelectedTab(0);
    auto view = makeView();
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::memoryLoading);
    dashboard->publishSample(sample());
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::memorySplit);
    settings.setUseTelemetryCharts(true);
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::telemetry);
}

TEST_F(PopoverViewTest, ActionsTabShowsTheThermalStripOnlyWithAState)
{
    settings.setPopoverSelectedTab(2);
    auto view = makeView();
    EXPECT_EQ(view->tabPanel()->thermalIndicator(), nullptr);
    dashboard->publishSample(sample());
    ASSERT_NE(view->tabPanel()->thermalIndicator(), nullptr);
}

TEST_F(PopoverViewTest, ActionsTabOfAMachineWithoutThermalZonesClaimsNoState)
{
    // The fixture's /sys has no thermal zones: a real tick reads nothing to judge the heat by.
    settings.setPopoverSelectedTab(2);
    auto view = makeView();
    const QFuture<void> tick = dashboard->updateAll();
    while (!tick.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ThermalIndicatorView* strip = view->tabPanel()->thermalIndicator();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->stateText(), QStringLiteral("Thermal state: —"));
    EXPECT_FALSE(strip->showsWarning());
    EXPECT_NE(static_cast<TintedWidget*>(strip->levelDot())->color(), Palette::statusGreen());
}

TEST_F(PopoverViewTest, ItsMenusAreDrawnInTheThemeNotTheSystemsLightStyle)
{
    // A menu is a window of its own: what it shows is its own pixels, whatever its parent's palette says.
    // The menus follow the program's theme, dark and then light; the gear in the settings menus follows it too.
    auto view = makeView();
    const QList<QMenu*> menus = view->findChildren<QMenu*>();
    ASSERT_GE(menus.size(), 3); // the header's settings and theme menus, the dock's settings menu
    for (const AppTheme shown : {AppTheme::standard, AppTheme::light}) {
        ThemeManager::shared().setCurrentTheme(shown);
        const Palette theme = Palette::current();
        for (QMenu* menu : menus) {
            const QColor color = openedMenuColor(*menu);
            EXPECT_LT(Contrast::ratio(color, theme.background), 1.5)
                << color.name().toStdString() << " against " << theme.background.name().toStdString();
            for (QAction* action : menu->actions()) {
                if (!action->text().startsWith("Settings"))
                    continue;
                const QImage gear = action->icon().pixmap(16).toImage();
                double best = 1;
                for (int y = 0; y < gear.height(); ++y)
                    for (int x = 0; x < gear.width(); ++x)
                        if (gear.pixelColor(x, y).alpha() > 200)
                            best = std::max(best, Contrast::ratio(gear.pixelColor(x, y), theme.background));
                EXPECT_GE(best, 3.0) << action->text().toStdString();
            }
        }
    }
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
}

TEST_F(PopoverViewTest, ShortcutsReachTheirHooks)
{
    auto view = makeView();
    view->show();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(settingsOpened, 1);
    QTest::keyClick(view.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitRequested, 1);

    // The quit button and the menus run the same actions.
    QTest::mouseClick(view->header()->quitButton(), Qt::LeftButton);
    EXPECT_EQ(quitRequested, 2);
    ASSERT_NE(view->dock()->menuButton()->menu(), nullptr);
    const auto items = view->dock()->menuButton()->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    // As the menu shows it: a lone "&" would be taken for a mnemonic and dropped from the text.
    EXPECT_EQ(items[0]->iconText(), QStringLiteral("Settings & Preferences"));
    EXPECT_TRUE(QKeySequence::mnemonic(items[0]->text()).isEmpty());
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Quit Quorvane"));
    items[0]->trigger();
    EXPECT_EQ(settingsOpened, 2);
    EXPECT_EQ(view->header()->quitButton()->toolTip(),
        QStringLiteral("Quit Quorvane (%1)")
            .arg(QKeySequence(Qt::CTRL | Qt::Key_Q).toString(QKeySequence::NativeText)));
}

TEST_F(PopoverViewTest, HeaderHistoryToggleAndStatus)
{
    auto view = makeView();
    SymbolButton* history = view->header()->historyButton();
    for (int from : {0, 1, 3, 4, 7}) {
        settings.setPopoverSelectedTab(from);
        QTest::mouseClick(history, Qt::LeftButton);
        EXPECT_EQ(settings.popoverSelectedTab(), 2) << from;
        EXPECT_EQ(history->look().foreground, Palette::forTheme(themes.currentTheme()).accent);
        QTest::mouseClick(history, Qt::LeftButton);
        EXPECT_EQ(settings.popoverSelectedTab(), 1);
        EXPECT_NE(history->look().foreground, Palette::forTheme(themes.currentTheme()).accent);
    }

    EXPECT_EQ(view->header()->statusText(), QStringLiteral("System balanced ✓"));
    const QString two = PopoverHeader::statusText({AutoPersona::compileMode, AutoPersona::batteryMode});
    EXPECT_TRUE(two.startsWith(QStringLiteral("Active: ")));
    EXPECT_TRUE(two.contains(QStringLiteral("Compile Mode")));
    EXPECT_TRUE(two.contains(QStringLiteral(", ")));
    EXPECT_TRUE(two.contains(QStringLiteral("Battery Mode")));
    EXPECT_TRUE(view->header()->hasLogoImage()); // the program carries its logo
}

TEST_F(PopoverViewTest, TourButtonStartsTheTourAndClosingEndsIt)
{
    auto view = makeView();
    view->show();
    clock.advance(3000);
    QTest::mouseClick(view->header()->tourButton(), Qt::LeftButton);
    EXPECT_TRUE(view->state().tourActive());
    EXPECT_EQ(view->state().tourStep(), 0);
    EXPECT_EQ(view->state().lastStepTime(), clock.now());
    view->hide();
    EXPECT_FALSE(view->state().tourActive());
}

TEST_F(PopoverViewTest, OnAShortScreenThePanelScrollsAndTheHeaderAndDockStayWhole)
{
    settings.setPopoverSelectedTab(2); // the actions, the longest page
    auto view = makeView();
    view->show();
    // 1080 pixels at scale 2, less a panel and a title bar.
    view->resize(PopoverView::kSize.width(), 440);
    QApplication::processEvents();
    ASSERT_EQ(view->size(), QSize(PopoverView::kSize.width(), 440));
    const auto whole
        = [&view](QWidget* w) { return view->rect().contains(QRect(w->mapTo(view.get(), QPoint()), w->size())); };
    EXPECT_TRUE(whole(view->header()));
    EXPECT_TRUE(whole(view->dock()->menuButton()));
    for (SymbolButton* tab : view->dock()->buttons())
        EXPECT_TRUE(whole(tab));
    // The tab's panel takes what is left; the tour's overlay covers the shorter popover.
    EXPECT_TRUE(whole(view->tabPanel()));
    EXPECT_EQ(view->tourOverlay()->geometry(), view->rect());
    // Given the room, it is 620 high again, and never more.
    view->resize(PopoverView::kSize + QSize(0, 200));
    EXPECT_EQ(view->size(), PopoverView::kSize);
}

TEST_F(PopoverViewTest, OnAShortScreenACutPageShowsThatItScrollsAndReachesItsLastRow)
{
    DashboardSample s;
    s.cpuKind = DashboardSample::CpuKind::measured;
    s.cpuLoad.perCore = std::vector<double>(12, 0.4);
    s.processorCount = 12;
    s.processes = std::vector<RunningProcess> {{1200, "code", 420, 80.0, {}}, {1300, "xterm", 30, 40.0, {}},
        {1400, "ninja", 20, 20.0, {}}, {1500, "cc1plus", 90, 10.0, {}}};
    dashboard->publishSample(s);
    settings.setPopoverSelectedTab(1);
    auto view = makeView();
    view->show();
    view->resize(PopoverView::kSize.width(), 500);
    QApplication::processEvents();
    auto* list = view->findChild<ProcessListView*>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->rowCount(), 4);
    auto* scroll = view->tabPanel()->findChild<QScrollArea*>();
    const auto listShown = [&] {
        return scroll->viewport()->rect().contains(QRect(list->mapTo(scroll->viewport(), QPoint()), list->size()));
    };
    ASSERT_FALSE(listShown());

    // The page is cut: the indicator says so, beside the panel in the popover's padding, over none of it.
    auto* indicator = view->findChild<ScrollIndicator*>();
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(view->rect().contains(indicator->geometry()));
    EXPECT_FALSE(indicator->geometry().intersects(view->tabPanel()->geometry()));
    indicator->setValue(indicator->maximum());
    EXPECT_TRUE(listShown());
    scroll->verticalScrollBar()->setValue(0);
    EXPECT_EQ(indicator->value(), 0);

    // Given the room, nothing is cut and it goes.
    view->resize(PopoverView::kSize);
    QApplication::processEvents();
    EXPECT_TRUE(listShown());
    EXPECT_FALSE(indicator->isVisible());
}

TEST_F(PopoverViewTest, ThemeChangeRepaintsAtOnce)
{
    auto view = makeView();
    view->show();
    const QImage dark = view->grab().toImage();
    EXPECT_EQ(dark.pixel(2, 2), QColor::fromRgbF(0.06f, 0.07f, 0.10f).rgb());

    // Choosing "Light" from the theme menu.
    QMenu* menu = view->header()->themeMenu();
    emit menu->aboutToShow();
    QAction* light = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == QStringLiteral("Light"))
            light = a;
    }
    ASSERT_NE(light, nullptr);
    light->trigger();
    EXPECT_EQ(themes.currentTheme(), AppTheme::light);
    const QImage bright = view->grab().toImage();
    EXPECT_EQ(bright.pixel(2, 2), QColor::fromRgbF(0.98f, 0.98f, 1.0f).rgb());
    EXPECT_EQ(view->QWidget::palette().color(QPalette::WindowText), QColor(Qt::black));
    // The selected dock button stays white on the theme's accent.
    const SymbolButton* selected = view->dock()->buttons()[0];
    EXPECT_EQ(selected->look().foreground, QColor(Qt::white));
    EXPECT_EQ(selected->look().background, Palette::forTheme(AppTheme::light).accent);
    EXPECT_EQ(view->header()->themeButton()->toolTip(), QStringLiteral("Theme: Light"));
}

TEST_F(PopoverViewTest, TheSelectedDockButtonAndTheMenuButtonReadOnEveryAccent)
{
    // The contrast ratio of two colours, as the accessibility guidelines measure it.
    const auto contrast = [](const QColor& a, const QColor& b) {
        const auto luminance = [](const QColor& c) {
            const auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        const double x = luminance(a) + 0.05;
        const double y = luminance(b) + 0.05;
        return std::max(x, y) / std::min(x, y);
    };
    auto view = makeView();
    for (AppTheme theme : {AppTheme::standard, AppTheme::cyberpunk, AppTheme::nordic, AppTheme::ink, AppTheme::light}) {
        themes.setCurrentTheme(theme);
        for (const SymbolButton* button : {view->dock()->buttons()[0], view->dock()->menuButton()}) {
            const SymbolButton::Look look = button->look();
            EXPECT_EQ(look.background, Palette::forTheme(theme).accent);
            EXPECT_GE(contrast(look.foreground, look.background), 3.0) << rawValue(theme);
        }
    }
}

TEST_F(PopoverViewTest, StatusLineFitsItsTextUpToItsLimit)
{
    auto view = makeView();
    view->show();
    QApplication::processEvents();
    auto* status = view->header()->findChild<ElidedLabel*>();
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isElided()) << status->width();
    EXPECT_LE(status->width(), PopoverHeader::kStatusMaxWidth);
}

TEST_F(PopoverViewTest, ThemeMenuListsEveryThemeAndMarksTheCurrentOne)
{
    themes.setCurrentTheme(AppTheme::nordic);
    auto view = makeView();
    QMenu* menu = view->header()->themeMenu();
    emit menu->aboutToShow();
    QStringList names;
    QStringList marked;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        names << a->text();
        if (!a->icon().isNull())
            marked << a->text();
    }
    EXPECT_EQ(menu->actions().value(0)->text(), QStringLiteral("Theme Selection"));
    // The header keeps clear of the menu's border.
    const QRect header = menu->actionGeometry(menu->actions().value(0));
    EXPECT_GE(header.top(), 4);
    EXPECT_GE(header.left(), 4);
    EXPECT_LE(header.right(), menu->sizeHint().width() - 5);
    EXPECT_EQ(names,
        (QStringList {QStringLiteral("Standard"), QStringLiteral("Cyberpunk"), QStringLiteral("Nordic"),
            QStringLiteral("Ink"), QStringLiteral("Light")}));
    EXPECT_EQ(marked, QStringList {QStringLiteral("Nordic")});
    // Choosing the current theme again changes nothing visible.
    const QImage before = view->grab().toImage();
    for (QAction* a : menu->actions()) {
        if (a->text() == QStringLiteral("Nordic") && !a->isSeparator())
            a->trigger();
    }
    EXPECT_EQ(view->grab().toImage(), before);
}

namespace {

class NoHelper : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus status() override { return {}; }
    Outcome install() override { return {true, {}}; }
    Outcome uninstall() override { return {true, {}}; }
};

class MissingSetupProgram : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus status() override { return {}; }
    Outcome install() override
    {
        return {false, QStringLiteral("the setup program is missing: /usr/libexec/quorvane/quorvane-helper-setup")};
    }
    Outcome uninstall() override { return {true, {}}; }
};

class NoNotifications : public NotificationPermission
{
public:
    bool request() override { return false; }
};

class PopoverOnboardingTest : public PopoverViewTest
{
protected:
    PopoverOnboardingTest() { settings.setHasFinishedOnboarding(false); }

    std::unique_ptr<PopoverView> makeFirstRunView(std::shared_ptr<HelperService> helper = std::make_shared<NoHelper>())
    {
        PopoverEngines engines;
        engines.helperService = std::move(helper);
        engines.notificationPermission = std::make_shared<NoNotifications>();
        return std::make_unique<PopoverView>(
            *dashboard, *personaVM, PopoverHooks {}, engines, settings, themes, clock, nullptr);
    }

    static QAbstractButton* button(QWidget* page, const QString& text)
    {
        for (auto* b : page->findChildren<QAbstractButton*>()) {
            if (b->text() == text)
                return b;
        }
        return nullptr;
    }
};

} // namespace

TEST_F(PopoverOnboardingTest, FirstLaunchShowsOnlyTheFlowAndItsCardFitsThePopover)
{
    auto view = makeFirstRunView();
    view->show();
    OnboardingView* flow = view->onboarding();
    ASSERT_NE(flow, nullptr);
    EXPECT_EQ(view->header(), nullptr);
    EXPECT_EQ(view->tabPanel(), nullptr);
    EXPECT_EQ(view->dock(), nullptr);
    EXPECT_TRUE(view->findChildren<PopoverTabPanel*>().isEmpty());

    // The 380-point card shrinks into the 340-point popover; no page is wider than what is left of it.
    EXPECT_TRUE(view->rect().contains(flow->geometry()));
    for (int step = 1; step <= 5; ++step) {
        flow->setCurrentStep(step);
        QApplication::processEvents();
        QWidget* page = flow->page();
        ASSERT_NE(page, nullptr) << step;
        QWidget* card = page->parentWidget();
        EXPECT_TRUE(flow->rect().contains(card->geometry())) << step;
        EXPECT_LE(card->width(), 380) << step;
        EXPECT_LE(page->minimumSizeHint().width(), card->width()) << step;
        EXPECT_EQ(page->width(), card->width()) << step;
    }
    EXPECT_TRUE(button(flow->page(), QStringLiteral("Finish Setup")));
}

TEST_F(PopoverOnboardingTest, SetupFailureLinesAreShownWholeAndTheCardGrowsForThem)
{
    auto view = makeFirstRunView(std::make_shared<MissingSetupProgram>());
    view->show();
    OnboardingView* flow = view->onboarding();
    flow->setCurrentStep(4);
    QApplication::processEvents();
    const int before = flow->height();
    button(flow->page(), QStringLiteral("Install Helper Daemon"))->click();
    button(flow->page(), QStringLiteral("Allow Notifications"))->click();
    auto* page = static_cast<ProOnboardingView*>(flow->page());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !page->helperStateText().isEmpty() && !page->notificationStateText().isEmpty(); }, 5000));
    // The new lines' layout requests travel up from the page to the card, one posted event each.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();

    EXPECT_GT(flow->height(), before);
    EXPECT_TRUE(view->rect().contains(flow->geometry()));
    int failures = 0;
    for (QLabel* label : page->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(page) || label->text().isEmpty())
            continue;
        failures += label->text().startsWith("Helper installation failed") || label->text().startsWith("No notif");
        const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        EXPECT_GE(label->height(), needed) << label->text().toStdString();
        EXPECT_TRUE(page->rect().contains(QRect(label->mapTo(page, QPoint()), label->size())))
            << label->text().toStdString();
    }
    EXPECT_EQ(failures, 2);
}

TEST_F(PopoverOnboardingTest, FinishingStoresTheChosenStyleThenBothHostsShowTheDashboard)
{
    // Lion acts on its own and hard, fox only suggests and gently.
    for (const auto& [index, autonomous, aggressiveness] :
        std::vector<std::tuple<int, bool, double>> {{0, true, 0.9}, {2, false, 0.2}}) {
        settings.setHasFinishedOnboarding(false);
        auto popover = makeFirstRunView();
        auto window = makeFirstRunView(); // the dashboard window's copy
        OnboardingView* flow = popover->onboarding();
        flow->setCurrentStep(2);
        static_cast<WorkspaceStepView*>(flow->page())->choices()->press(1);
        flow->setCurrentStep(3);
        static_cast<StyleStepView*>(flow->page())->choices()->press(index);
        flow->setCurrentStep(5);
        button(flow->page(), QStringLiteral("Finish Setup"))->click();
        // The flag is set only once the configuration is stored and shown.
        EXPECT_FALSE(settings.hasFinishedOnboarding());
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings.hasFinishedOnboarding(); }, 5000)) << index;

        const PersonaConfiguration& c = personaVM->configuration();
        EXPECT_EQ(c.flavorPersona, static_cast<PersonaConfiguration::FlavorPersona>(index));
        EXPECT_EQ(c.workspacePersona, PersonaConfiguration::WorkspacePersona::softwareEngineer);
        EXPECT_EQ(c.autonomousModeEnabled, autonomous);
        EXPECT_DOUBLE_EQ(c.aggressivenessLevel, aggressiveness);
        EXPECT_EQ(personaEngine->configuration().aggressivenessLevel, aggressiveness);
        for (PopoverView* v : {popover.get(), window.get()}) {
            EXPECT_EQ(v->onboarding(), nullptr);
            EXPECT_NE(v->tabPanel(), nullptr);
            EXPECT_NE(v->header(), nullptr);
        }
    }
}

TEST_F(PopoverViewTest, StorageTabHostsTheInventoryOnlyWithItsEngines)
{
    settings.setPopoverSelectedTab(3);
    auto bare = makeView();
    EXPECT_EQ(bare->tabPanel()->currentPage(), Page::storage);
    EXPECT_EQ(qobject_cast<ModelInventoryView*>(bare->tabPanel()->currentWidget()), nullptr);

    StorageRoots roots = StorageRoots::forHome(dir.filePath(QStringLiteral("home")).toStdString());
    // Seven models with long names, as a machine that runs local models has them.
    for (int i = 0; i < 7; ++i) {
        const QString snapshot = QString::fromStdString(roots.huggingFaceHub)
            + QStringLiteral("/models--some-organisation--A-Rather-Long-Model-Name-%1B-Instruct-GGUF/snapshots/abc")
                  .arg(i);
        QDir().mkpath(snapshot);
        QFile weights(snapshot + QStringLiteral("/model.safetensors"));
        ASSERT_TRUE(weights.open(QIODevice::WriteOnly));
        weights.resize(qint64(1) << 20);
    }
    PopoverEngines engines;
    engines.inventoryEngine = std::make_shared<ModelInventoryEngine>(roots);
    engines.developerCacheEngine = std::make_shared<DeveloperCacheEngine>(roots);
    std::weak_ptr<ModelInventoryEngine> inventory = engines.inventoryEngine;
    {
        PopoverView view(*dashboard, *personaVM, PopoverHooks {}, std::move(engines), settings, themes, clock, nullptr);
        view.show();
        auto* storage = qobject_cast<ModelInventoryView*>(view.tabPanel()->currentWidget());
        ASSERT_NE(storage, nullptr);
        EXPECT_TRUE(storage->isVisible());
        ASSERT_TRUE(QTest::qWaitFor([&] { return storage->modelsTab().rows().size() == 7; }, 5000));
        QApplication::processEvents();
        // Every row whole in the popover's width, its delete button in reach; all seven in sight,
        // the list taking the height the tab has rather than stopping at 200 px above blank space.
        for (ModelRow* row : storage->modelsTab().rows()) {
            QWidget* remove = row->deleteButton();
            EXPECT_LE(remove->mapTo(&view, QPoint(remove->width(), 0)).x(), PopoverView::kSize.width() - 12);
            EXPECT_TRUE(remove->isVisible());
            EXPECT_EQ(row->visibleRegion().boundingRect(), row->rect()) << row->model().name;
        }
    }
    // A row with every badge, from the store with the longest name, still fits the popover's width:
    // its size and last use give way first.
    InventoryModel worst;
    worst.name = "some-organisation/A-Rather-Long-Model-Name-70B-Instruct-GGUF";
    worst.sizeGB = 139.5;
    worst.source = ModelSource::huggingFace;
    worst.path = "/m";
    worst.isArchiveCandidate = worst.isDuplicate = true;
    const Date now = Date::now();
    worst.lastAccessed = now.addingTimeInterval(-400 * 86400.0);
    ModelRow row(
        worst, Palette::forTheme(AppTheme::standard), false, now, [] {}, [] {});
    EXPECT_LE(row.minimumSizeHint().width(), PopoverView::kSize.width() - 24);
    // The popover's copies are gone with it; a scan it started may still hold the engine until it ends.
    EXPECT_TRUE(QTest::qWaitFor([&] { return inventory.expired(); }, 5000));
}
