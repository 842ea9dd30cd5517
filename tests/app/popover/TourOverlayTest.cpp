#include "PopoverTestSupport.h"

#include "popover/PopoverHeader.h"
#include "popover/PopoverState.h"
#include "popover/PopoverStyle.h"
#include "popover/PopoverTabPanel.h"
#include "popover/PopoverTourCard.h"
#include "popover/PopoverView.h"
#include "popover/SymbolButton.h"
#include "popover/TabDock.h"
#include "popover/TourButtonRow.h"
#include "popover/TourOverlay.h"
#include "popover/TourProgressRow.h"
#include "popover/WelcomeCard.h"

#include "core/HelperAccess.h"
#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "storage/DeveloperCacheEngine.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using popovertest::PopoverFixture;

namespace {

class TourOverlayTest : public PopoverFixture
{
protected:
    TourOverlayTest()
    {
        NotificationCenter::defaultCenter().observe(
            Notifications::startSettingsTour, &observer, [this](const QVariantMap&) { ++settingsTourPosts; });
    }

    std::unique_ptr<PopoverView> makeView()
    {
        PopoverHooks hooks;
        hooks.openSettings = [this] { ++settingsOpened; };
        auto view = std::make_unique<PopoverView>(
            *dashboard, *personaVM, hooks, PopoverEngines {}, settings, themes, clock, nullptr);
        view->show();
        return view;
    }

    void start(PopoverView& view)
    {
        QTest::mouseClick(view.header()->tourButton(), Qt::LeftButton);
        view.tourOverlay()->settle();
    }

    // Posts reach their observers on a later turn of the event loop.
    int posts()
    {
        QCoreApplication::processEvents();
        return settingsTourPosts;
    }

    QObject observer;
    int settingsOpened = 0;
    int settingsTourPosts = 0;
};

} // namespace

TEST_F(TourOverlayTest, ClockWalksTheStepsAndTabsThenHandsOverToSettings)
{
    settings.setPopoverSelectedTab(4);
    auto view = makeView();
    PopoverState& state = view->state();
    start(*view);

    // A step stays until 4 s have passed since it began, checked once a second.
    clock.advance(3999);
    EXPECT_EQ(state.tourStep(), 0);
    clock.advance(1);
    EXPECT_EQ(state.tourStep(), 1);
    EXPECT_EQ(settings.popoverSelectedTab(), 4);
    clock.advance(4000);
    EXPECT_EQ(state.tourStep(), 2);
    EXPECT_TRUE(view->tourOverlay()->welcomeCard()->isVisible());

    const QList<int> tabs {0, 1, 2, 2};
    for (int step = 3; step <= 6; ++step) {
        clock.advance(4000);
        EXPECT_EQ(state.tourStep(), step);
        EXPECT_EQ(settings.popoverSelectedTab(), tabs[step - 3]) << step;
        EXPECT_FALSE(view->tourOverlay()->welcomeCard()->isVisible());
        EXPECT_TRUE(view->tourOverlay()->tourCard()->isVisible());
    }
    EXPECT_EQ(view->tourOverlay()->tourCard()->buttons()->next()->text(), QStringLiteral("Open Settings"));

    // 4 s on the last step: the tour ends, settings open, and the settings tour is asked for 600 ms later.
    clock.advance(4000);
    EXPECT_FALSE(state.tourActive());
    EXPECT_EQ(settingsOpened, 1);
    clock.advance(599);
    EXPECT_EQ(posts(), 0);
    clock.advance(1);
    EXPECT_EQ(posts(), 1);
    // Nothing more happens afterwards.
    clock.advance(20000);
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(posts(), 1);
    // The fade runs on the wall clock; a loaded machine may draw it later than kFadeMs.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->tourOverlay()->isVisible(); }, TourOverlay::kFadeMs + 5000));
}

TEST_F(TourOverlayTest, BackAndSkipFollowTheirRules)
{
    settings.setPopoverSelectedTab(3);
    auto view = makeView();
    PopoverState& state = view->state();
    WelcomeCard* welcome = view->tourOverlay()->welcomeCard();
    PopoverTourCard* card = view->tourOverlay()->tourCard();
    start(*view);

    EXPECT_FALSE(welcome->buttons()->back()->isEnabled());
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(welcome->buttons()->next(), Qt::LeftButton);
    EXPECT_EQ(state.tourStep(), 3);
    EXPECT_EQ(settings.popoverSelectedTab(), 0);
    // The tour card's Back is never disabled; from 3 it returns to the welcome card and leaves the tab.
    EXPECT_TRUE(card->buttons()->back()->isEnabled());
    clock.advance(2500);
    QTest::mouseClick(card->buttons()->back(), Qt::LeftButton);
    EXPECT_EQ(state.tourStep(), 2);
    EXPECT_EQ(state.lastStepTime(), clock.now());
    EXPECT_EQ(settings.popoverSelectedTab(), 0);
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_TRUE(welcome->buttons()->back()->isEnabled());

    // Back from 5 and 4 selects their tabs again.
    for (int i = 0; i < 3; ++i)
        state.tourNext();
    EXPECT_EQ(state.tourStep(), 5);
    QTest::mouseClick(card->buttons()->back(), Qt::LeftButton);
    EXPECT_EQ(state.tourStep(), 4);
    EXPECT_EQ(settings.popoverSelectedTab(), 1);

    // Skip ends the tour where it stands: no settings window, the tab the tour chose stays.
    QTest::mouseClick(card->buttons()->skip(), Qt::LeftButton);
    EXPECT_FALSE(state.tourActive());
    EXPECT_EQ(state.tourStep(), 4);
    EXPECT_EQ(settings.popoverSelectedTab(), 1);
    clock.advance(10000);
    EXPECT_EQ(settingsOpened, 0);
    EXPECT_EQ(posts(), 0);

    // The next start begins again at the first welcome step with the logo at its own size.
    state.setLogoScale(1.1);
    start(*view);
    EXPECT_EQ(state.tourStep(), 0);
    EXPECT_DOUBLE_EQ(state.logoScale(), 1.0);
    EXPECT_TRUE(welcome->isVisible());
}

TEST_F(TourOverlayTest, OpenSettingsEndsTheTourOnceEvenWhenPressedTwice)
{
    auto view = makeView();
    start(*view);
    for (int i = 0; i < 6; ++i)
        view->state().tourNext();
    QPushButton* openSettings = view->tourOverlay()->tourCard()->buttons()->next();
    QTest::mouseClick(openSettings, Qt::LeftButton);
    // The card is still fading out and can be pressed again.
    QTest::mouseClick(openSettings, Qt::LeftButton);
    clock.advance(0);
    EXPECT_FALSE(view->state().tourActive());
    EXPECT_EQ(settingsOpened, 1);
    clock.advance(600);
    EXPECT_EQ(posts(), 1);
}

TEST_F(TourOverlayTest, DockTapRestartsTheWaitWithoutChangingTheStep)
{
    auto view = makeView();
    start(*view);
    clock.advance(3000);
    QTest::mouseClick(view->dock()->buttons()[0], Qt::LeftButton);
    EXPECT_EQ(view->state().tourStep(), 0);
    clock.advance(3000);
    EXPECT_EQ(view->state().tourStep(), 0);
    clock.advance(1000);
    EXPECT_EQ(view->state().tourStep(), 1);
}

TEST_F(TourOverlayTest, ClosingThePopoverEndsTheTourWithoutSettings)
{
    auto view = makeView();
    start(*view);
    view->state().tourNext();
    view->hide();
    EXPECT_FALSE(view->state().tourActive());
    view->show();
    EXPECT_FALSE(view->tourOverlay()->isVisible());
    clock.advance(10000);
    EXPECT_EQ(settingsOpened, 0);
    EXPECT_EQ(posts(), 0);
    EXPECT_EQ(view->state().tourStep(), 1);
}

TEST_F(TourOverlayTest, OneBlueCapsuleAtEveryStepAndThemedPanels)
{
    auto view = makeView();
    start(*view);
    const Palette palette = Palette::forTheme(themes.currentTheme());
    for (int step = 0; step < PopoverState::kTourSteps; ++step) {
        const bool welcome = step < 3;
        TourProgressRow* row
            = welcome ? view->tourOverlay()->welcomeCard()->progress() : view->tourOverlay()->tourCard()->progress();
        const QList<QColor> colors = row->capsuleColors();
        ASSERT_EQ(colors.size(), 7);
        EXPECT_EQ(colors.count(palette.blue), 1) << step;
        EXPECT_EQ(colors[step], palette.blue) << step;
        if (!welcome) {
            // The longest text (step 6) takes three lines: the card grows rather than cutting it.
            QApplication::processEvents();
            QLabel* text = view->tourOverlay()->tourCard()->textLabel();
            EXPECT_GE(text->height(), text->heightForWidth(text->width())) << step;
            EXPECT_LE(text->mapTo(view.get(), QPoint(0, text->height())).y(), PopoverView::kSize.height()) << step;
        }
        if (step < 6)
            view->state().tourNext();
    }

    // The light theme: black titles on the near-white panel; every other theme white titles.
    view->state().startTour();
    const auto titleColor
        = [&] { return view->tourOverlay()->welcomeCard()->titleLabel()->palette().color(QPalette::WindowText); };
    EXPECT_EQ(titleColor(), QColor(Qt::white));
    themes.setCurrentTheme(AppTheme::light);
    EXPECT_EQ(titleColor(), QColor(Qt::black));
    const QImage image = view->tourOverlay()->welcomeCard()->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, image.height() / 2).rgb(), PopoverStyle::background(AppTheme::light).rgb());
}

TEST_F(TourOverlayTest, TheTabHighlightIsDrawnOutsideThePanelNeverOverItsContent)
{
    auto view = makeView();
    start(*view);
    EXPECT_EQ(view->tabPanel()->highlight(), nullptr);
    for (int step = 0; step < 3; ++step)
        view->state().tourNext();
    QApplication::processEvents();
    QWidget* outline = view->tabPanel()->highlight();
    ASSERT_NE(outline, nullptr);
    ASSERT_TRUE(outline->isVisible());

    // The outline alone, on a transparent ground: ink just outside the panel's edges, none within.
    QImage ink(outline->size(), QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    outline->render(&ink, QPoint(), QRegion(), QWidget::DrawChildren);
    const int m = PopoverTabPanel::kHighlightMargin;
    const int midY = ink.height() / 2;
    const int midX = ink.width() / 2;
    const int gap = PopoverTabPanel::kOutlineGap;
    EXPECT_GT(qAlpha(ink.pixel(m - gap - 2, midY)), 100);
    EXPECT_GT(qAlpha(ink.pixel(midX, ink.height() - m + gap + 1)), 100);
    // Clear space between the panel's edge and the outline, so text at the edge never touches it.
    for (const QPoint inside :
        {QPoint(m, midY), QPoint(m + 1, midY), QPoint(midX, m), QPoint(ink.width() - m - 1, midY), QPoint(m - 1, midY),
            QPoint(m - gap + 1, midY), QPoint(midX, m - 1), QPoint(ink.width() - m, midY)})
        EXPECT_EQ(qAlpha(ink.pixel(inside)), 0) << inside.x() << "," << inside.y();
    EXPECT_EQ(outline->geometry(), view->tabPanel()->geometry().adjusted(-m, -m, m, m));
}

TEST_F(TourOverlayTest, LogoPulsesOnlyOnTheFirstWelcomeStepWhileShown)
{
    auto view = makeView();
    start(*view);
    WelcomeCard* welcome = view->tourOverlay()->welcomeCard();
    EXPECT_TRUE(welcome->isPulsing());
    QTest::qWait(300);
    EXPECT_GT(welcome->logoScale(), 1.0);
    EXPECT_LE(welcome->logoScale(), WelcomeCard::kPulseScale);
    view->state().tourNext();
    EXPECT_FALSE(welcome->isPulsing());
    EXPECT_EQ(welcome->chips(), (QStringList {"Compile", "AI First", "Battery"}));
    view->state().tourNext();
    EXPECT_EQ(welcome->chips(), (QStringList {"npm", "pip", "uv", "Hugging Face"}));
    view->state().tourBack();
    view->state().tourBack();
    EXPECT_TRUE(welcome->isPulsing());
    view->hide();
    EXPECT_FALSE(welcome->isPulsing());
}

TEST_F(TourOverlayTest, ItsWordsHoldForThisCopyAndThisMachine)
{
    // No helper for this copy, a CPU of one core kind and no temperature sensor.
    personaVM->setHelperAccess(HelperAccess::notInstalled);
    dashboard->publishSample(sample());
    auto view = makeView();
    start(*view);
    PopoverState& state = view->state();
    WelcomeCard* welcome = view->tourOverlay()->welcomeCard();
    PopoverTourCard* card = view->tourOverlay()->tourCard();
    const auto shows = [&](const QString& words) {
        for (const QLabel* label : welcome->findChildren<QLabel*>())
            if (label->isVisibleTo(welcome) && label->text().contains(words))
                return true;
        return false;
    };

    // The persona rules run only where the helper acts for this copy.
    state.tourNext();
    EXPECT_TRUE(shows("does not act for this copy"));
    EXPECT_FALSE(shows("dynamically monitors"));
    // The sweepers' chips are caches the storage tab really lists.
    state.tourNext();
    for (const QString& chip : welcome->chips()) {
        bool known = false;
        for (const auto& target : DeveloperCacheEngine::defaultTargets())
            known |= QString::fromStdString(target.name).contains(chip, Qt::CaseInsensitive);
        EXPECT_TRUE(known) << chip.toStdString();
    }

    state.tourNext(); // memory
    state.tourNext(); // CPU
    EXPECT_EQ(card->text(), "⭕ Displays real-time utilization of every core; this machine reports no temperature.");
    DashboardSample warm = sample();
    warm.chipTemperature = 55;
    dashboard->publishSample(warm);
    EXPECT_EQ(card->text(), "⭕ Displays real-time utilization of every core and current system diode temperatures.");

    // The actions tab holds no process list, and nothing is frozen without the helper.
    state.tourNext();
    EXPECT_EQ(settings.popoverSelectedTab(), 2);
    EXPECT_NE(card->titleLabel()->text(), "Processes Monitor");
    EXPECT_FALSE(card->text().contains("freeze or resume")) << card->text().toStdString();
    EXPECT_TRUE(card->text().contains("Without its helper")) << card->text().toStdString();
    personaVM->setHelperAccess(HelperAccess::available);
    EXPECT_TRUE(card->text().contains("resume frozen processes")) << card->text().toStdString();

    state.tourBack();
    state.tourBack();
    state.tourBack();
    state.tourBack();
    ASSERT_EQ(state.tourStep(), 1);
    EXPECT_TRUE(shows("dynamically monitors"));
}
