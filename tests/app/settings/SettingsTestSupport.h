#pragma once

// A settings window over a persona engine on the recording helper client, with its settings, theme,
// counters and autostart folder in a temporary folder and time on a fake clock.

#include "app/core/PersonaTestSupport.h"

#include "core/PersonaViewModel.h"
#include "engines/DashboardViewModel.h"
#include "engines/ThermalEngine.h"
#include "records/ThemeManager.h"
#include "settings/LoginItem.h"
#include "settings/SettingsView.h"
#include "storage/ModelInventoryEngine.h"
#include "support/doubles/ui/FakeClock.h"
#include "ui/ViewSettings.h"

#include <QApplication>
#include <QTest>

namespace settingstest {

class SettingsFixture : public personatest::PersonaEngineFixture
{
protected:
    SettingsFixture()
        : m_theme(m_defaults)
        , m_settings(m_defaults)
    {
        DashboardSources sources;
        sources.procRoot = m_dir.filePath("proc").toStdString();
        sources.sysRoot = m_dir.filePath("sys").toStdString();
        sources.homePath = m_dir.path().toStdString();
        sources.publicAddressUrl = "http://127.0.0.1:9";
        m_dashboard = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(sources.procRoot),
            std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(sources.sysRoot),
            sources);
    }

    ~SettingsFixture() override { closeView(); }

    // The window and every page it let go of, so that nothing built on the services outlives them.
    void closeView()
    {
        m_view.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString autostartPath() const { return m_dir.filePath("config/autostart/quorvane-pro.desktop"); }

    // A view over an engine holding `configuration`, once the view model shows it.
    SettingsView& makeView(PersonaConfiguration configuration = PersonaConfiguration::defaultConfiguration())
    {
        m_view.reset();
        m_viewModel.reset();
        m_engine = makeEngine(configuration);
        m_viewModel = std::make_unique<PersonaViewModel>(*m_engine);
        settle();
        SettingsView::Services services;
        services.themeManager = &m_theme;
        services.viewSettings = &m_settings;
        services.clock = &m_clock;
        services.assistanceTracker = &m_tracker;
        services.loginItem
            = std::make_shared<LoginItem>(autostartPath(), QStringLiteral("/opt/Quorvane Pro/quorvane-pro"));
        services.privacy = m_privacy;
        services.helperService = m_helperService;
        m_view = std::make_unique<SettingsView>(*m_dashboard, *m_viewModel, m_inventory, services);
        settle();
        return *m_view;
    }

    // Lets queued refreshes and commits arrive.
    void settle()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_viewModel->configCommitter().isBusy(); }, 5000));
        QTest::qWait(50);
    }

    template<class Page> Page* page()
    {
        if (auto* own = qobject_cast<Page*>(m_view->currentPage()))
            return own;
        return m_view->currentPage()->findChild<Page*>();
    }

    ThemeManager m_theme;
    ViewSettings m_settings;
    // The privacy page's services; the program's own when left empty.
    std::optional<PrivacyServices> m_privacy;
    // The helper service the window is given; its own when left empty.
    std::shared_ptr<HelperService> m_helperService;
    FakeClock m_clock;
    ModelInventoryEngine m_inventory {StorageRoots::forHome("/home/dev")};
    std::unique_ptr<DashboardViewModel> m_dashboard;
    std::unique_ptr<PersonaEngine> m_engine;
    std::unique_ptr<PersonaViewModel> m_viewModel;
    std::unique_ptr<SettingsView> m_view;
};

} // namespace settingstest
