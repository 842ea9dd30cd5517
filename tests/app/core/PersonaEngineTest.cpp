#include "PersonaTestSupport.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "records/ActivePersonaTracker.h"

#include <QCoreApplication>
#include <QTest>

#include <regex>

using namespace personatest;

namespace {

using Signals = std::vector<std::pair<std::int32_t, std::int32_t>>;

std::vector<std::string> titles(const std::vector<std::pair<std::string, std::string>>& posts)
{
    std::vector<std::string> out;
    for (const auto& post : posts)
        out.push_back(post.first);
    return out;
}

// Why a freeze by hand was refused; empty when it went through.
std::string refusal(PersonaEngine& engine, std::int32_t pid, const std::string& name)
{
    const auto result = engine.freezeProcess(pid, name);
    return result.ok() ? std::string() : result.error().message;
}

class PersonaEngineTest : public PersonaEngineFixture
{
};

TEST_F(PersonaEngineTest, TheCompileRuleStartsAndEndsCompileModeWithItsTrigger)
{
    auto engine = makeEngine();
    setProcesses({proc(10, "gmake"), proc(20, "cargo"), proc(30, "make")});
    engine->evaluateCompileTrigger();
    ASSERT_EQ(engine->activePersonas(), std::set {AutoPersona::compileMode});
    // The first trigger process in snapshot order names the event.
    EXPECT_EQ(engine->personaHistory().at(0).trigger, "cargo");

    engine->evaluateCompileTrigger(); // still running: nothing new
    EXPECT_EQ(engine->personaHistory().size(), 1u);

    setProcesses({proc(10, "gmake")});
    engine->evaluateCompileTrigger();
    EXPECT_TRUE(engine->activePersonas().empty());
    EXPECT_TRUE(engine->personaHistory().at(0).deactivated.has_value());

    // An empty trigger list ends Compile Mode at the next run.
    setProcesses({proc(30, "make")});
    engine->evaluateCompileTrigger();
    auto c = engine->configuration();
    c.compileModeTriggers.clear();
    engine->updateConfiguration(c);
    engine->evaluateCompileTrigger();
    EXPECT_TRUE(engine->activePersonas().empty());
}

TEST_F(PersonaEngineTest, CompileModeSuspendsItsListExactlyAndSparesTheWhitelistInAnyCase)
{
    auto c = config();
    c.customFreezeList = {"Xcode", "my-indexer"};
    c.neverPauseWhitelist = {"XCODE"};
    auto engine = makeEngine(c);
    setProcesses({proc(5, "make"), proc(40, "ollama", 3, 2048), proc(41, "OLLAMA", 0, 4096), proc(42, "Xcode"),
        proc(43, "dockerd"), proc(44, "mysqld", 1, 512), proc(45, "my-indexer"), proc(46, "qemu-system-x86_64")});
    engine->activatePersona(AutoPersona::compileMode, "make");

    EXPECT_EQ(sentSignals(), (Signals {{40, SIGSTOP}, {44, SIGSTOP}, {45, SIGSTOP}, {46, SIGSTOP}}));
    const auto frozen = engine->frozenProcesses();
    ASSERT_EQ(frozen.size(), 4u);
    EXPECT_EQ(frozen.at(40).name, "ollama");
    EXPECT_EQ(frozen.at(40).frozenBy, AutoPersona::compileMode);
    EXPECT_EQ(frozen.at(40).estimatedMemoryMB, 2048);
    EXPECT_DOUBLE_EQ(frozen.at(40).estimatedCPUPercent, 3.0);
    EXPECT_EQ(engine->personaHistory().at(0).processesAffected, 4);
    EXPECT_DOUBLE_EQ(engine->savedYouMetrics().totalGBFreed, 2.5);
    EXPECT_EQ(engine->savedYouMetrics().autonomousActionsCount, 4);

    const auto posts = m_notifier->posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].first, "⚙️ Compile Mode");
    EXPECT_TRUE(std::regex_match(posts[0].second, std::regex(R"(make · 2\.5GB freed · \d+\.\dGB headroom)")))
        << posts[0].second;
    const auto events = assistance();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "Compile Shield Engaged");
    EXPECT_EQ(events[0].detail, "Suspended background AI processes for compilation");
    EXPECT_EQ(events[0].impactValue, "Protected");
    EXPECT_EQ(events[0].category, AssistanceCategory::computing);
}

// A process its user stopped (Ctrl-Z, kill -STOP, a debugger) is left stopped: the persona neither
// lists it nor continues it when it ends. One the engine stopped itself is still held.
TEST_F(PersonaEngineTest, AProcessStoppedByItsUserIsNeitherListedNorContinued)
{
    writeFakeProcess(procRoot(), 40, 1, ::getuid(), 'T', 1000, "ollama");
    writeFakeProcess(procRoot(), 44, 1, ::getuid(), 't', 1000, "mysqld");
    writeFakeProcess(procRoot(), 45, 1, ::getuid(), 'S', 1000, "mysqld");
    auto engine = makeEngine();
    setProcesses({proc(40, "ollama"), proc(44, "mysqld"), proc(45, "mysqld")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    EXPECT_EQ(sentSignals(), (Signals {{45, SIGSTOP}}));

    writeFakeProcess(procRoot(), 45, 1, ::getuid(), 'T', 1000, "mysqld");
    EXPECT_EQ(engine->runningFreezeCandidates(AutoPersona::compileMode).size(), 1u);
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_EQ(sentSignals(), (Signals {{45, SIGSTOP}, {45, SIGCONT}}));
}

TEST_F(PersonaEngineTest, CompileModeWithNothingToSuspendStillStartsAndCounts)
{
    auto engine = makeEngine();
    setProcesses({proc(5, "make")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    EXPECT_TRUE(sentSignals().empty());
    EXPECT_EQ(engine->personaHistory().at(0).processesAffected, 0);
    EXPECT_NE(m_notifier->posts().at(0).second.find("make · 0.0GB freed · "), std::string::npos);
}

TEST_F(PersonaEngineTest, RepeatedActivationOrDeactivationChangesNothing)
{
    auto engine = makeEngine();
    int changes = 0;
    engine->setOnChangeHandler([&] { ++changes; });
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_EQ(changes, 0);
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(engine->personaHistory().size(), 1u);
    EXPECT_EQ(m_notifier->posts().size(), 1u);
}

TEST_F(PersonaEngineTest, AProtectedBuildIsRecordedWithWhatItSaved)
{
    auto engine = makeEngine();
    engine->activatePersona(AutoPersona::compileMode, "make");
    m_now = m_now + 600;
    engine->deactivatePersona(AutoPersona::compileMode);
    const auto events = assistance();
    EXPECT_EQ(events.at(0).title, "Build Protected");
    EXPECT_EQ(events.at(0).detail, "Build completed with zero AI RAM collisions");
    EXPECT_EQ(events.at(0).impactValue, "~300s saved");
    const auto metrics = engine->savedYouMetrics();
    EXPECT_EQ(metrics.buildsProtected, 1);
    EXPECT_DOUBLE_EQ(metrics.totalHoursSaved, 600.0 / 3600 * 0.5);
    EXPECT_DOUBLE_EQ(m_tracker.getMetrics().totalHoursSaved, 600.0 / 3600 * 0.5);
    EXPECT_EQ(titles(m_notifier->posts()).back(), "✅ Build done");
    // Only the file indexer was paused for these builds.
    EXPECT_EQ(m_notifier->posts().back().second, "File indexing resumed");
}

TEST_F(PersonaEngineTest, ModelsAreUnloadedBeforeTheModelServerIsSuspended)
{
    FakeModelServer server([this] { return sentSignals().size(); });
    server.setLoaded({"llama3.1:8b", "qwen2.5:7b"});
    OllamaEngine ollama(server.url());
    auto c = config();
    c.autoUnloadOllamaEnabled = true;
    auto engine = makeEngine(c, nullptr, &ollama);
    setProcesses({proc(40, "ollama"), proc(41, "ollama_llama_server")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    const auto unloads = server.unloads();
    ASSERT_EQ(unloads.size(), 2u);
    EXPECT_NE(unloads[0].first.find("llama3.1:8b"), std::string::npos);
    EXPECT_EQ(unloads[0].second, 0u);
    EXPECT_EQ(unloads[1].second, 0u);
    EXPECT_EQ(sentSignals().size(), 2u);
}

TEST_F(PersonaEngineTest, ASharedProcessStaysSuspendedUntilItsLastPersonaEnds)
{
    auto engine = makeEngine();
    setProcesses({proc(40, "ollama"), proc(41, "postgres"), proc(42, "mongod")});
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->activatePersona(AutoPersona::compileMode, "make");
    // Only mongod was new to Compile Mode; the others keep Battery Mode's records.
    EXPECT_EQ(engine->personaHistory().back().processesAffected, 1);
    EXPECT_EQ(engine->frozenProcesses().at(40).frozenBy, AutoPersona::batteryMode);

    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_EQ(engine->frozenProcesses().size(), 3u);
    EXPECT_EQ(m_notifier->posts().back().second, "Still paused for Compile Mode: ollama, postgres");
    m_xpc.clearMockSignals();
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_EQ(sentSignals(), (Signals {{40, SIGCONT}, {41, SIGCONT}, {42, SIGCONT}}));
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_EQ(m_notifier->posts().back().second, "Ollama resumed · Background apps running");

    // A process kept because another active persona's list names it is released with that persona.
    setProcesses({proc(40, "ollama")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_TRUE(engine->frozenProcesses().contains(40));
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_FALSE(engine->frozenProcesses().contains(40));
}

TEST_F(PersonaEngineTest, ASingleSuspensionIsReleasedWhenTheLastPersonaEnds)
{
    auto engine = makeEngine();
    ASSERT_TRUE(engine->freezeProcess(77, "renderer").ok());
    const auto record = engine->frozenProcesses().at(77);
    EXPECT_EQ(record.frozenBy, AutoPersona::compileMode);
    EXPECT_EQ(record.estimatedMemoryMB, 0);
    EXPECT_EQ(engine->savedYouMetrics().autonomousActionsCount, 1);

    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_TRUE(engine->frozenProcesses().contains(77));
    engine->deactivatePersona(AutoPersona::aiFirstMode);
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_EQ(sentSignals().back(), (std::pair {77, SIGCONT}));
}

TEST_F(PersonaEngineTest, EventsCloseOnlyTheNewestOpenOneAndOwnActionsAreUndone)
{
    auto engine = makeEngine();
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    EXPECT_TRUE(engine->holdsSleepAssertion());
    m_memory.startPolling(3.0);
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    EXPECT_TRUE(engine->isBatteryPollingReduced());
    EXPECT_EQ(titles(m_notifier->posts()), (std::vector<std::string> {"🧠 AI First Mode", "🍃 Battery Mode"}));
    EXPECT_EQ(m_notifier->posts()[0].second, "No model loaded · Nothing needed pausing");
    EXPECT_EQ(m_notifier->posts()[1].second, "Saving power · Resources throttled");
    EXPECT_EQ(assistance().at(0).title, "Battery Saver Active");
    EXPECT_EQ(assistance().at(1).title, "AI Workload Prioritized");
    EXPECT_EQ(assistance().at(1).category, AssistanceCategory::performance);

    // Resume-all leaves the events open; a second activation then has two open events.
    engine->resumeAllFrozenProcesses();
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    m_now = m_now + 10;
    engine->deactivatePersona(AutoPersona::aiFirstMode);
    const auto history = engine->personaHistory();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_FALSE(history[0].deactivated.has_value());
    EXPECT_EQ(history[2].deactivated, Date::fromReferenceDate(m_now.load()));
    EXPECT_FALSE(m_inhibitor->held);
    EXPECT_EQ(
        m_notifier->posts().back(), (std::pair<std::string, std::string> {"💤 AI First ended", "No models loaded"}));

    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_DOUBLE_EQ(m_memory.interval(), 3.0);
    EXPECT_TRUE(m_memory.isPolling());
    EXPECT_EQ(m_notifier->posts().back(), (std::pair<std::string, std::string> {"⚡ Back on AC", "Nothing was paused"}));
}

TEST_F(PersonaEngineTest, NotificationsSayOnlyWhatHappened)
{
    FakeModelServer server;
    OllamaEngine ollama(server.url());
    auto engine = makeEngine(config(), nullptr, &ollama);
    const auto last = [&] { return m_notifier->posts().back(); };
    using Post = std::pair<std::string, std::string>;
    // Started by hand with no model loaded and nothing of its list running.
    engine->activatePersona(AutoPersona::aiFirstMode, "manual override");
    EXPECT_EQ(last(), (Post {"🧠 AI First Mode", "No model loaded · Nothing needed pausing"}));
    engine->deactivatePersona(AutoPersona::aiFirstMode);
    EXPECT_EQ(last().second, "No models loaded");

    server.setLoaded({"llama3.1:8b"});
    setProcesses({proc(60, "restic")});
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    EXPECT_EQ(last().second, "Model loaded · Background tasks paused");
    engine->activatePersona(AutoPersona::compileMode, "make");
    engine->deactivatePersona(AutoPersona::aiFirstMode);
    EXPECT_EQ(last(), (Post {"💤 AI First ended", "A model is still loaded · Compile Mode comes first"}));
    EXPECT_FALSE(engine->frozenProcesses().contains(60));
    engine->deactivatePersona(AutoPersona::compileMode);

    // Battery Mode by hand on mains: nothing to pause, no sampling to slow.
    engine->activatePersona(AutoPersona::batteryMode, "manual override");
    EXPECT_EQ(last(), (Post {"🍃 Battery Mode", "Nothing needed pausing"}));
    EXPECT_EQ(assistance().at(0).detail, last().second);
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_EQ(last(), (Post {"⚡ Back on AC", "Nothing was paused"}));
    // On a machine without a battery (no power supplies at all) neither text speaks of one.
    engine->setMockIsOnBattery(std::nullopt);
    setProcesses({proc(40, "ollama")});
    engine->activatePersona(AutoPersona::batteryMode, "manual override");
    EXPECT_EQ(assistance().at(0).detail, "Constrained background compute");
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_EQ(last(), (Post {"🍃 Battery Mode ended", "All processes resumed"}));
    // Ended by hand while still on battery.
    engine->setMockIsOnBattery(true);
    engine->activatePersona(AutoPersona::batteryMode, "manual override");
    EXPECT_EQ(last(), (Post {"🍃 Battery Mode", "Saving power · Resources throttled"}));
    EXPECT_EQ(assistance().at(0).detail, "Constrained background compute on battery");
    engine->deactivatePersona(AutoPersona::batteryMode);
    EXPECT_EQ(last(), (Post {"🍃 Battery Mode ended", "All processes resumed"}));
}

TEST_F(PersonaEngineTest, CompileModeByHandClaimsABuildOnlyWhenOneRuns)
{
    auto engine = makeEngine();
    using Post = std::pair<std::string, std::string>;
    setProcesses({proc(40, "ollama")});
    engine->activatePersona(AutoPersona::compileMode, "manual override");
    m_now = m_now + 600;
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_EQ(
        m_notifier->posts().back(), (Post {"⚙️ Compile Mode ended", "Ollama resumed · Background apps running"}));
    EXPECT_EQ(assistance().at(0).title, "Compile Shield Engaged"); // no "Build Protected" after it
    EXPECT_EQ(engine->savedYouMetrics().buildsProtected, 0);
    EXPECT_DOUBLE_EQ(engine->savedYouMetrics().totalHoursSaved, 0);

    // A build that runs while it is on is protected as any other.
    engine->activatePersona(AutoPersona::compileMode, "manual override");
    setProcesses({proc(40, "ollama"), proc(5, "make")});
    engine->evaluateCompileTrigger();
    setProcesses({proc(40, "ollama")});
    m_now = m_now + 100;
    engine->evaluateCompileTrigger(); // make has ended, and Compile Mode with it
    EXPECT_TRUE(engine->activePersonas().empty());
    EXPECT_EQ(m_notifier->posts().back().first, "✅ Build done");
    EXPECT_EQ(assistance().at(0).title, "Build Protected");
    EXPECT_EQ(engine->savedYouMetrics().buildsProtected, 1);
}

TEST_F(PersonaEngineTest, ARefusedSleepInhibitorLeavesAIFirstModeActive)
{
    m_inhibitor->grant = false;
    auto engine = makeEngine();
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    EXPECT_TRUE(engine->activePersonas().contains(AutoPersona::aiFirstMode));
    EXPECT_FALSE(engine->holdsSleepAssertion());
}

TEST_F(PersonaEngineTest, ResumeAllUndoesEveryPersonaQuietlyAndNotifiesEvenWhenEmpty)
{
    auto engine = makeEngine();
    int changes = 0;
    engine->setOnChangeHandler([&] { ++changes; });
    engine->resumeAllFrozenProcesses();
    EXPECT_EQ(changes, 1);

    setProcesses({proc(40, "ollama")});
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    const auto posted = m_notifier->posts().size();
    engine->resumeAllFrozenProcesses();
    EXPECT_TRUE(engine->activePersonas().empty());
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_FALSE(engine->isBatteryPollingReduced());
    EXPECT_DOUBLE_EQ(m_memory.interval(), 3.0);
    EXPECT_FALSE(m_inhibitor->held);
    EXPECT_EQ(m_notifier->posts().size(), posted);
    EXPECT_EQ(sentSignals().back(), (std::pair {40, SIGCONT}));
}

TEST_F(PersonaEngineTest, TheBatteryRuleAndItsWatchdogSuspendForBatteryMode)
{
    auto engine = makeEngine();
    engine->setMockIsOnBattery(true);
    setProcesses({proc(101, "node", 50)});
    engine->evaluateBatteryAndSustainedCPU();
    // Battery Mode starts and its watchdog runs in the same cycle.
    EXPECT_TRUE(engine->activePersonas().contains(AutoPersona::batteryMode));
    EXPECT_EQ(engine->personaHistory().at(0).trigger, "power disconnected");
    EXPECT_TRUE(engine->sustainedCPUStartTimes().contains(101));
    EXPECT_TRUE(sentSignals().empty());

    m_now = m_now + 61;
    engine->evaluateBatteryAndSustainedCPU();
    engine->evaluateBatteryAndSustainedCPU(); // already suspended: not sent again
    EXPECT_EQ(sentSignals(), (Signals {{101, SIGSTOP}}));
    EXPECT_EQ(engine->frozenProcesses().at(101).frozenBy, AutoPersona::compileMode);

    // Back on mains: Battery Mode ends, its watchdog's suspension with it, and the start times go.
    engine->setMockIsOnBattery(false);
    m_xpc.clearMockSignals();
    engine->evaluateBatteryAndSustainedCPU();
    EXPECT_TRUE(engine->activePersonas().empty());
    EXPECT_TRUE(engine->sustainedCPUStartTimes().empty());
    EXPECT_EQ(sentSignals(), (Signals {{101, SIGCONT}}));
}

TEST_F(PersonaEngineTest, AFreezeByHandIsHeldToTheWatchdogsExclusionsAndSaysWhy)
{
    auto c = config();
    c.neverPauseWhitelist = {"BLENDER"};
    auto engine = makeEngine(c);
    const int self = ::getpid();
    writeFakeProcess(procRoot(), self, 500, ::getuid());
    writeFakeProcess(procRoot(), 500, 1, ::getuid());
    writeFakeProcess(procRoot(), 600, 1, ::getuid() + 1000);
    writeFakeProcess(procRoot(), 700, 1, ::getuid());
    writeFakeProcess(procRoot(), 710, 700, ::getuid());
    // Asked for under an innocent name; the table knows it as the display server.
    writeFakeProcess(procRoot(), 820, 1, ::getuid(), 'S', 1000, "Xwayland");
    setProcesses({proc(700, "supervisor"), proc(710, "quorvane-helper")});
    const std::vector<std::pair<std::int32_t, std::string>> refused {{self, "this is Quorvane Pro itself"},
        {500, "Quorvane Pro runs under it"}, {600, "it belongs to another user"}, {700, "the helper needs it"},
        {820, "your desktop session needs it"}};
    for (const auto& [pid, why] : refused) {
        const auto result = engine->freezeProcess(pid, "worker");
        ASSERT_FALSE(result.ok()) << pid;
        EXPECT_EQ(result.error().domain, PersonaEngine::kErrorDomain);
        EXPECT_EQ(result.error().code, PersonaEngine::kRefusedCode);
        EXPECT_EQ(result.error().message, why);
    }
    for (const char* name : {"gnome-shell", "Xvfb", "Xtigervnc", "fluxbox", "ibus-daemon", "xdg-desktop-portal-xapp",
             "polkit-kde-authentication-agent-1", "sshd-session", "xmonad", "dwm", "qtile", "fvwm", "herbstluftwm",
             "jwm", "metacity"})
        EXPECT_EQ(refusal(*engine, 801, name), "your desktop session needs it") << name;
    EXPECT_EQ(engine->freezeProcess(803, "blender").error().message, "it is on your never-pause list");
    EXPECT_TRUE(sentSignals().empty());
    EXPECT_TRUE(engine->frozenProcesses().empty());

    EXPECT_TRUE(engine->freezeProcess(804, "cruncher").ok());
    EXPECT_EQ(sentSignals(), (Signals {{804, SIGSTOP}}));
}

TEST_F(PersonaEngineTest, TheAIFirstRuleFollowsTheModelServerAndCompileMode)
{
    FakeModelServer server;
    OllamaEngine ollama(server.url());
    auto engine = makeEngine(config(), nullptr, &ollama);
    engine->evaluateAIFirst();
    EXPECT_TRUE(engine->activePersonas().empty());

    server.setLoaded({"llama3.1:8b"});
    engine->setMockIsOnBattery(true);
    engine->evaluateAIFirst();
    EXPECT_TRUE(engine->activePersonas().empty()); // not started on battery
    engine->setMockIsOnBattery(false);
    engine->evaluateAIFirst();
    ASSERT_EQ(engine->activePersonas(), std::set {AutoPersona::aiFirstMode});
    EXPECT_EQ(engine->personaHistory().at(0).trigger, "model loaded");

    engine->activatePersona(AutoPersona::compileMode, "make");
    engine->evaluateAIFirst();
    EXPECT_EQ(engine->activePersonas(), std::set {AutoPersona::compileMode});

    engine->deactivatePersona(AutoPersona::compileMode);
    engine->evaluateAIFirst();
    server.setLoaded({});
    engine->evaluateAIFirst();
    EXPECT_TRUE(engine->activePersonas().empty());
}

TEST_F(PersonaEngineTest, RulesRunOnlyInAutonomousModeAndACycleNeverOverlapsAnother)
{
    auto c = config();
    c.autonomousModeEnabled = false;
    auto engine = makeEngine(c);
    setProcesses({proc(5, "make")});
    EXPECT_TRUE(engine->runCycle());
    EXPECT_TRUE(engine->activePersonas().empty());

    FakeModelServer server;
    server.psDelayMs = 600;
    OllamaEngine ollama(server.url());
    auto unloading = config();
    unloading.autoUnloadOllamaEnabled = true; // the model query makes activation itself slow
    auto slow = makeEngine(unloading, nullptr, &ollama);
    std::atomic<bool> firstRan {false};
    std::thread first([&] { firstRan = slow->runCycle(); });
    // The cycle is inside Compile Mode's activation once the model server is asked.
    while (server.psRequests == 0)
        std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(slow->runCycle());
    // Activation waits for the running cycle, so its "already active" check sees the cycle's result.
    slow->activatePersona(AutoPersona::compileMode, "manual override");
    first.join();
    EXPECT_TRUE(firstRan);
    EXPECT_EQ(slow->personaHistory().size(), 1u);
    EXPECT_EQ(slow->personaHistory().at(0).trigger, "make");
    EXPECT_TRUE(slow->runCycle());
}

TEST_F(PersonaEngineTest, ConfigurationIsLoadedStoredAndAnnounced)
{
    m_defaults.setData(PersonaConfiguration::userDefaultsKey, "{not json");
    auto loaded = std::make_unique<PersonaEngine>(
        m_xpc, m_watcher, m_ollama, m_memory, std::nullopt, SavedYouMetrics::fresh(), options());
    EXPECT_EQ(loaded->configuration(), PersonaConfiguration::defaultConfiguration());
    EXPECT_EQ(m_defaults.data(PersonaConfiguration::userDefaultsKey), "{not json");

    auto engine = makeEngine(); // a given configuration does not touch the stored one
    EXPECT_EQ(m_defaults.data(PersonaConfiguration::userDefaultsKey), "{not json");

    int changes = 0;
    engine->setOnChangeHandler([&] { ++changes; });
    QCoreApplication::processEvents(); // what earlier tests posted
    QStringList names;
    QObject context;
    QObject::connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, &context,
        [&](const QString& name) { names << name; });
    engine->updateConfiguration(engine->configuration());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(PersonaConfiguration::load(m_defaults), config());
    EXPECT_TRUE(QTest::qWaitFor([&] { return names.contains(Notifications::personaStateChanged); }, 2000));

    // The tracker hears of every change on the GUI thread, an empty set included.
    auto o = options();
    o.updatesPersonaTracker = true;
    PersonaEngine tracked(m_xpc, m_watcher, m_ollama, m_memory, config(), SavedYouMetrics::fresh(), o);
    ActivePersonaTracker::shared().updateActivePersonas({QStringLiteral("stale")});
    tracked.notifyStateChanged();
    EXPECT_TRUE(QTest::qWaitFor([] { return ActivePersonaTracker::shared().activePersonas().isEmpty(); }, 2000));
    tracked.activatePersona(AutoPersona::aiFirstMode, "model loaded");
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return ActivePersonaTracker::shared().activePersonas() == QSet<QString> {"AI First Mode"}; }, 2000));
}

TEST_F(PersonaEngineTest, ErasedSettingsGiveTheDefaultConfigurationWithoutWritingItBack)
{
    auto engine = makeEngine();
    engine->updateConfiguration(config());
    int changes = 0;
    engine->setOnChangeHandler([&] { ++changes; });
    m_defaults.removeAll();
    EXPECT_EQ(engine->configuration(), PersonaConfiguration::defaultConfiguration());
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(m_defaults.contains(PersonaConfiguration::userDefaultsKey));

    engine->freezeProcess(77, "node");
    ASSERT_GT(engine->savedYouMetrics().autonomousActionsCount, 0);
    engine->resetSavedYouMetrics();
    EXPECT_EQ(engine->savedYouMetrics().autonomousActionsCount, 0);
    EXPECT_EQ(changes, 3);
}

} // namespace
