#include "SampleData.h"
#include "SampleSettings.h"
#include "SnapshotRegistry.h"

#include "core/UserDefaults.h"
#include "records/AssistanceTracker.h"
#include "records/AuditLogger.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "settings/NotificationPermission.h"
#include "settings/PrivacyTabView.h"
#include "settings/ProOnboardingView.h"
#include "views/privacy/DataInventoryView.h"
#include "views/privacy/FullAuditLogSheet.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/HelperInspectorView.h"
#include "views/privacy/LiveHelperActivityView.h"
#include "views/privacy/NetworkActivityView.h"
#include "views/privacy/OnboardingView.h"
#include "views/privacy/PrivacyCommitmentView.h"
#include "views/privacy/UninstallGuideView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThreadPool>

#include <memory>

namespace {

class SampleHelper : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus helperStatus;
    PrivacyMetricsEngine::HelperStatus status() override { return helperStatus; }
    Outcome install() override { return {false, QStringLiteral("authorization cancelled")}; }
    Outcome uninstall() override { return {true, {}}; }
};

class SampleNotifications : public NotificationPermission
{
public:
    bool request() override { return true; }
};

// A privacy store over stores in a temporary home, holding a few days of helper actions.
struct PrivacySample
{
    explicit PrivacySample(SampleData& data)
        : locations(PrivacyLocations::under(dir.path() + QStringLiteral("/root"), dir.path() + QStringLiteral("/home")))
        , defaults(locations.settingsFile)
        , logger(locations.dataDirectory)
        , assistance(locations.dataDirectory)
        , engine({&logger, &assistance, &defaults}, locations, nullptr,
              [&data] { return Date::from1970(double(data.clock().now().toSecsSinceEpoch())); })
    {
        const Date now = Date::from1970(double(data.clock().now().toSecsSinceEpoch()));
        if (data.kind() == SampleData::Kind::sample) {
            const struct
            {
                double ago;
                const char* category;
                const char* action;
                const char* process;
                std::int32_t pid;
                bool success;
            } actions[] = {
                {90000, "Spotlight", "Paused file indexing", nullptr, 0, true},
                {7300, "SIGCONT", "Resumed process", "chrome", 4242, true},
                {3600, "SIGSTOP", "Suspended process", SampleData::kLongProcessName, 4243, true},
                {600, "Power", "Read power metrics", nullptr, 0, true},
                {61, "SIGSTOP", "Suspended process failed: Operation not permitted", "slack", 5120, false},
                {12, "System", "Checked helper version", nullptr, 0, true},
            };
            for (const auto& a : actions) {
                AuditEvent e {Uuid::random(), now.addingTimeInterval(-a.ago), a.category, a.action,
                    a.process ? std::optional<std::string>(a.process) : std::nullopt,
                    a.process ? std::optional<std::int32_t>(a.pid) : std::nullopt, a.success};
                logger.log(e);
                engine.recordHelperAction(e);
            }
            engine.recordOwnNetworkCall("localhost:11434", "Model list");
            engine.recordOwnNetworkCall("localhost:11434", "Model list");
            defaults.setString(QStringLiteral("appTheme"), QStringLiteral("Standard"));
            QFile suspended(locations.dataDirectory + QStringLiteral("/suspended_processes.json"));
            if (suspended.open(QIODevice::WriteOnly))
                suspended.write(R"({"bootId":"x","processes":[{"pid":1},{"pid":2}]})");
            helper->helperStatus.isInstalled = true;
            helper->helperStatus.isConnected = true;
            helper->helperStatus.version = "1.0.3";
            helper->helperStatus.isRootOwned = true;
            helper->helperStatus.entitlements
                = {"CapabilityBoundingSet=CAP_KILL CAP_SYS_PTRACE", "AmbientCapabilities=", "NoNewPrivileges=yes",
                    "ProtectSystem=strict", "ProtectHome=yes", "PrivateNetwork=yes", "RestrictAddressFamilies=AF_UNIX"};
            helper->helperStatus.entitlementSource = HelperStatus::EntitlementSource::systemd;
            helper->helperStatus.entitlementFiles = {"/usr/lib/systemd/system/com.quorvane.helper.service"};
        }
        services = PrivacyServices {&engine, &logger, helper, &data.dialogs(), &data.desktop(), &data.clock(),
            QThreadPool::globalInstance(), locations.dataDirectory, locations.helperBinary,
            QFileInfo(locations.settingsFile).absolutePath()};
    }
    // The pages' work, on the global pool, uses what this holds.
    ~PrivacySample() { QThreadPool::globalInstance()->waitForDone(); }

    QTemporaryDir dir;
    PrivacyLocations locations;
    UserDefaults defaults;
    AuditLogger logger;
    AssistanceTracker assistance;
    PrivacyMetricsEngine engine;
    std::shared_ptr<SampleHelper> helper = std::make_shared<SampleHelper>();
    std::shared_ptr<SampleNotifications> notifications = std::make_shared<SampleNotifications>();
    PrivacyServices services;
};

// A card of the privacy page alone, at the width that long page gives it.
template<class View> void addCard(SnapshotRegistry& registry, const QString& name)
{
    registry.add(name, [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        View view(sample.services);
        return grabSettingsPage(view, c, true);
    });
}

QImage onboardingPage(const SnapshotContext& c, int step)
{
    PrivacySample sample(c.data);
    OnboardingView flow(
        step, PersonaConfiguration::WorkspacePersona::aiEngineer, PersonaConfiguration::FlavorPersona::bear,
        [&sample](OnboardingView& f) -> QWidget* {
            return new ProOnboardingView(sample.helper, sample.notifications, QThreadPool::globalInstance(),
                [&f](bool canPause) { f.finishSetup(canPause); });
        },
        [] {});
    return grabWidget(flow, c.palette);
}

} // namespace

void registerPrivacySnapshots(SnapshotRegistry& registry)
{
    addCard<DataInventoryView>(registry, QStringLiteral("privacy-data-inventory"));
    addCard<GranularClearView>(registry, QStringLiteral("privacy-granular-clear"));
    registry.add(QStringLiteral("privacy-granular-clear-ticked"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        GranularClearView view(sample.services);
        view.toggle(PrivacyMetricsEngine::ClearableDataType::auditLog);
        view.toggle(PrivacyMetricsEngine::ClearableDataType::savedYouMetrics);
        return grabSettingsPage(view, c, true);
    });
    addCard<HelperInspectorView>(registry, QStringLiteral("privacy-helper-inspector"));
    registry.add(QStringLiteral("privacy-helper-entitlements"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        HelperInspectorView view(sample.services);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        settleBackgroundWork();
        for (auto* button : view.findChildren<QAbstractButton*>()) {
            if (button->isCheckable())
                button->setChecked(true);
        }
        return grabSettingsPage(view, c, true);
    });
    // A copy that cannot set up the helper, none installed: Install answers as the setup page does, and no
    // Uninstall is offered.
    registry.add(QStringLiteral("privacy-helper-inspector-not-from-this-copy"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        sample.helper->helperStatus = {};
        sample.services.helperSetupUnavailable = QStringLiteral(
            "Not from this copy: the helper acts only for the installed program, and this copy runs from somewhere "
            "else. The helper comes with the Debian package (sudo apt install ./quorvane-pro_<version>_<arch>.deb); "
            "start the installed program to set it up.");
        HelperInspectorView view(sample.services);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        settleBackgroundWork();
        view.reinstall();
        return grabSettingsPage(view, c, true);
    });
    addCard<LiveHelperActivityView>(registry, QStringLiteral("privacy-live-activity"));
    addCard<NetworkActivityView>(registry, QStringLiteral("privacy-network-activity"));
    addCard<PrivacyCommitmentView>(registry, QStringLiteral("privacy-commitment"));
    addCard<UninstallGuideView>(registry, QStringLiteral("privacy-uninstall-guide"));
    registry.add(QStringLiteral("privacy-uninstall-audited"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        UninstallGuideView view(sample.services);
        view.pressStep(UninstallGuideView::kVerify);
        view.pressStep(UninstallGuideView::kRemovePackage);
        settleBackgroundWork();
        return grabSettingsPage(view, c, true);
    });
    registry.add(QStringLiteral("privacy-audit-sheet"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        FullAuditLogSheet sheet(sample.services);
        return grabWidget(sheet, c.palette, 2.0, sheet.size());
    });
    for (int step = 1; step <= 5; ++step) {
        registry.add(QStringLiteral("onboarding-step-%1").arg(step),
            [step](const SnapshotContext& c) { return onboardingPage(c, step); });
    }
    registry.add(QStringLiteral("privacy-tab"), [](const SnapshotContext& c) {
        PrivacySample sample(c.data);
        PrivacyTabView tab(sample.services);
        return grabSettingsPage(tab, c);
    });
}
