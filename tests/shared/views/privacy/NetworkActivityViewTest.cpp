#include "PrivacyFixture.h"

#include "views/privacy/NetworkActivityView.h"
#include "views/privacy/PrivacyCommitmentView.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

class NetworkActivityViewTest : public PrivacyFixture
{
protected:
    void load(NetworkActivityView& view)
    {
        view.hide();
        bool loaded = false;
        auto c = QObject::connect(&view, &NetworkActivityView::countersLoaded, [&] { loaded = true; });
        view.show();
        ASSERT_TRUE(waitFor([&] { return loaded; }));
        QObject::disconnect(c);
    }
};

} // namespace

TEST_F(NetworkActivityViewTest, EmptyLedgerIsAirGapped)
{
    NetworkActivityView view(services());
    load(view);
    EXPECT_EQ(view.callsToday(), 0);
    EXPECT_TRUE(view.isAirGapShown());
    EXPECT_EQ(view.airGapText(), "0 External Calls ✓");
}

TEST_F(NetworkActivityViewTest, NonLocalCallsOfTheLastDayTurnTheTileOrange)
{
    engine.recordOwnNetworkCall("localhost:11434", "models");
    engine.recordOwnNetworkCall("https://api.ipify.org", "public address");
    engine.recordOwnNetworkCall("https://api.ipify.org", "public address");
    NetworkActivityView view(services());
    load(view);
    EXPECT_EQ(view.callsToday(), 3);
    EXPECT_EQ(view.nonLocalCalls(), 2);
    EXPECT_FALSE(view.isAirGapShown());
    EXPECT_EQ(view.airGapText(), "2");

    clock.advance(86400 * 1000);
    load(view);
    EXPECT_EQ(view.callsToday(), 0);
    EXPECT_TRUE(view.isAirGapShown());
}

TEST_F(NetworkActivityViewTest, CopiesTheCommandAndExpandsTheDetails)
{
    NetworkActivityView view(services());
    for (auto* button : view.findChildren<QAbstractButton*>()) {
        if (button->accessibleName() == "Copy")
            button->click();
    }
    EXPECT_EQ(desktop.clipboardText(), "sudo ss -tunp | grep -i quorvane");
    EXPECT_FALSE(view.isDetailsExpanded());
    view.toggleDetails();
    EXPECT_TRUE(view.isDetailsExpanded());
    view.toggleDetails();
    EXPECT_FALSE(view.isDetailsExpanded());
}

TEST_F(NetworkActivityViewTest, ModelServerIsActiveOnlyWhenItAnsweredAndTheOutsideServiceIsNamed)
{
    NetworkActivityView view(services());
    load(view);
    EXPECT_EQ(view.modelServerStatusText(), "Local Network Only"); // never asked
    engine.recordModelServerReply(true);
    load(view);
    EXPECT_EQ(view.modelServerStatusText(), "Active · Local Network Only");
    engine.recordModelServerReply(false);
    load(view);
    EXPECT_EQ(view.modelServerStatusText(), "Local Network Only");

    // Both cards name the one outside service and when it is asked.
    PrivacyCommitmentView commitment(services());
    for (QWidget* card : {static_cast<QWidget*>(&view), static_cast<QWidget*>(&commitment)}) {
        QStringList texts;
        for (auto* label : card->findChildren<QLabel*>())
            texts << label->text();
        const QString all = texts.join('\n');
        EXPECT_TRUE(all.contains("api.ipify.org")) << all.toStdString();
        EXPECT_TRUE(all.contains("only while the Network view is open, at most every 10 minutes"));
        EXPECT_FALSE(all.contains("Only when you ask for it"));
        EXPECT_FALSE(all.contains("Only connects to local AI tools"));
    }
}
