#include "settings/PrivacyTabView.h"

#include "../../shared/views/privacy/PrivacyFixture.h"

#include "views/privacy/DataInventoryView.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/HelperInspectorView.h"
#include "views/privacy/LiveHelperActivityView.h"
#include "views/privacy/NetworkActivityView.h"
#include "views/privacy/PrivacyCommitmentView.h"
#include "views/privacy/UninstallGuideView.h"

namespace {

class PrivacyTabViewTest : public PrivacyFixture
{
};

} // namespace

TEST_F(PrivacyTabViewTest, StacksTheSevenCardsInOrderUnderSixHeaders)
{
    PrivacyTabView tab(services());
    const auto& cards = tab.cards();
    ASSERT_EQ(cards.size(), 7);
    EXPECT_TRUE(qobject_cast<PrivacyCommitmentView*>(cards[0]));
    EXPECT_TRUE(qobject_cast<NetworkActivityView*>(cards[1]));
    EXPECT_TRUE(qobject_cast<HelperInspectorView*>(cards[2]));
    EXPECT_TRUE(qobject_cast<LiveHelperActivityView*>(cards[3]));
    EXPECT_TRUE(qobject_cast<DataInventoryView*>(cards[4]));
    EXPECT_TRUE(qobject_cast<GranularClearView*>(cards[5]));
    EXPECT_TRUE(qobject_cast<UninstallGuideView*>(cards[6]));
    EXPECT_EQ(tab.headers(),
        (QStringList {"Quorvane Network Activity", "Privileged Helper Inspector", "Live Helper Activity Timeline",
            "Data Stored On This Computer", "Clear Data", "Uninstall Quorvane"}));
    tab.show();
    settle();
    EXPECT_TRUE(static_cast<DataInventoryView*>(cards[4])->inventory().has_value());
}

TEST_F(PrivacyTabViewTest, TheStoredDataCardFollowsEveryErasureAndExport)
{
    const auto logSome = [this](int count) {
        for (int i = 0; i < count; ++i)
            logger.log(event("SIGSTOP", "Froze"));
    };
    logSome(6);
    PrivacyTabView tab(services());
    auto* stored = static_cast<DataInventoryView*>(tab.cards()[4]);
    auto* erasure = static_cast<GranularClearView*>(tab.cards()[5]);
    auto* uninstall = static_cast<UninstallGuideView*>(tab.cards()[6]);
    tab.show();
    // The card shows what the store holds now, count and total alike.
    const auto showsTheStore = [&](const char* entries) {
        return waitFor([&] {
            const auto& shown = stored->inventory();
            return shown && stored->rowTexts()[0][1] == entries
                && shown->totalSizeBytes() == engine.calculateDataInventory().totalSizeBytes();
        });
    };
    ASSERT_TRUE(showsTheStore("6 entries"));

    erasure->toggle(PrivacyMetricsEngine::ClearableDataType::auditLog);
    erasure->requestClearSelected();
    EXPECT_TRUE(showsTheStore("0 entries"));

    logSome(2);
    dialogs.chosenPath = dir.filePath("export.json");
    stored->exportAllData();
    EXPECT_TRUE(showsTheStore("2 entries"));

    erasure->requestClearEverything();
    EXPECT_TRUE(showsTheStore("0 entries"));

    logSome(3);
    stored->exportAllData();
    ASSERT_TRUE(showsTheStore("3 entries"));
    uninstall->pressStep(UninstallGuideView::kClearData);
    EXPECT_TRUE(showsTheStore("0 entries"));
}
