#include "SettingsPages.h"

#include "AboutSection.h"
#include "AutomationSection.h"
#include "GeneralSection.h"
#include "PersonasSection.h"
#include "SettingsStyle.h"
#include "SettingsView.h"
#include "StorageSection.h"

#include "PrivacyTabView.h"

#include "core/PersonaViewModel.h"
#include "records/HelperService.h"
#include "views/dashboard/HistoryTabView.h"
#include "views/dashboard/MemoryTabView.h"
#include "views/dashboard/NetworkTabView.h"
#include "views/dashboard/PowerThermalTabView.h"
#include "views/dashboard/SensorsTabView.h"
#include "views/dashboard/SystemInfoView.h"
#include "views/privacy/HelpGuideView.h"
#include "views/privacy/PrivacyServices.h"
#include "views/storage/ModelInventoryView.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// The sensor page's tips follow whether the helper acts for this copy.
QWidget* sensorsPage(SettingsView& view)
{
    PersonaViewModel& personas = view.personaVM();
    auto* page = new SensorsTabView(view.dashboardVM(), personas.canPause());
    QObject::connect(&personas, &PersonaViewModel::helperAccessChanged, page,
        [page, &personas] { page->setCanPause(personas.canPause()); });
    return page;
}

} // namespace

namespace SettingsPages {

const std::array<Page, 13>& table()
{
    static const std::array<Page, 13> pages {{
        {[](SettingsView& v) -> QWidget* { return new GeneralSection(v); }, true, 16},
        {[](SettingsView& v) -> QWidget* { return new PersonasSection(v); }, true, 12},
        {[](SettingsView& v) -> QWidget* { return new AutomationSection(v); }, true, 12},
        {[](SettingsView& v) -> QWidget* { return new StorageSection(v); }, true, 12},
        {[](SettingsView& v) -> QWidget* { return new PrivacyTabView(v.privacyServices()); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return sensorsPage(v); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return new MemoryTabView(v.dashboardVM()); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return new NetworkTabView(v.dashboardVM(), v.themeManager()); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return new PowerThermalTabView(v.dashboardVM(), v.powerProfiles()); }, false,
            0},
        {[](SettingsView& v) -> QWidget* { return new HistoryTabView(v.dashboardVM()); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return new AboutSection(v); }, true, 16},
        {[](SettingsView& v) -> QWidget* { return new SystemInfoView(v.dashboardVM(), v.machineFacts()); }, false, 0},
        {[](SettingsView& v) -> QWidget* { return new HelpGuideView(v.themeManager()); }, false, 0},
    }};
    return pages;
}

QWidget* create(int index, SettingsView& view)
{
    if (index < 0 || index >= static_cast<int>(table().size()))
        return new QWidget;
    const Page& page = table()[static_cast<std::size_t>(index)];
    if (!page.build)
        return new PlaceholderPage(QObject::tr(SettingsView::sidebarTabs()[static_cast<std::size_t>(index)].title));
    QWidget* built = page.build(view);
    if (!page.ownSection)
        return built;
    auto* padded = new QWidget;
    auto* column = new QVBoxLayout(padded);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(page.spacing);
    column->addWidget(built);
    return padded;
}

QWidget* createStoragePanel(SettingsView& view)
{
    const SettingsServices& services = view.services();
    if (!services.storageInventoryEngine || !services.developerCacheEngine)
        return new PlaceholderPage(QObject::tr("Model Storage"));
    return new ModelInventoryView(services.storageInventoryEngine, services.developerCacheEngine);
}

} // namespace SettingsPages

PlaceholderPage::PlaceholderPage(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
{
    const Palette palette = Palette::current();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(SettingsStyle::title(title, palette));
    column->addWidget(SettingsStyle::note(tr("This page is not available yet."), palette));
    column->addStretch(1);
}
