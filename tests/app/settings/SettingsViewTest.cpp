#include "SettingsTestSupport.h"

#include "../../shared/views/privacy/PrivacyFixture.h"

#include "records/AppTheme.h"
#include "settings/FlowLayout.h"
#include "settings/GeneralSection.h"
#include "settings/IndicatorStyle.h"
#include "settings/PageScrollFlattener.h"
#include "settings/SettingsButton.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsSidebar.h"
#include "ui/Contrast.h"
#include "ui/Palette.h"
#include "views/dashboard/SensorsTabView.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/HelpGuideView.h"
#include "views/privacy/PrivacyStyle.h"
#include "views/privacy/UninstallGuideView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>

using namespace settingstest;

namespace {

class SettingsViewTest : public SettingsFixture
{
};

TEST_F(SettingsViewTest, ThirteenRowsUnderThreeHeadersEachShowingItsOwnFreshPage)
{
    SettingsView& view = makeView();
    EXPECT_EQ(view.size(), QSize(780, 540));
    view.show();
    const auto& sidebar = view.sidebar();
    QStringList headers;
    for (QLabel* header : sidebar.headers())
        headers.append(header->text());
    EXPECT_EQ(headers, QStringList({"PREFERENCES", "SYSTEM MONITOR", "TOOLS"}));
    QStringList titles;
    for (SidebarRow* row : sidebar.rows())
        titles.append(row->text());
    EXPECT_EQ(titles,
        QStringList({"General", "Personas", "Automation", "Storage & Caches", "Privacy", "Sensors", "Memory", "Network",
            "Power & Thermal", "History", "About", "System Info", "Help Guide"}));

    // The window opens on General; each row selects its own page, built anew on every selection.
    EXPECT_EQ(view.activeTab(), 0);
    EXPECT_NE(page<GeneralSection>(), nullptr);
    for (int i = 0; i < SettingsView::kTabCount; ++i) {
        QPointer<QWidget> before = view.currentPage();
        sidebar.rows()[i]->click();
        EXPECT_EQ(view.activeTab(), i);
        EXPECT_NE(view.currentPage(), before.data()) << i;
        for (int j = 0; j < SettingsView::kTabCount; ++j)
            EXPECT_EQ(sidebar.rows()[j]->isSelected(), i == j);
        // The selected row's semibold title fits its slot ("Storage & Caches", "Power & Thermal").
        SidebarRow* row = sidebar.rows()[i];
        EXPECT_LE(QFontMetricsF(row->font()).horizontalAdvance(row->text()), row->textRect().width())
            << row->text().toStdString();
    }
    EXPECT_NE(page<HelpGuideView>(), nullptr);
    view.setActiveTab(5);
    EXPECT_NE(page<SensorsTabView>(), nullptr);
    QPointer<QWidget> old = view.currentPage();
    view.setActiveTab(5);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());

    // Outside the table: an empty page and no selected row.
    for (int outside : {-1, 13}) {
        view.setActiveTab(outside);
        EXPECT_TRUE(view.currentPage()->children().isEmpty()) << outside;
        for (SidebarRow* row : sidebar.rows())
            EXPECT_FALSE(row->isSelected());
    }
}

TEST_F(SettingsViewTest, HostedPagesFillTheContentAreaAndOnlyTheWindowScrolls)
{
    SettingsView& view = makeView();
    view.show();
    QScrollArea* window = view.contentScroll();
    for (int tab : {6, 7, 8, 11}) { // Memory, Network, Power & Thermal, System Info
        view.setActiveTab(tab);
        QApplication::processEvents();
        QWidget* page = view.currentPage();
        QList<QScrollArea*> own = page->findChildren<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
        if (auto* area = qobject_cast<QScrollArea*>(page))
            own << area;
        ASSERT_FALSE(own.isEmpty()) << tab;
        for (QScrollArea* area : own) {
            // Its whole content is laid out, and nothing is left for it to scroll; facts that arrive from
            // the pool re-lay it out a few events later.
            const auto whole = [area] {
                return area->verticalScrollBar()->maximum() == 0
                    && area->viewport()->height() >= area->widget()->minimumSizeHint().height();
            };
            EXPECT_TRUE(QTest::qWaitFor(whole, 5000))
                << tab << ": " << area->viewport()->height() << " for " << area->widget()->minimumSizeHint().height();
        }
    }
    // System Info is taller than the window: the window's own bar reaches its last card.
    view.setActiveTab(11);
    QApplication::processEvents();
    EXPECT_GT(window->verticalScrollBar()->maximum(), 0);
}

TEST_F(SettingsViewTest, OnAShortScreenTheEntriesScrollBesideTheRowsAndQuitStaysInSight)
{
    SettingsView& view = makeView();
    view.show();
    SettingsSidebar& sidebar = view.sidebar();
    const int rowWidth = sidebar.rows().first()->width();
    // 1080 pixels at scale 2, less a panel and a title bar.
    view.resize(SettingsView::kWidth, 440);
    QApplication::processEvents();
    ASSERT_EQ(view.height(), 440);
    QWidget* quit = sidebar.quitButton();
    EXPECT_TRUE(view.rect().contains(QRect(quit->mapTo(&view, QPoint()), quit->size())));
    // The entries scroll to the last one; the scroll bar takes no room from the rows' titles.
    QScrollArea* entries = sidebar.entriesScroll();
    EXPECT_GT(entries->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(sidebar.rows().last()->width(), rowWidth);
    entries->ensureWidgetVisible(sidebar.rows().last());
    const QWidget* last = sidebar.rows().last();
    EXPECT_TRUE(entries->viewport()->rect().contains(QRect(last->mapTo(entries->viewport(), QPoint()), last->size())));
    // Given the room again, every entry shows and the sidebar is as narrow as before.
    view.resize(SettingsView::kWidth, SettingsView::kHeight + 100);
    QApplication::processEvents();
    EXPECT_EQ(view.size(), QSize(SettingsView::kWidth, SettingsView::kHeight));
    EXPECT_EQ(entries->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(sidebar.width(), SettingsSidebar::kWidth);
}

TEST_F(SettingsViewTest, MenuBarOptionsAreOnWithNoKeysAndAChangeShowsInANewView)
{
    SettingsView& view = makeView();
    auto* general = page<GeneralSection>();
    ASSERT_NE(general, nullptr);
    EXPECT_TRUE(general->cpuRing()->isChecked());
    EXPECT_TRUE(general->textReadouts()->isChecked());
    EXPECT_TRUE(general->sparkline()->isChecked());
    EXPECT_FALSE(m_defaults.contains(ViewSettings::showMenuBarSparklineKey));

    general->sparkline()->click();
    EXPECT_FALSE(m_defaults.boolValue(ViewSettings::showMenuBarSparklineKey, true));
    EXPECT_TRUE(m_defaults.contains(ViewSettings::showMenuBarSparklineKey));

    // Another window over the same settings sees it at once, and so does the page built again.
    ViewSettings other(m_defaults);
    EXPECT_FALSE(other.showMenuBarSparkline());
    view.setActiveTab(1);
    view.setActiveTab(0);
    EXPECT_FALSE(page<GeneralSection>()->sparkline()->isChecked());
    EXPECT_TRUE(page<GeneralSection>()->cpuRing()->isChecked());
}

TEST_F(SettingsViewTest, TheLightThemeRedrawsTheWindowInItsOwnColours)
{
    SettingsView& view = makeView();
    EXPECT_EQ(view.palette().color(QPalette::Window), contentBackground(AppTheme::standard));
    EXPECT_EQ(view.sidebar().palette().color(QPalette::Window), sidebarBackground(AppTheme::standard));

    auto* light = qobject_cast<QRadioButton*>(page<GeneralSection>()->themeGroup()->button(int(AppTheme::light)));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->text(), "Light");
    light->click();
    QTest::qWait(20);
    EXPECT_EQ(m_defaults.string(ThemeManager::userDefaultsKey), QStringLiteral("Light"));
    EXPECT_EQ(view.palette().color(QPalette::Window), contentBackground(AppTheme::light));
    EXPECT_EQ(view.palette().color(QPalette::WindowText), textColor(AppTheme::light));
    EXPECT_EQ(view.sidebar().palette().color(QPalette::Window), sidebarBackground(AppTheme::light));
    // The rebuilt page shows the choice.
    EXPECT_TRUE(page<GeneralSection>()->themeGroup()->button(int(AppTheme::light))->isChecked());
}

TEST_F(SettingsViewTest, WhatThePrivacyCardsDidOutlivesThePageTheErasedThemeRebuilds)
{
    const PrivacyLocations places = PrivacyLocations::under(m_dir.filePath("root"), m_dir.filePath("home"));
    AuditLogger logger(places.dataDirectory);
    PrivacyMetricsEngine engine({&logger, &m_tracker, &m_defaults}, places, nullptr);
    auto helper = std::make_shared<FakeHelperService>();
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    // Each goes in its turn: the window and its pages, then the work they started, then what it used.
    QThreadPool pool;
    const auto windowFirst = qScopeGuard([this] { closeView(); });
    m_privacy = PrivacyServices {&engine, &logger, helper, &dialogs, &desktop, &m_clock, &pool, places.dataDirectory,
        places.helperBinary, QFileInfo(places.settingsFile).absolutePath()};
    SettingsView& view = makeView();
    view.show();
    view.setActiveTab(4);
    // Erasing the settings takes the chosen theme with them: the page is built anew in Standard.
    const auto eraseUnderLightTheme = [&](const std::function<void()>& erase) {
        m_theme.setCurrentTheme(AppTheme::light);
        QTest::qWait(50);
        QPointer<QWidget> page = view.currentPage();
        erase();
        return QTest::qWaitFor([&] { return !page && m_theme.currentTheme() == AppTheme::standard; }, 5000);
    };

    page<UninstallGuideView>()->pressStep(UninstallGuideView::kRemovePackage);
    ASSERT_TRUE(eraseUnderLightTheme([&] { page<GranularClearView>()->requestClearEverything(); }));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page<GranularClearView>()->statusText() == "All Quorvane data successfully cleared."; }, 5000));
    EXPECT_EQ(page<UninstallGuideView>()->buttonLabel(UninstallGuideView::kRemovePackage), "Copy Removal Command ✓");

    ASSERT_TRUE(eraseUnderLightTheme([&] { page<UninstallGuideView>()->pressStep(UninstallGuideView::kClearData); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page<UninstallGuideView>()->completedSteps().count(2) > 0; }, 5000));
    EXPECT_EQ(page<UninstallGuideView>()->buttonLabel(UninstallGuideView::kClearData), "Clear All Data ✓");
    EXPECT_EQ(page<UninstallGuideView>()->buttonLabel(UninstallGuideView::kRemovePackage), "Copy Removal Command ✓");
    m_clock.advance(GranularClearView::kStatusMs);
    EXPECT_TRUE(page<GranularClearView>()->statusText().isEmpty());
}

TEST_F(SettingsViewTest, CheckBoxesAndRadioButtonsReadOnEveryTheme)
{
    for (const auto& [theme, raw] : RawEnumTable<AppTheme>::cases) {
        const Palette p = Palette::forTheme(theme);
        const auto c = IndicatorStyle::colors(p.background, p.accent, p.secondaryText);
        EXPECT_GE(Contrast::ratio(c.outline, p.background), 3.0) << raw; // off
        EXPECT_GE(Contrast::ratio(c.fill, p.background), 3.0) << raw; // on
        EXPECT_GE(Contrast::ratio(c.mark, c.fill), 3.0) << raw;

        // The clear-data page's tick boxes: symbols on their rows, off and on.
        const QColor ground = Contrast::over(p.card, p.background);
        const QColor offRow = Contrast::over(resolveColor(ColorRole::shade, p, 0.02), ground);
        const QColor onRow = Contrast::over(resolveColor(ColorRole::blue, p, 0.08), ground);
        EXPECT_GE(Contrast::ratio(Contrast::over(resolveColor(ColorRole::secondary, p), offRow), offRow), 3.0) << raw;
        EXPECT_GE(Contrast::ratio(Contrast::over(resolveColor(ColorRole::blue, p), onRow), onRow), 3.0) << raw;
    }

    // As drawn on the dark General page: the frame of an unticked box reads on the page.
    SettingsView& view = makeView();
    QCheckBox* box = page<GeneralSection>()->launchAtLogin();
    ASSERT_FALSE(box->isChecked());
    // The indicator alone, at the leading edge, without the label beside it.
    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
    const QImage image = box->grab(QRect(0, 0, indicator, box->height())).toImage();
    const QColor page = view.palette().color(QPalette::Window);
    double best = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, Contrast::ratio(image.pixelColor(x, y), page));
    EXPECT_GE(best, 3.0);
}

TEST_F(SettingsViewTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    makeView();
    QCheckBox* box = page<GeneralSection>()->launchAtLogin();
    EXPECT_FALSE(box->isChecked());

    box->click();
    ASSERT_TRUE(QFileInfo::exists(autostartPath()));
    QFile entry(autostartPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    // A program path with a space is quoted so the desktop starts the right file.
    EXPECT_TRUE(text.contains("\nExec=\"/opt/Quorvane Pro/quorvane-pro\"\n"));

    // The file is the truth: a window built later shows it ticked, and unticking removes it.
    m_view.reset();
    makeView();
    box = page<GeneralSection>()->launchAtLogin();
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(QFileInfo::exists(autostartPath()));
    EXPECT_FALSE(box->isChecked());
}

TEST_F(SettingsViewTest, TheNotificationsChoiceIsStoredAndTheNotifierHonoursIt)
{
    auto inner = std::make_shared<personatest::FakeNotifier>();
    NotificationGate gate(inner, m_defaults);
    gate.post("Compile Mode", "on");
    makeView();
    QCheckBox* box = page<GeneralSection>()->notifications();
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(m_defaults.boolValue(SettingsView::notificationsEnabledKey, true));
    gate.post("Compile Mode", "off");
    ASSERT_EQ(inner->posts().size(), 1u);
    EXPECT_EQ(inner->posts()[0].second, "on");
    m_view->setActiveTab(0);
    EXPECT_FALSE(page<GeneralSection>()->notifications()->isChecked());
}

TEST(FlowLayoutTest, PlacesItemsThreeToARowInOrder)
{
    auto chip = [](const QString& text) { return new QLabel(text); };
    FlowLayout empty({}, chip);
    EXPECT_TRUE(empty.rows().isEmpty());
    EXPECT_EQ(empty.sizeHint().height(), 0);

    // Row membership follows position alone, however wide a chip is.
    FlowLayout seven({"a", "a very long chip text that would never fit", "c", "d", "e", "f", "g"}, chip);
    const auto rows = seven.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].size(), 3);
    EXPECT_EQ(rows[1].size(), 3);
    EXPECT_EQ(rows[2].size(), 1);
    EXPECT_EQ(qobject_cast<QLabel*>(rows[1][0])->text(), "d");
    EXPECT_EQ(qobject_cast<QLabel*>(rows[2][0])->text(), "g");

    seven.setItems({"x"});
    EXPECT_EQ(seven.rows().size(), 1);
}

} // namespace

TEST(PageScrollFlattenerTest, ANarrowerPageGrowsToTheLinesItsTextNowWrapsOnto)
{
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    auto* text = new QLabel(QStringLiteral("wrapping words ").repeated(40));
    text->setWordWrap(true);
    column->addWidget(text);
    area->setWidget(content);
    layout->addWidget(area);
    PageScrollFlattener::flattenPage(area);
    host.resize(600, 200);
    host.show();
    QApplication::processEvents();
    host.resize(300, 200);
    QApplication::processEvents();
    EXPECT_GE(area->minimumHeight(), content->heightForWidth(area->viewport()->width()));
}
