#include "FakeHelper.h"
#include "PersonaTestSupport.h"

#include "core/PersonaViewModel.h"
#include "helper/HelperTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace personatest;

namespace {

template<class T> bool finish(QFuture<T> future)
{
    return QTest::qWaitFor([&] { return future.isFinished(); }, 5000);
}

class PersonaViewModelTest : public PersonaEngineFixture
{
};

TEST_F(PersonaViewModelTest, ShowsDefaultsUntilItsFirstRefreshThenTheEnginesState)
{
    auto engine = makeEngine();
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    PersonaViewModel model(*engine);
    EXPECT_TRUE(model.activePersonas().empty());
    EXPECT_TRUE(model.personaHistory().empty());
    EXPECT_EQ(model.savedYouMetrics().autonomousActionsCount, 0);
    EXPECT_EQ(model.configuration(), PersonaConfiguration::defaultConfiguration());

    QSignalSpy changed(&model, &PersonaViewModel::activePersonasChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.activePersonas().empty(); }, 5000));
    EXPECT_EQ(model.personaHistory().size(), 1u);
    EXPECT_EQ(model.configuration(), config());

    // An engine change made elsewhere reaches the copy through the change handler.
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.activePersonas().size() == 2; }, 5000));
    EXPECT_GE(changed.count(), 2);
}

TEST_F(PersonaViewModelTest, IntentsReachTheEngineAndFailuresOnlyShowInTheCopy)
{
    auto engine = makeEngine();
    PersonaViewModel model(*engine);
    ASSERT_TRUE(finish(model.freezeProcess(90, "indexer")));
    EXPECT_TRUE(model.frozenProcesses().contains(90));
    ASSERT_TRUE(finish(model.activatePersona(AutoPersona::compileMode, "manual override")));
    EXPECT_EQ(model.personaHistory().back().trigger, "manual override");
    ASSERT_TRUE(finish(model.deactivatePersona(AutoPersona::compileMode)));
    EXPECT_TRUE(model.activePersonas().empty());
    EXPECT_TRUE(model.frozenProcesses().empty());

    // A pid not in the table is still signalled, and the table stays as it was.
    m_xpc.clearMockSignals();
    ASSERT_TRUE(finish(model.resumeProcess(4242)));
    EXPECT_EQ(m_xpc.mockSignalsSent(), (std::vector<std::pair<std::int32_t, std::int32_t>> {{4242, SIGCONT}}));

    auto c = model.configuration();
    c.customFreezeList = {"blender"};
    ASSERT_TRUE(finish(model.updateConfiguration(c)));
    EXPECT_EQ(model.configuration().customFreezeList, std::vector<std::string> {"blender"});
}

TEST_F(PersonaViewModelTest, AFailedResumeKeepsTheProcessListed)
{
    const std::string socket = m_dir.filePath("helper.sock").toStdString();
    ::setenv(platform::kHelperSocketEnvironment, socket.c_str(), 1);
    FakeHelper helper(socket, [](const platform::HelperRequest& r) {
        return r.signal == SIGCONT ? platform::failureReply(r.id, platform::posixError(EPERM))
                                   : platform::successReply(r.id);
    });
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    PersonaViewModel model(*engine);
    ASSERT_TRUE(finish(model.freezeProcess(91, "indexer")));
    ASSERT_TRUE(finish(model.resumeProcess(91)));
    EXPECT_TRUE(model.frozenProcesses().contains(91));
    ::unsetenv(platform::kHelperSocketEnvironment);
}

TEST_F(PersonaViewModelTest, AReleasedViewModelIsNotRefreshed)
{
    auto engine = makeEngine();
    {
        PersonaViewModel model(*engine);
        QTest::qWait(50);
    }
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    QTest::qWait(100); // the queued refresh finds no view model and does nothing
    EXPECT_EQ(engine->activePersonas().size(), 1u);
}

} // namespace
