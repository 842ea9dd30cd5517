#include "PersonaTestSupport.h"

#include "core/ConfigCommitter.h"
#include "core/PersonaViewModel.h"

#include <QPromise>
#include <QTest>

using namespace personatest;

namespace {

PersonaConfiguration withHeadroom(double gb)
{
    auto c = PersonaConfiguration::defaultConfiguration();
    c.headroomWarningThresholdGB = gb;
    return c;
}

TEST(ConfigCommitterTest, WritesOneAtATimeAndOnlyTheNewestOfThoseThatWaited)
{
    std::vector<double> written;
    std::vector<std::shared_ptr<QPromise<void>>> pending;
    PersonaConfiguration shown = PersonaConfiguration::defaultConfiguration();
    ConfigCommitter committer(
        [&](const PersonaConfiguration& c) {
            written.push_back(c.headroomWarningThresholdGB);
            auto promise = std::make_shared<QPromise<void>>();
            promise->start();
            pending.push_back(promise);
            return promise->future();
        },
        [&] { return shown; });

    EXPECT_EQ(committer.latest(), shown);
    QFuture<void> first = committer.commit(withHeadroom(9));
    QFuture<void> second = committer.commit(withHeadroom(10));
    QFuture<void> third = committer.commit(withHeadroom(11));
    // The first write runs alone; the edits behind it start from the newest configuration.
    EXPECT_EQ(written, std::vector<double>({9}));
    EXPECT_EQ(committer.latest().headroomWarningThresholdGB, 11);

    pending[0]->finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.size() == 2; }, 2000));
    EXPECT_TRUE(first.isFinished());
    EXPECT_FALSE(second.isFinished());
    EXPECT_EQ(written, std::vector<double>({9, 11}));

    pending[1]->finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return third.isFinished(); }, 2000));
    EXPECT_TRUE(second.isFinished());
    EXPECT_FALSE(committer.isBusy());
    shown = withHeadroom(11);
    EXPECT_EQ(committer.latest().headroomWarningThresholdGB, 11);
}

class ConfigCommitRaceTest : public PersonaEngineFixture
{
};

// A slider step and a toggle made before the first write has come back both survive, in the view model
// and in the stored record.
TEST_F(ConfigCommitRaceTest, ASliderStepFollowedAtOnceByAToggleKeepsBoth)
{
    auto engine = makeEngine(PersonaConfiguration::defaultConfiguration());
    PersonaViewModel model(*engine);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.configCommitter().isBusy(); }, 5000));

    ConfigCommitter& committer = model.configCommitter();
    auto slider = committer.latest();
    slider.aggressivenessLevel = 0.55;
    committer.commit(slider);
    auto toggle = committer.latest();
    toggle.autoUnloadOllamaEnabled = false;
    QFuture<void> done = model.updateConfiguration(toggle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 5000));

    EXPECT_DOUBLE_EQ(model.configuration().aggressivenessLevel, 0.55);
    EXPECT_FALSE(model.configuration().autoUnloadOllamaEnabled);
    const auto stored = PersonaConfiguration::load(m_defaults);
    EXPECT_DOUBLE_EQ(stored.aggressivenessLevel, 0.55);
    EXPECT_FALSE(stored.autoUnloadOllamaEnabled);
}

} // namespace
