#pragma once

#include "core/NotificationGate.h"
#include "views/privacy/PrivacyServices.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class AssistanceTracker;
class Clock;
class DashboardViewModel;
class DeveloperCacheEngine;
class HelperService;
class LoginItem;
class MachineFactsModel;
class ModelInventoryEngine;
class PersonaViewModel;
class PowerProfiles;
class PrivacyPageState;
class QScrollArea;
class QThreadPool;
class QTimer;
class QVBoxLayout;
class SettingsSidebar;
class SettingsTour;
class ThemeManager;
class TourCard;
class ViewSettings;
struct Palette;

// What the settings window uses besides the three shared models; each left empty is the program's own.
struct SettingsServices
{
    ThemeManager* themeManager = nullptr;
    ViewSettings* viewSettings = nullptr;
    Clock* clock = nullptr;
    AssistanceTracker* assistanceTracker = nullptr;
    std::shared_ptr<LoginItem> loginItem;
    // The power-profiles daemon the Power & Thermal page switches; by default the one on the system bus.
    PowerProfiles* powerProfiles = nullptr;
    // What the System Info page says about the machine; by default read from this one.
    std::shared_ptr<MachineFactsModel> machineFacts;
    // Installs and removes the helper for the privacy pages, held by their work as long as it runs; by
    // default through systemd, resuming every process the persona engine suspended before a removal (`pool`
    // must then be one that its owner waits for before that engine goes).
    std::shared_ptr<HelperService> helperService;
    // Where the privacy pages run their work; its owner waits for it before what the work uses goes (the
    // program's delegate keeps one beside its engines). Null: the global pool.
    QThreadPool* pool = nullptr;
    // The storage panel of the Storage & Caches page; without them that page shows its own rows only.
    std::shared_ptr<ModelInventoryEngine> storageInventoryEngine;
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine;
    // The privacy page's stores, dialogs and clock; by default the program's own, with helperService.
    std::optional<PrivacyServices> privacy;
    // Why this copy cannot set up the helper (the setup page's words); empty when it can.
    QString helperSetupUnavailable;
};

// The settings window's content, 780 x 540 (shorter on a short screen): a themed sidebar of thirteen entries and the
// page of the selected one. A page is built anew each time its entry is selected; what the user typed into the pages'
// entry fields lives here and survives that. The application creates one view and keeps it for the window's whole life.
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 780;
    static constexpr int kHeight = 540;
    static constexpr int kTabCount = 13;

    struct SidebarTab
    {
        const char* icon;
        const char* title;
    };
    static const std::array<SidebarTab, kTabCount>& sidebarTabs();
    // The header above a row; each header covers a fixed run of rows.
    struct SidebarSection
    {
        const char* title;
        int begin; // first index
        int end; // one past the last
    };
    static const std::array<SidebarSection, 3>& sidebarSections();

    using Services = SettingsServices;

    SettingsView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, ModelInventoryEngine& inventoryEngine,
        Services services = {}, QWidget* parent = nullptr);
    ~SettingsView() override;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    DashboardViewModel& dashboardVM() const { return m_dashboardVM; }
    PersonaViewModel& personaVM() const { return m_personaVM; }
    ModelInventoryEngine& inventoryEngine() const { return m_inventoryEngine; }
    ThemeManager& themeManager() const { return *m_services.themeManager; }
    ViewSettings& viewSettings() const { return *m_services.viewSettings; }
    AssistanceTracker& assistanceTracker() const { return *m_services.assistanceTracker; }
    LoginItem& loginItem() const { return *m_services.loginItem; }
    HelperService& helperService() const { return *m_services.helperService; }
    PowerProfiles& powerProfiles() const { return *m_services.powerProfiles; }
    MachineFactsModel& machineFacts() const { return *m_services.machineFacts; }
    Clock& clock() const { return *m_services.clock; }
    const Services& services() const { return m_services; }
    // The privacy page's services, with the state its cards keep across rebuilds of the page.
    PrivacyServices privacyServices() const;

    int activeTab() const { return m_activeTab; }
    // Selects an entry and builds its page; an index outside the table shows an empty page.
    void setActiveTab(int tab);
    QWidget* currentPage() const { return m_page; }
    // The content area's scroll area, which alone scrolls every page.
    QScrollArea* contentScroll() const { return m_scroll; }
    SettingsSidebar& sidebar() const { return *m_sidebar; }
    SettingsTour& tour() const { return *m_tour; }
    TourCard& tourCard() const { return *m_tourCard; }

    // View state the pages share, kept while the window lives.
    // The menu-bar looks the General page offers.
    static inline const QString standardMenuBarStyle = QStringLiteral("standard");
    static inline const QString minimalMenuBarStyle = QStringLiteral("minimal");
    QString menubarIconStyle = standardMenuBarStyle;
    double pollingInterval = 3.0;
    QString newTrigger;
    QString newPath;
    QString newWhitelistApp;

    // Whether resource notifications are shown, stored under notificationsEnabledKey (default on).
    static inline const QString notificationsEnabledKey = NotificationGate::enabledKey;
    bool notificationsEnabled() const;
    void setNotificationsEnabled(bool enabled);

signals:
    void activeTabChanged(int tab);
    void quitRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The sidebar, its divider and the scroll area that holds the page.
    void buildColumns();
    // The guided tour: its card and the timer that advances it.
    void buildTour();
    void applyPalette(const Palette& palette);
    void rebuildPage();
    void placeTourCard();
    void quit();

    DashboardViewModel& m_dashboardVM;
    PersonaViewModel& m_personaVM;
    ModelInventoryEngine& m_inventoryEngine;
    Services m_services;
    int m_activeTab = 0;
    SettingsSidebar* m_sidebar;
    QScrollArea* m_scroll;
    QPointer<QWidget> m_page;
    // What the privacy page's erasure and uninstall cards did; outlives the page.
    PrivacyPageState* m_privacyPageState;
    SettingsTour* m_tour;
    TourCard* m_tourCard;
    QTimer* m_tourTimer;
};
