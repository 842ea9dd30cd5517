#include "PopoverTestSupport.h"

#include "popover/RecommendedActionsSection.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPromise>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace {

using State = ActionCardView::State;

ActionCard card(const std::string& title, ActionType action, Urgency urgency = Urgency::warning)
{
    return ActionCard {Uuid::random(), title, "why " + title, std::move(action), "impact", urgency};
}

ActionType freeze(int pid)
{
    return ActionType::FreezeProcess {pid, "worker" + std::to_string(pid)};
}

// The engine as the section sees it: lists given by the test (at once, or when it releases them) and
// actions that finish when the test says so.
struct FakeEngine
{
    std::vector<ActionCard> cards;
    bool holdLists = false;
    int generated = 0;
    std::vector<std::shared_ptr<QPromise<std::vector<ActionCard>>>> lists;
    std::vector<ActionType> executed;
    std::vector<std::shared_ptr<QPromise<ActionResult>>> runs;

    ActionRunner runner()
    {
        ActionRunner r;
        r.generate = [this](const SystemMemoryState&, const std::vector<OllamaModel>&) {
            ++generated;
            // A fresh id for every card at every call, as the engine does.
            auto fresh = cards;
            for (auto& c : fresh)
                c.id = Uuid::random();
            if (!holdLists)
                return QtFuture::makeReadyFuture(fresh);
            lists.push_back(std::make_shared<QPromise<std::vector<ActionCard>>>());
            lists.back()->start();
            return lists.back()->future();
        };
        r.execute = [this](const ActionType& action) {
            executed.push_back(action);
            runs.push_back(std::make_shared<QPromise<ActionResult>>());
            runs.back()->start();
            return runs.back()->future();
        };
        return r;
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

class RecommendedActionsTest : public popovertest::PopoverFixture
{
protected:
    FakeEngine engine;
    int samples = 0;

    std::unique_ptr<RecommendedActionsSection> makeSection(FakeEngine& e)
    {
        auto section = std::make_unique<RecommendedActionsSection>(*dashboard, e.runner(), themes, clock);
        section->show();
        settle();
        return section;
    }
    // Every sample differs from the one before, as real ones do.
    void newSample()
    {
        dashboard->publishSample(sample(32, 12 + 0.01 * ++samples));
        settle();
    }
    static QStringList titles(const RecommendedActionsSection& s)
    {
        QStringList t;
        for (auto* v : s.cardViews())
            t << v->card().title;
        return t;
    }
};

} // namespace

TEST_F(RecommendedActionsTest, NoSampleNoEngineCallAndAnEmptyListShowsTheLine)
{
    engine.cards = {card("a", freeze(1))};
    auto section = makeSection(engine);
    EXPECT_EQ(engine.generated, 0);
    EXPECT_TRUE(section->showsEmptyText());

    engine.cards.clear();
    newSample();
    EXPECT_EQ(engine.generated, 1);
    EXPECT_TRUE(section->showsEmptyText());
    EXPECT_TRUE(section->cardViews().isEmpty());
}

TEST_F(RecommendedActionsTest, FiveCardsShowTwoAndDismissMovesTheNextUp)
{
    for (int i = 1; i <= 5; ++i)
        engine.cards.push_back(card("card " + std::to_string(i), freeze(i)));
    auto section = makeSection(engine);
    newSample();
    EXPECT_EQ(section->actionCards().size(), 5);
    EXPECT_EQ(titles(*section), (QStringList {"card 1", "card 2"}));
    EXPECT_FALSE(section->showsEmptyText());

    QTest::mouseClick(section->cardViews()[0]->dismissButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(titles(*section), (QStringList {"card 2", "card 3"}));

    // A card whose condition persists comes back at the next sample.
    newSample();
    EXPECT_EQ(titles(*section), (QStringList {"card 1", "card 2"}));
}

TEST_F(RecommendedActionsTest, ACardKeepsItsIdentityAndItsRunAcrossRebuilds)
{
    engine.cards = {card("flush", ActionType::FlushInactiveMemory {}), card("freeze", freeze(7))};
    auto section = makeSection(engine);
    newSample();
    ActionCardView* flush = section->cardViews()[0];
    const Uuid id = flush->card().id;

    // The same action from a rebuilt list keeps its card, even though the engine made a new id.
    newSample();
    EXPECT_EQ(section->cardViews()[0], flush);
    EXPECT_EQ(section->actionCards()[0].id, id);

    flush->execute();
    ASSERT_EQ(engine.executed.size(), 1u);
    // The executing card survives rebuilds, also those that no longer propose its action.
    engine.cards = {card("other", freeze(8)), card("freeze", freeze(7))};
    newSample();
    newSample();
    ASSERT_EQ(section->cardViews().size(), 2);
    EXPECT_EQ(section->cardViews()[0], flush);
    EXPECT_EQ(flush->state(), State::executing);
    EXPECT_EQ(titles(*section), (QStringList {"flush", "other"}));

    engine.runs[0]->addResult(ActionResult {true, "done"});
    engine.runs[0]->finish();
    settle();
    EXPECT_EQ(flush->state(), State::done);
    newSample();
    EXPECT_EQ(section->cardViews()[0], flush);
    // 1.2 s after it finished the card leaves the list, and the next one moves up.
    clock.advance(ActionCardView::kDismissDelayMs);
    settle();
    EXPECT_EQ(titles(*section), (QStringList {"other", "freeze"}));
    EXPECT_EQ(engine.executed.size(), 1u);
}

TEST_F(RecommendedActionsTest, TheSameActionNeverRunsTwiceAtOnce)
{
    engine.cards = {card("freeze", freeze(42), Urgency::critical)};
    // Two popover hosts over the same engine.
    auto one = makeSection(engine);
    auto two = makeSection(engine);
    newSample();
    one->cardViews()[0]->execute();
    two->cardViews()[0]->execute();
    settle();
    EXPECT_EQ(engine.executed.size(), 1u);
    EXPECT_EQ(two->cardViews()[0]->state(), State::failed);
    EXPECT_EQ(two->cardViews()[0]->failureMessage(), QStringLiteral("This action is already running."));

    // Once the first run is back, the action may run again.
    engine.runs[0]->addResult(ActionResult {true, {}});
    engine.runs[0]->finish();
    settle();
    QTest::mouseClick(two->cardViews()[0]->dismissButton(), Qt::LeftButton);
    newSample();
    two->cardViews()[0]->execute();
    EXPECT_EQ(engine.executed.size(), 2u);
}

TEST_F(RecommendedActionsTest, AFailedOrThrowingActionShowsFailedAndStays)
{
    engine.cards
        = {card("unload", ActionType::UnloadOllamaModel {"llama3"}), card("clear", ActionType::ClearOllamaKVCache {})};
    auto section = makeSection(engine);
    newSample();
    ActionCardView* unload = section->cardViews()[0];
    ActionCardView* clear = section->cardViews()[1];
    unload->execute();
    clear->execute();
    engine.runs[0]->addResult(ActionResult {false, "The model server is not running."});
    engine.runs[0]->finish();
    engine.runs[1]->setException(std::make_exception_ptr(std::runtime_error("connection refused")));
    engine.runs[1]->finish();
    settle();
    EXPECT_EQ(unload->state(), State::failed);
    EXPECT_EQ(unload->failureMessage(), QStringLiteral("The model server is not running."));
    EXPECT_EQ(clear->state(), State::failed);
    EXPECT_EQ(clear->failureMessage(), QStringLiteral("connection refused"));
    clock.advance(5000);
    newSample();
    EXPECT_EQ(section->cardViews(), (QList<ActionCardView*> {unload, clear}));
}

// The engine says which action cannot run here; the card says so and offers nothing to press, and the same
// card offers its action once the engine no longer gives a reason.
TEST_F(RecommendedActionsTest, ACardTheEngineCannotRunSaysWhyAndRunsNothing)
{
    ActionCard flush = card("flush", ActionType::FlushInactiveMemory {}, Urgency::info);
    flush.unavailableReason = "Needs the Quorvane Pro helper, which is not installed on this computer.";
    engine.cards = {flush};
    auto section = makeSection(engine);
    newSample();
    ASSERT_EQ(section->cardViews().size(), 1);
    ActionCardView* view = section->cardViews()[0];
    EXPECT_EQ(view->card().unavailable,
        QStringLiteral("Needs the Quorvane Pro helper, which is not installed on this computer."));
    EXPECT_FALSE(view->executeButton()->isEnabled());
    view->execute();
    settle();
    EXPECT_TRUE(engine.executed.empty());

    engine.cards[0].unavailableReason.reset();
    newSample();
    ASSERT_EQ(section->cardViews(), QList<ActionCardView*> {view});
    EXPECT_TRUE(view->card().unavailable.isEmpty());
    EXPECT_TRUE(view->executeButton()->isEnabled());
}

TEST_F(RecommendedActionsTest, RebuildsDoNotPileUpAndTheNewestListWins)
{
    engine.holdLists = true;
    engine.cards = {card("first", freeze(1))};
    auto section = makeSection(engine);
    newSample();
    ASSERT_EQ(engine.lists.size(), 1u);
    // Three samples while the engine is busy: one more request, for the newest, once it is back.
    newSample();
    newSample();
    newSample();
    EXPECT_EQ(engine.generated, 1);
    engine.lists[0]->addResult(std::vector<ActionCard> {card("old", freeze(1))});
    engine.lists[0]->finish();
    settle();
    ASSERT_EQ(engine.generated, 2);
    EXPECT_EQ(titles(*section), (QStringList {"old"}));
    engine.lists[1]->addResult(std::vector<ActionCard> {card("new", freeze(2))});
    engine.lists[1]->finish();
    settle();
    EXPECT_EQ(titles(*section), (QStringList {"new"}));
}
