#include "PopoverView.h"

#include "AppDirectory.h"
#include "PopoverHeader.h"
#include "PopoverState.h"
#include "PopoverStyle.h"
#include "PopoverTabPanel.h"
#include "RunningAppsStrip.h"
#include "TabDock.h"
#include "TourOverlay.h"

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/PoolWork.h"
#include "engines/DashboardViewModel.h"
#include "settings/NotificationPermission.h"
#include "settings/ProOnboardingView.h"

#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/ViewSettings.h"
#include "views/privacy/OnboardingView.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>

PopoverView::PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
    PopoverEngines engines, QWidget* parent)
    : PopoverView(dashboardVM, personaVM, std::move(hooks), std::move(engines), ViewSettings::shared(),
        ThemeManager::shared(), Clock::system(), new AppDirectory, parent)
{
    // The directory made above belongs to this popover.
    m_apps->setParent(this);
}

PopoverView::PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
    PopoverEngines engines, ViewSettings& settings, ThemeManager& themes, Clock& clock, AppDirectory* apps,
    QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_personaVM(personaVM)
    , m_settings(settings)
    , m_themes(themes)
    , m_palette(Palette::forTheme(themes.currentTheme()))
    , m_engines(std::move(engines))
    , m_state(new PopoverState(settings, clock, this))
    , m_actions(new PopoverActions(this, std::move(hooks)))
    , m_apps(apps)
{
    // 340 wide; 620 high where the screen has the room, else the tab's panel scrolls in what is left
    // and the header and the dock stay whole.
    setFixedWidth(kSize.width());
    setMaximumHeight(kSize.height());
    resize(kSize);
    setAutoFillBackground(false);
    followTheme(themes, this, [this](const Palette& p) { applyTheme(p); });
    applyTheme(m_palette);
    // Finishing the flow in the other host (popover or dashboard window) switches this one too.
    connect(&m_settings, &ViewSettings::valueChanged, this, [this](const QString& key) {
        if (key == ViewSettings::hasFinishedOnboardingKey)
            showOnboardingOrDashboard();
    });
    showOnboardingOrDashboard();
}

void PopoverView::showOnboardingOrDashboard()
{
    if (!m_settings.hasFinishedOnboarding()) {
        if (!m_onboarding && !m_header)
            buildOnboarding();
        return;
    }
    if (m_onboarding) {
        m_onboarding->hide();
        m_onboarding->deleteLater();
        m_onboarding = nullptr;
        // From now on the dashboard's column says how short the popover can be.
        setMinimumHeight(0);
    }
    if (!m_header)
        buildDashboard();
}

void PopoverView::buildDashboard()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    m_header = new PopoverHeader(*m_state, m_personaVM, m_themes, *m_actions, this);
    column->addWidget(m_header);
    column->addWidget(PopoverStyle::divider(m_themes, this));
    m_panel = new PopoverTabPanel(*m_state, m_dashboardVM, m_themes, m_apps, &m_personaVM, this);
    m_panel->setStorageEngines(m_engines.inventoryEngine, m_engines.developerCacheEngine);
    m_panel->setEngines(m_engines);
    column->addWidget(m_panel, 1);
    column->addWidget(PopoverStyle::divider(m_themes, this));
    m_dock = new TabDock(*m_state, m_themes, *m_actions, this);
    m_dock->setContentsMargins(0, 4, 0, 0);
    column->addWidget(m_dock);
    if (m_apps) {
        m_strip = new RunningAppsStrip(*m_apps, m_dashboardVM, this);
        column->addWidget(m_strip);
    }

    // The tour covers the whole column while it runs and hands over to the settings window at its end.
    m_tour = new TourOverlay(*m_state, m_themes, this);
    m_tour->setGeometry(rect());
    // What the tour may say: whether the helper acts for this copy, and which figures the machine gives.
    const auto showFacts = [this] {
        const MeasuredFigures& measured = m_dashboardVM.measured();
        m_tour->setFacts({m_personaVM.canPause(), measured.efficiencyCluster, measured.socTemperature});
    };
    connect(&m_personaVM, &PersonaViewModel::helperAccessChanged, m_tour, showFacts);
    connect(&m_dashboardVM, &DashboardViewModel::figuresChanged, m_tour, showFacts);
    showFacts();
    connect(m_state, &PopoverState::settingsWindowRequested, m_actions->settings(), &QAction::trigger);
}

PopoverView::~PopoverView() = default;

void PopoverView::buildOnboarding()
{
    const auto permissionPage = [this](OnboardingView& flow) -> QWidget* {
        if (!m_engines.helperService) {
            PersonaEngine& personas = m_personaVM.personaEngine();
            m_engines.helperService = std::make_shared<SystemdHelperService>(
                PrivacyMetricsEngine::shared(), [&personas] { personas.resumeAllFrozenProcesses(); });
        }
        if (!m_engines.notificationPermission)
            m_engines.notificationPermission = std::make_shared<DBusNotificationPermission>();
        auto* page = new ProOnboardingView(m_engines.helperService, m_engines.notificationPermission,
            m_engines.pool ? m_engines.pool : QThreadPool::globalInstance(),
            [&flow](bool canPause) { flow.finishSetup(canPause); });
        page->setHelperUnavailable(m_engines.helperSetupUnavailable);
        return page;
    };
    m_onboarding = new OnboardingView(
        1, OnboardingView::Workspace::aiEngineer, OnboardingView::Flavor::bear, permissionPage,
        [this] { finishOnboarding(); }, this);
    // No style freezes anything where this copy can neither set up the helper nor reach one that acts for it.
    const auto showHelper = [this] {
        if (m_onboarding)
            m_onboarding->setHelperUnavailable(!m_engines.helperSetupUnavailable.isEmpty() && !m_personaVM.canPause());
    };
    connect(&m_personaVM, &PersonaViewModel::helperAccessChanged, m_onboarding, showHelper);
    showHelper();
    // A page that grows (a failure line appears) asks for a new layout: the card is placed again.
    m_onboarding->installEventFilter(this);
    placeOnboarding();
    m_onboarding->show();
}

void PopoverView::placeOnboarding()
{
    // The card is drawn for 380 points; here it takes the popover's width, as tall as its page needs at
    // that width, and is centred in the popover's height.
    const int needed = m_onboarding->heightForWidth(width());
    setMinimumHeight(std::min(needed, kSize.height()));
    const int height = std::min(needed, this->height());
    m_onboarding->setGeometry(0, (this->height() - height) / 2, width(), height);
}

bool PopoverView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_onboarding && event->type() == QEvent::LayoutRequest)
        placeOnboarding();
    return QWidget::eventFilter(watched, event);
}

void PopoverView::finishOnboarding()
{
    const PersonaConfiguration configuration = m_personaVM.configuration().applyingFlavorProfile(
        m_onboarding->workspacePersona(), m_onboarding->flavorPersona());
    // The steps outlive this view when it goes meanwhile: each comes home to an object that stays.
    PersonaViewModel* personas = &m_personaVM;
    ViewSettings* settings = &m_settings;
    whenFinished(personas->updateConfiguration(configuration), personas, [personas, settings](const QFuture<void>&) {
        whenFinished(personas->refresh(), settings,
            [settings](const QFuture<void>&) { settings->setHasFinishedOnboarding(true); });
    });
}

void PopoverView::applyTheme(const Palette& palette)
{
    m_palette = palette;
    QPalette pal = QWidget::palette();
    pal.setColor(QPalette::WindowText, PopoverStyle::foreground(palette.theme));
    pal.setColor(QPalette::Window, PopoverStyle::background(palette.theme));
    setPalette(pal);
    update();
}

void PopoverView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), PopoverStyle::background(m_palette.theme));
}

void PopoverView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_onboarding)
        placeOnboarding();
    if (m_tour)
        m_tour->setGeometry(rect());
}

void PopoverView::hideEvent(QHideEvent* event)
{
    // Closing the popover ends a running tour at once.
    m_state->setTourActive(false);
    QWidget::hideEvent(event);
}
