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
