#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "core/HelperAccess.h"
#include "popover/PopoverView.h"
#include "records/HelperService.h"
#include "settings/NotificationPermission.h"
#include "settings/ProOnboardingView.h"
#include "ui/ViewSettings.h"
#include "views/privacy/OnboardingView.h"

#include <QThreadPool>

#include <unistd.h>

namespace {

// A machine without the helper's setup program and without a notification service: the setup page
// after both of its buttons were pressed there shows both failures.
class MissingSetupProgram : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus status() override { return {}; }
    Outcome install() override
    {
        return {
            false, QStringLiteral("the setup program is missing: %1").arg(SystemdHelperService::defaultSetupProgram())};
    }
    Outcome uninstall() override { return {true, {}}; }
};

class NoNotificationService : public NotificationPermission
{
public:
    bool request() override { return false; }
};

void pressBoth(ProOnboardingView* page)
{
    if (!page)
        return;
    page->installHelper();
    page->allowNotifications();
    settleBackgroundWork();
}

QImage failedCard(const SnapshotContext& c)
{
    auto helper = std::make_shared<MissingSetupProgram>();
    auto notifications = std::make_shared<NoNotificationService>();
    OnboardingView flow(
        4, PersonaConfiguration::WorkspacePersona::aiEngineer, PersonaConfiguration::FlavorPersona::bear,
        [&](OnboardingView& f) -> QWidget* {
            // The global pool, which pressBoth() waits for before these go.
            return new ProOnboardingView(
                helper, notifications, QThreadPool::globalInstance(), [&f](bool canPause) { f.finishSetup(canPause); });
        },
        [] {});
    pressBoth(qobject_cast<ProOnboardingView*>(flow.page()));
    return grabWidget(flow, c.palette);
}

QImage failedInPopover(const SnapshotContext& c)
{
    SamplePopover p(c, 1, false, 4, [](PopoverEngines& engines) {
        engines.helperService = std::make_shared<MissingSetupProgram>();
        engines.notificationPermission = std::make_shared<NoNotificationService>();
    });
    p.show();
    pressBoth(p.view->findChild<ProOnboardingView*>());
    const QImage image = grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
    c.data.settings().setHasFinishedOnboarding(true);
    return image;
}

// A copy the helper does not act for (one run from its build folder): the row says so, Continue is open,
// and the last page says what holds without the helper.
QImage notFromThisCopyInPopover(const SnapshotContext& c, bool lastPage)
{
    SamplePopover p(c, 1, false, 4, [](PopoverEngines& engines) {
        engines.helperService = std::make_shared<MissingSetupProgram>();
        engines.notificationPermission = std::make_shared<NoNotificationService>();
        engines.helperSetupUnavailable = helperSetupUnavailableReason(
            "/usr/bin/quorvane-pro", ::getpid(), SystemdHelperService::defaultSetupProgram());
    });
    p.show();
    if (lastPage) {
        if (auto* page = p.view->findChild<ProOnboardingView*>())
            page->continueSetup();
        settleBackgroundWork();
    }
    const QImage image = grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
    c.data.settings().setHasFinishedOnboarding(true);
    return image;
}

// The conflict style page of a copy that cannot set up the helper: no style will freeze anything.
QImage styleWithoutHelper(const SnapshotContext& c)
{
    SamplePopover p(c, 1, false, 3, [](PopoverEngines& engines) {
        engines.helperSetupUnavailable = helperSetupUnavailableReason(
            "/usr/bin/quorvane-pro", ::getpid(), SystemdHelperService::defaultSetupProgram());
    });
    p.personas.viewModel->setHelperAccess(HelperAccess::notInstalledProgram);
    p.show();
    const QImage image = grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
    c.data.settings().setHasFinishedOnboarding(true);
    return image;
}

} // namespace

void registerSetupFailureSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("popover-onboarding-3-not-from-this-copy"), styleWithoutHelper);
    registry.add(QStringLiteral("onboarding-step-4-failed"), failedCard);
    registry.add(QStringLiteral("popover-onboarding-4-failed"), failedInPopover);
    registry.add(QStringLiteral("popover-onboarding-4-not-from-this-copy"),
        [](const SnapshotContext& c) { return notFromThisCopyInPopover(c, false); });
    registry.add(QStringLiteral("popover-onboarding-5-without-helper"),
        [](const SnapshotContext& c) { return notFromThisCopyInPopover(c, true); });
}
