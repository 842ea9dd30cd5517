#include "PersonaTestSupport.h"

#include "core/PersonaOwnActions.h"
#include "core/SuspensionLedger.h"

using namespace personatest;

namespace {

class PersonaOwnActionsTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    RecordingXPCConnection m_xpc;
    SuspensionLedger m_ledger {m_xpc, m_dir.filePath("proc").toStdString(), m_dir.filePath("suspended.json")};
    // Nothing listens on the discard port: every model query fails at once.
    OllamaEngine m_ollama {"http://127.0.0.1:9"};
    MemoryEngine m_memory;
    std::shared_ptr<FakeInhibitor> m_inhibitor = std::make_shared<FakeInhibitor>();
    PersonaOwnActions m_actions {m_ollama, m_memory, m_ledger, m_inhibitor};
};

TEST_F(PersonaOwnActionsTest, OnlyASamplingLoopThatRunsIsSlowedAndRestored)
{
    m_memory.startPolling(3.0);
    personarecords::ActivationOutcome started;
    m_actions.start(AutoPersona::batteryMode, started);
    m_actions.start(AutoPersona::batteryMode, started);
    EXPECT_TRUE(started.samplingSlowed);
    EXPECT_DOUBLE_EQ(m_memory.interval(), PersonaOwnActions::slowedSamplingInterval);
    personarecords::DeactivationOutcome ended;
    m_actions.end(AutoPersona::batteryMode, ended);
    EXPECT_DOUBLE_EQ(m_memory.interval(), 3.0); // the interval of before, not the slowed one again
    EXPECT_FALSE(m_actions.isSamplingSlowed());

    // Memory sampling nobody runs is neither started for Battery Mode nor left running after it.
    m_memory.stopPolling();
    started = {};
    m_actions.start(AutoPersona::batteryMode, started);
    EXPECT_FALSE(started.samplingSlowed);
    EXPECT_FALSE(m_memory.isPolling());
    m_memory.startPolling(3.0);
    m_actions.start(AutoPersona::batteryMode, started);
    m_memory.stopPolling();
    m_actions.end(AutoPersona::batteryMode, ended);
    EXPECT_FALSE(m_memory.isPolling());
}

TEST_F(PersonaOwnActionsTest, TheSleepLockIsTakenOnceAndGivenBackOnce)
{
    personarecords::ActivationOutcome started;
    m_actions.start(AutoPersona::aiFirstMode, started);
    m_actions.start(AutoPersona::aiFirstMode, started);
    EXPECT_TRUE(started.sleepHeld);
    EXPECT_FALSE(started.modelLoaded); // the model server does not answer
    EXPECT_EQ(m_inhibitor->acquired, 1);
    personarecords::DeactivationOutcome ended;
    m_actions.end(AutoPersona::aiFirstMode, ended);
    m_actions.endAll(std::nullopt);
    EXPECT_EQ(m_inhibitor->released, 1);
    EXPECT_FALSE(m_inhibitor->held);

    // Refused, no lock is held, and none is given back.
    m_inhibitor->grant = false;
    started = {};
    m_actions.start(AutoPersona::aiFirstMode, started);
    EXPECT_FALSE(started.sleepHeld);
    m_actions.end(AutoPersona::aiFirstMode, ended);
    EXPECT_EQ(m_inhibitor->released, 1);
}

} // namespace
