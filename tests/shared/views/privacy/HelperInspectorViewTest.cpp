#include "PrivacyFixture.h"

#include "ui/ElidedLabel.h"
#include "views/privacy/HelperInspectorView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>

namespace {

class HelperInspectorViewTest : public PrivacyFixture
{
protected:
    void load(HelperInspectorView& view)
    {
        const int before = helper.statusReads;
        view.hide();
        view.show();
        ASSERT_TRUE(waitFor([&] { return helper.statusReads > before && !view.statusText().isEmpty(); }));
        settle();
    }
};

} // namespace

TEST_F(HelperInspectorViewTest, ShowsTheThreeStatesFromTheRealChecks)
{
    HelperInspectorView view(services());
    EXPECT_TRUE(view.statusText().isEmpty());
    load(view);
    EXPECT_EQ(view.statusText(), "Not installed");
    EXPECT_EQ(view.versionText(), "—");
    EXPECT_EQ(view.ownershipText(), "Not verified ⚠");

    helper.helperStatus.isInstalled = true;
    helper.helperStatus.version = "unknown";
    load(view);
    EXPECT_EQ(view.statusText(), "Installed, not connected");
    EXPECT_EQ(view.versionText(), "—");

    helper.helperStatus.isConnected = true;
    helper.helperStatus.version = "1.0.3";
    helper.helperStatus.isRootOwned = true;
    load(view);
    EXPECT_EQ(view.statusText(), "Installed and connected");
    EXPECT_EQ(view.versionText(), "v1.0.3");
    EXPECT_TRUE(view.ownershipText().endsWith("✓"));
}

TEST_F(HelperInspectorViewTest, ListsEveryOperationAndOnlyAnInstalledUnitsSettings)
{
    HelperInspectorView view(services());
    const QStringList can = view.abilityTexts();
    EXPECT_EQ(can.size(), 7);
    EXPECT_TRUE(can.contains("Drop the kernel's clean page cache (free memory)"));
    EXPECT_TRUE(can.contains("Report its version"));

    load(view);
    EXPECT_FALSE(view.offersEntitlements());
    EXPECT_EQ(view.installLabel(), "Install Helper");

    helper.helperStatus.isInstalled = true;
    helper.helperStatus.entitlements = {"PrivateNetwork=yes"};
    load(view);
    EXPECT_TRUE(view.offersEntitlements());
    EXPECT_EQ(view.installLabel(), "Reinstall Helper");
    EXPECT_EQ(view.entitlementTexts(),
        (QStringList {"PrivateNetwork=yes", "No network of any kind: it cannot reach another computer"}));

    // Where they come from, and what a drop-in changed.
    using Source = PrivacyMetricsEngine::HelperStatus::EntitlementSource;
    helper.helperStatus.entitlementSource = Source::unitFile;
    helper.helperStatus.entitlementFiles = {"/etc/systemd/system/com.quorvane.helper.service"};
    load(view);
    EXPECT_TRUE(view.entitlementSourceText().startsWith("Read from /etc/systemd/system/com.quorvane.helper.service "
                                                        "alone: systemd could not be asked"));
    helper.helperStatus.entitlementSource = Source::systemd;
    helper.helperStatus.entitlements = {"PrivateNetwork=no"};
    helper.helperStatus.entitlementFiles.push_back("/etc/systemd/system/com.quorvane.helper.service.d/override.conf");
    load(view);
    EXPECT_EQ(view.entitlementSourceText(),
        "As systemd applies them, from /etc/systemd/system/com.quorvane.helper.service with the drop-ins "
        "/etc/systemd/system/com.quorvane.helper.service.d/override.conf.");
    EXPECT_EQ(view.entitlementTexts(),
        (QStringList {"PrivateNetwork=no",
            "Not cut off from the network: only its other settings keep it from other computers"}));

    // Linux words for the helper's identity; no signing team to name.
    QStringList labels;
    for (const QLabel* label : view.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains("Helper ID:"));
    EXPECT_FALSE(labels.contains("Bundle ID:"));
    EXPECT_FALSE(labels.contains("Team ID:"));
}

TEST_F(HelperInspectorViewTest, VerifyCommandQuotesAPathHoldingAQuote)
{
    PrivacyServices s = services();
    s.helperBinary = dir.filePath("it's here/quorvane-helper");
    HelperInspectorView view(s);
    const QString quoted = "'" + dir.filePath("it'\\''s here/quorvane-helper") + "'";
    EXPECT_EQ(view.verifyCommand(), "sha256sum " + quoted + " && stat -c '%U %a' " + quoted);

    // The shell sees the path as one word, whatever it holds.
    QDir().mkpath(dir.filePath("it's here"));
    QFile binary(s.helperBinary);
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write("helper");
    binary.close();
    QProcess shell;
    shell.start("/bin/sh", {"-c", view.verifyCommand()});
    ASSERT_TRUE(shell.waitForFinished(5000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
}

TEST_F(HelperInspectorViewTest, FailedReinstallSaysWhyAndKeepsTheStatus)
{
    HelperInspectorView view(services());
    load(view);
    const int reads = helper.statusReads;
    helper.installOutcome = {false, "authorization cancelled"};
    view.reinstall();
    EXPECT_TRUE(view.isBusy());
    view.reinstall();
    ASSERT_TRUE(waitFor([&] { return !view.isBusy(); }));
    EXPECT_EQ(helper.installs, 1);
    EXPECT_EQ(view.statusMessage(), "Registration failed: authorization cancelled");
    settle();
    EXPECT_EQ(helper.statusReads, reads);
}

TEST_F(HelperInspectorViewTest, UninstallAsksFirstAndReloadsAfterSuccess)
{
    helper.helperStatus.isInstalled = true;
    HelperInspectorView view(services());
    load(view);
    EXPECT_TRUE(view.offersUninstall());
    dialogs.confirmAnswer = false;
    view.requestUninstall();
    settle();
    EXPECT_EQ(helper.uninstalls, 0);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.contains("resumes every process"));

    dialogs.confirmAnswer = true;
    const int reads = helper.statusReads;
    view.requestUninstall();
    ASSERT_TRUE(waitFor([&] { return !view.isBusy() && helper.statusReads > reads; }));
    EXPECT_EQ(helper.uninstalls, 1);
    EXPECT_EQ(view.statusMessage(), "Helper unregistered successfully.");
}

TEST_F(HelperInspectorViewTest, CopyPutsTheCommandOnTheClipboard)
{
    HelperInspectorView view(services());
    // Where the command does not fit, it ends in "…" and the tool tip and the copy hold all of it.
    view.resize(360, 600);
    view.show();
    QApplication::processEvents();
    auto* command = view.findChild<ElidedLabel*>(QStringLiteral("verifyCommand"));
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(command->isElided());
    EXPECT_EQ(command->toolTip(), view.verifyCommand());
    for (auto* button : view.findChildren<QAbstractButton*>()) {
        if (button->accessibleName() == "Copy")
            button->click();
    }
    EXPECT_EQ(desktop.clipboardText(), view.verifyCommand());
}

TEST_F(HelperInspectorViewTest, NoUninstallOfAHelperThatIsNotInstalledAndTheSetupPagesReasonWhereThisCopyCannot)
{
    HelperInspectorView view(services());
    EXPECT_FALSE(view.offersUninstall()); // nothing known yet
    load(view);
    ASSERT_EQ(view.statusText(), "Not installed");
    EXPECT_FALSE(view.offersUninstall());
    view.requestUninstall();
    settle();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(helper.uninstalls, 0);

    // A copy that cannot set up the helper answers Install as the setup page does, and asks for no password.
    PrivacyServices s = services();
    s.helperSetupUnavailable = "Not from this copy: the helper acts only for the installed program.";
    HelperInspectorView copy(s);
    load(copy);
    copy.reinstall();
    settle();
    EXPECT_EQ(helper.installs, 0);
    EXPECT_EQ(copy.statusMessage(), s.helperSetupUnavailable);
    EXPECT_FALSE(copy.isBusy());
    helper.helperStatus.isInstalled = true;
    load(copy);
    ASSERT_TRUE(copy.offersUninstall());
    copy.requestUninstall();
    settle();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(helper.uninstalls, 0);
    EXPECT_EQ(copy.statusMessage(), s.helperSetupUnavailable);
}
