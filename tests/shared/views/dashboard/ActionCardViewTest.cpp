#include "views/dashboard/ActionCardView.h"

#include "core/UserDefaults.h"
#include "records/ThemeManager.h"
#include "support/doubles/ui/FakeClock.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPromise>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using State = ActionCardView::State;
using Result = ActionCardView::Result;

// A card whose action finishes when the test says so.
struct CardFixture : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath(QStringLiteral("d.conf"))};
    ThemeManager themes {defaults};
    FakeClock clock;
    int executed = 0;
    int dismissed = 0;
    std::shared_ptr<QPromise<Result>> promise;

    std::unique_ptr<ActionCardView> makeCard(ActionCardView::CardInfo::Urgency urgency = {})
    {
        ActionCardView::CardInfo info;
        info.id = Uuid::random();
        info.title = QStringLiteral("Free inactive memory");
        info.description = QStringLiteral("Hand 6 GB back to the system.");
        info.estimatedImpact = QStringLiteral("+6 GB");
        info.urgency = urgency;
        info.onExecute = [this] {
            ++executed;
            promise = std::make_shared<QPromise<Result>>();
            promise->start();
            return promise->future();
        };
        info.onDismiss = [this] { ++dismissed; };
        auto card = std::make_unique<ActionCardView>(info, themes, clock);
        card->show();
        return card;
    }

    void finish(const Result& result)
    {
        promise->addResult(result);
        promise->finish();
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(CardFixture, ExecutingCardRunsOnceAndCannotBeDismissed)
{
    auto card = makeCard();
    EXPECT_EQ(card->executeText(), QStringLiteral("Execute"));
    QTest::mouseClick(card->executeButton(), Qt::LeftButton);
    QTest::mouseDClick(card->executeButton(), Qt::LeftButton);
    card->execute();
    EXPECT_EQ(executed, 1);
    EXPECT_EQ(card->state(), State::executing);
    EXPECT_EQ(card->executeText(), QStringLiteral("Executing..."));
    EXPECT_FALSE(card->dismissButton()->isEnabled());
    QTest::mouseClick(card->dismissButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed, 0);

    // An action that never returns leaves the card executing, however long it takes.
    clock.advance(60'000);
    EXPECT_EQ(card->state(), State::executing);
    EXPECT_EQ(dismissed, 0);
}

TEST_F(CardFixture, DoneShowsThenDismissesItselfAfterOnePointTwoSeconds)
{
    auto card = makeCard(ActionCardView::CardInfo::Urgency::critical);
    card->execute();
    finish({true, QStringLiteral("Freed 6 GB")});
    EXPECT_EQ(card->state(), State::done);
    EXPECT_EQ(card->executeText(), QStringLiteral("Done"));
    EXPECT_FALSE(card->executeButton()->isEnabled());
    EXPECT_TRUE(card->dismissButton()->isEnabled());

    // Pressing dismiss while "Done" shows calls at once; the automatic call still follows.
    QTest::mouseClick(card->dismissButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed, 1);
    clock.advance(1199);
    EXPECT_EQ(dismissed, 1);
    clock.advance(1);
    EXPECT_EQ(dismissed, 2);
    card->execute();
    EXPECT_EQ(executed, 1);
}

TEST_F(CardFixture, FailureShowsFailedWithItsReasonAndStays)
{
    auto card = makeCard();
    card->execute();
    finish({false, QStringLiteral("The helper is not running.")});
    EXPECT_EQ(card->state(), State::failed);
    EXPECT_EQ(card->executeText(), QStringLiteral("Failed"));
    EXPECT_EQ(card->executeButton()->toolTip(), QStringLiteral("The helper is not running."));
    EXPECT_FALSE(card->executeButton()->isEnabled());
    EXPECT_TRUE(card->dismissButton()->isEnabled());
    clock.advance(10'000);
    EXPECT_EQ(dismissed, 0);
    EXPECT_EQ(card->state(), State::failed);
}

TEST_F(CardFixture, AThrownErrorIsAFailure)
{
    // Thrown in the work behind the future.
    auto card = makeCard();
    card->execute();
    promise->setException(std::make_exception_ptr(std::runtime_error("socket closed")));
    promise->finish();
    QCoreApplication::processEvents();
    EXPECT_EQ(card->state(), State::failed);
    EXPECT_EQ(card->failureMessage(), QStringLiteral("socket closed"));

    // Thrown by the closure itself.
    ActionCardView::CardInfo info;
    info.onExecute = []() -> QFuture<Result> { throw std::runtime_error("no engine"); };
    info.onDismiss = [this] { ++dismissed; };
    ActionCardView other(info, themes, clock);
    other.execute();
    EXPECT_EQ(other.state(), State::failed);
    EXPECT_EQ(other.executeButton()->toolTip(), QStringLiteral("no engine"));
    clock.advance(5000);
    EXPECT_EQ(dismissed, 0);
}
