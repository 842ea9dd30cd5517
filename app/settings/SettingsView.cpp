#include "SettingsView.h"

#include "LoginItem.h"
#include "PageScrollFlattener.h"
#include "SettingsPages.h"
#include "SettingsSidebar.h"
#include "SettingsTour.h"
#include "TourCard.h"

#include "core/PersonaViewModel.h"
#include "engines/DashboardViewModel.h"
#include "engines/MachineFactsModel.h"
#include "platform/desktop/PowerProfiles.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "views/privacy/PrivacyPageState.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/UserDefaults.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/Palette.h"
#include "ui/ViewSettings.h"
#include "ui/WidgetPalette.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMetaMethod>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

const std::array<SettingsView::SidebarTab, SettingsView::kTabCount>& SettingsView::sidebarTabs()
{
    static const std::array<SidebarTab, kTabCount> tabs {{
        {"gearshape.fill", QT_TRANSLATE_NOOP("SettingsView", "General")},
        {"person.2.fill", QT_TRANSLATE_NOOP("SettingsView", "Personas")},
        {"bolt.horizontal.fill", QT_TRANSLATE_NOOP("SettingsView", "Automation")},
        {"internaldrive", QT_TRANSLATE_NOOP("SettingsView", "Storage & Caches")},
        {"hand.raised.fill", QT_TRANSLATE_NOOP("SettingsView", "Privacy")},
        {"cpu", QT_TRANSLATE_NOOP("SettingsView", "Sensors")},
        {"memorychip", QT_TRANSLATE_NOOP("SettingsView", "Memory")},
        {"link", QT_TRANSLATE_NOOP("SettingsView", "Network")},
        {"bolt.fill", QT_TRANSLATE_NOOP("SettingsView", "Power & Thermal")},
        {"clock.fill", QT_TRANSLATE_NOOP("SettingsView", "History")},
        {"info.circle.fill", QT_TRANSLATE_NOOP("SettingsView", "About")},
        {"desktopcomputer", QT_TRANSLATE_NOOP("SettingsView", "System Info")},
        {"book.fill", QT_TRANSLATE_NOOP("SettingsView", "Help Guide")},
    }};
    return tabs;
}

const std::array<SettingsView::SidebarSection, 3>& SettingsView::sidebarSections()
{
    static const std::array<SidebarSection, 3> sections {{
        {QT_TRANSLATE_NOOP("SettingsSidebar", "PREFERENCES"), 0, 5},
        {QT_TRANSLATE_NOOP("SettingsSidebar", "SYSTEM MONITOR"), 5, 10},
        {QT_TRANSLATE_NOOP("SettingsSidebar", "TOOLS"), 10, 13},
    }};
    return sections;
}

SettingsView::SettingsView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM,
    ModelInventoryEngine& inventoryEngine, Services services, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_personaVM(personaVM)
    , m_inventoryEngine(inventoryEngine)
    , m_services(std::move(services))
{
    if (!m_services.themeManager)
        m_services.themeManager = &ThemeManager::shared();
    if (!m_services.viewSettings)
        m_services.viewSettings = &ViewSettings::shared();
    if (!m_services.clock)
        m_services.clock = &Clock::system();
    if (!m_services.assistanceTracker)
        m_services.assistanceTracker = &AssistanceTracker::shared();
    if (!m_services.loginItem)
        m_services.loginItem = std::make_shared<LoginItem>();
    if (!m_services.powerProfiles)
        m_services.powerProfiles = &PowerProfiles::system();
    if (!m_services.machineFacts)
        m_services.machineFacts = std::make_shared<MachineFactsModel>();
    if (!m_services.helperService) {
        PersonaEngine& personas = personaVM.personaEngine();
        m_services.helperService = std::make_shared<SystemdHelperService>(
            PrivacyMetricsEngine::shared(), [&personas] { personas.resumeAllFrozenProcesses(); });
    }

    m_privacyPageState = new PrivacyPageState(this);
    // 780 wide; 540 high where the screen has the room, else the sidebar's entries and the page scroll in
    // what is left, the quit button staying in sight.
    setFixedWidth(kWidth);
    setMaximumHeight(kHeight);
    resize(kWidth, kHeight);
    setAutoFillBackground(true);
    buildColumns();
    buildTour();

    connect(m_sidebar, &SettingsSidebar::rowClicked, this, &SettingsView::setActiveTab);
    connect(m_sidebar, &SettingsSidebar::quitClicked, this, &SettingsView::quit);
    followTheme(themeManager(), this, [this](const Palette& palette) {
        applyPalette(palette);
        // The theme may have been chosen on the page itself, which must outlive its own click.
        QMetaObject::invokeMethod(this, &SettingsView::rebuildPage, Qt::QueuedConnection);
    });
    applyPalette(Palette::forTheme(themeManager().currentTheme()));
    m_sidebar->setActiveTab(m_activeTab);
    rebuildPage();
}

void SettingsView::buildColumns()
{
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    m_sidebar = new SettingsSidebar(this);
    columns->addWidget(m_sidebar);
    auto* divider = new QWidget(this);
    divider->setObjectName(QStringLiteral("sidebarDivider"));
    divider->setFixedWidth(1);
    divider->setAutoFillBackground(true);
    columns->addWidget(divider);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    columns->addWidget(m_scroll, 1);
}

void SettingsView::buildTour()
{
    m_tour = new SettingsTour(clock(), this);
    m_tourCard = new TourCard(*m_tour, this);
    m_tourCard->hide();
    m_tourTimer = new QTimer(this);
    m_tourTimer->setInterval(1000);
    m_tourTimer->setTimerType(Qt::PreciseTimer);
    m_tourTimer->start();
    connect(m_tourTimer, &QTimer::timeout, m_tour, &SettingsTour::advance);
    connect(m_tour, &SettingsTour::tabRequested, this, &SettingsView::setActiveTab);
    connect(m_tour, &SettingsTour::changed, this, [this] {
        m_tourCard->setVisible(m_tour->isActive());
        placeTourCard();
    });
    NotificationCenter::defaultCenter().observe(
        Notifications::startSettingsTour, this, [this](const QVariantMap&) { m_tour->start(); });
    // What the tour may say of the background work and the sensors.
    const auto showFacts = [this] {
        m_tour->setFacts({m_personaVM.canPause(), m_personaVM.configuration().autonomousModeEnabled,
            m_dashboardVM.measured().socTemperature});
    };
    connect(&m_personaVM, &PersonaViewModel::helperAccessChanged, m_tour, showFacts);
    connect(&m_personaVM, &PersonaViewModel::configurationChanged, m_tour, showFacts);
    connect(&m_dashboardVM, &DashboardViewModel::figuresChanged, m_tour, showFacts);
    showFacts();
}

SettingsView::~SettingsView() = default;

bool SettingsView::notificationsEnabled() const
{
    return viewSettings().boolValue(notificationsEnabledKey, true);
}

void SettingsView::setNotificationsEnabled(bool enabled)
{
    viewSettings().setBool(notificationsEnabledKey, enabled);
}

PrivacyServices SettingsView::privacyServices() const
{
    PrivacyServices services = m_services.privacy
        ? *m_services.privacy
        : PrivacyServices::standard(m_services.helperService, m_services.pool);
    services.pageState = m_privacyPageState;
    if (!m_services.helperSetupUnavailable.isEmpty())
        services.helperSetupUnavailable = m_services.helperSetupUnavailable;
    return services;
}

void SettingsView::setActiveTab(int tab)
{
    m_activeTab = tab;
    m_sidebar->setActiveTab(tab);
    rebuildPage();
    emit activeTabChanged(tab);
}

void SettingsView::rebuildPage()
{
    // The column the page sits in: 24 px at the top (the window has a real title bar), 24 at the
    // sides, 60 at the bottom.
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(24, 24, 24, 60);
    layout->setSpacing(16);
    m_page = SettingsPages::create(m_activeTab, *this);
    PageScrollFlattener::flattenPage(m_page);
    layout->addWidget(m_page);
    layout->addStretch(1);
    // The old page, and any work it started that delivers to it, goes with the old column.
    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_scroll->setWidget(column);
    m_tourCard->raise();
}

void SettingsView::applyPalette(const Palette& palette)
{
    setPalette(WidgetPalette::of(palette, this->palette()));
    if (auto* divider = findChild<QWidget*>(QStringLiteral("sidebarDivider"))) {
        QPalette line = divider->palette();
        line.setColor(QPalette::Window, palette.divider);
        divider->setPalette(line);
    }
    m_scroll->viewport()->setAutoFillBackground(true);
    m_sidebar->applyPalette(palette);
    m_tourCard->applyPalette(palette);
}

void SettingsView::placeTourCard()
{
    m_tourCard->adjustSize();
    m_tourCard->move(width() - m_tourCard->width(), height() - m_tourCard->height());
    m_tourCard->raise();
}

void SettingsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeTourCard();
}

void SettingsView::quit()
{
    // The application decides how to quit (it resumes what it suspended first); alone, the view
    // asks the application directly.
    if (isSignalConnected(QMetaMethod::fromSignal(&SettingsView::quitRequested)))
        emit quitRequested();
    else
        QCoreApplication::quit();
}
