#include "PersonaTestSupport.h"

#include "core/PersonaRules.h"

#include "support/SocketFamily.h"
#include "support/XvfbDisplay.h"

#include "platform/x11/XcbWindowManagerReader.h"

#include <QFile>
#include <QTest>

using namespace personatest;
using Decision = PersonaRules::Decision;
using Change = PersonaRules::Decision::Change;
using Reason = WatchdogExclusions::Reason;

namespace {

std::vector<std::int32_t> pids(const std::vector<RunningProcess>& processes)
{
    std::vector<std::int32_t> out;
    for (const auto& p : processes)
        out.push_back(p.pid);
    return out;
}

class PersonaRulesTest : public ::testing::Test
{
protected:
    PersonaRulesTest() { QDir().mkpath(procRoot()); }

    QString procRoot() const { return m_dir.filePath("proc"); }

    std::unique_ptr<PersonaRules> makeRules(std::string procRoot = {})
    {
        return std::make_unique<PersonaRules>(procRoot.empty() ? this->procRoot().toStdString() : procRoot,
            m_dir.filePath("sys").toStdString(), m_session);
    }

    // The watchdog's verdict at `seconds` after the start of the test, with nothing suspended yet.
    std::vector<std::int32_t> overdue(PersonaRules& rules, const std::vector<RunningProcess>& snapshot, double seconds,
        const PersonaConfiguration& c = testConfiguration())
    {
        return pids(rules.overdueProcesses(snapshot, at(seconds), c, [](std::int32_t) { return false; }));
    }

    static Date at(double seconds) { return Date::fromReferenceDate(700000000.0 + seconds); }

    QTemporaryDir m_dir;
    platform::SessionEnvironment m_session; // no display: nothing of the test machine's desktop is spared
};

TEST_F(PersonaRulesTest, CompileRuleMatchesTriggerNamesExactlyAndEndsWithThem)
{
    const auto triggers = testConfiguration().compileModeTriggers;
    const std::vector running {
        proc(10, "gmake"), proc(11, "Make"), proc(12, "make "), proc(20, "cargo"), proc(30, "make")};
    // The first trigger process in snapshot order names the event.
    EXPECT_EQ(PersonaRules::compileRule(false, running, triggers), (Decision {Change::activate, "cargo"}));
    EXPECT_EQ(PersonaRules::compileRule(true, running, triggers), Decision {}); // still running: nothing new

    const std::vector lookalikes {proc(10, "gmake"), proc(11, "Make")};
    EXPECT_EQ(PersonaRules::compileRule(true, lookalikes, triggers).change, Change::deactivate);
    EXPECT_EQ(PersonaRules::compileRule(false, lookalikes, triggers), Decision {});

    // An empty trigger list ends Compile Mode at the next run.
    EXPECT_EQ(PersonaRules::compileRule(true, {proc(30, "make")}, {}).change, Change::deactivate);
}

TEST_F(PersonaRulesTest, AIFirstRuleFollowsLoadedModelsBuildsAndBattery)
{
    auto rules = makeRules();
    rules->setMockIsOnBattery(false);
    EXPECT_EQ(rules->aiFirstRule(false, false, false), Decision {});
    EXPECT_EQ(rules->aiFirstRule(false, true, false), (Decision {Change::activate, "model loaded"}));
    EXPECT_EQ(rules->aiFirstRule(true, false, false).change, Change::deactivate);
    // A build comes first, whether or not it is already on.
    EXPECT_EQ(rules->aiFirstRule(true, true, true).change, Change::deactivate);
    EXPECT_EQ(rules->aiFirstRule(false, true, true), Decision {});

    rules->setMockIsOnBattery(true);
    EXPECT_EQ(rules->aiFirstRule(false, true, false), Decision {}); // not started on battery
    EXPECT_EQ(rules->aiFirstRule(true, true, false), Decision {}); // stays on battery
    EXPECT_EQ(rules->aiFirstRule(true, false, false).change, Change::deactivate);
}

TEST_F(PersonaRulesTest, BatteryRuleAndWatchdogBoundaries)
{
    auto rules = makeRules();
    rules->setMockIsOnBattery(true);
    EXPECT_EQ(rules->batteryRule(false), (Decision {Change::activate, "power disconnected"}));
    EXPECT_EQ(rules->batteryRule(true), Decision {});
    rules->setMockIsOnBattery(false);
    EXPECT_EQ(rules->batteryRule(true).change, Change::deactivate);
    EXPECT_EQ(rules->batteryRule(false), Decision {});

    auto c = testConfiguration();
    c.customFreezeList = {"render-farm"};
    const std::vector busy {proc(100, "cc1plus", 15.0), proc(101, "node", 15.1), proc(102, "render-farm", 90)};
    // The first sighting only notes the start time.
    EXPECT_TRUE(overdue(*rules, busy, 0, c).empty());
    const auto times = rules->sustainedCPUStartTimes();
    EXPECT_FALSE(times.contains(100));
    EXPECT_EQ(times.at(101), at(0));
    EXPECT_TRUE(overdue(*rules, busy, 60.0, c).empty()); // exactly 60 s is not longer than 60 s
    // The custom freeze list is never the watchdog's.
    EXPECT_EQ(overdue(*rules, busy, 60.5, c), std::vector<std::int32_t> {101});
    const auto suspended = rules->overdueProcesses(busy, at(61), c, [](std::int32_t pid) { return pid == 101; });
    EXPECT_TRUE(suspended.empty());

    // A calm sighting drops the start time; the next busy one starts counting afresh.
    EXPECT_TRUE(overdue(*rules, {proc(101, "node", 15.0)}, 62, c).empty());
    EXPECT_FALSE(rules->sustainedCPUStartTimes().contains(101));
    EXPECT_TRUE(rules->sustainedCPUStartTimes().contains(102));
    rules->forgetBusyProcesses();
    EXPECT_TRUE(rules->sustainedCPUStartTimes().empty());
}

TEST_F(PersonaRulesTest, WatchdogContinuesFromTheStartTimeOfAnEndedProcessWithTheSamePid)
{
    auto rules = makeRules();
    EXPECT_TRUE(overdue(*rules, {proc(300, "first", 40)}, 0).empty());
    EXPECT_TRUE(overdue(*rules, {}, 100).empty());
    EXPECT_TRUE(rules->sustainedCPUStartTimes().contains(300));
    EXPECT_EQ(overdue(*rules, {proc(300, "second", 40)}, 100), std::vector<std::int32_t> {300});
}

TEST_F(PersonaRulesTest, WatchdogSparesTheSessionThisProgramAndOtherUsers)
{
    auto c = testConfiguration();
    c.neverPauseWhitelist = {"BLENDER"};
    auto rules = makeRules();
    const int self = ::getpid();
    writeFakeProcess(procRoot(), self, 500, ::getuid());
    writeFakeProcess(procRoot(), 500, 1, ::getuid()); // this program's parent
    writeFakeProcess(procRoot(), 600, 1, ::getuid() + 1000); // another user's
    writeFakeProcess(procRoot(), 700, 1, ::getuid());
    writeFakeProcess(procRoot(), 710, 700, ::getuid()); // the helper's parent is 700
    const std::vector snapshot {proc(self, "quorvane-pro", 50), proc(500, "launcher", 50), proc(600, "cruncher", 50),
        proc(700, "supervisor", 50), proc(710, "quorvane-helper", 50), proc(800, "bash", 50),
        proc(801, "gnome-shell", 50), proc(802, "pipewire", 50), proc(803, "blender", 50), proc(804, "cruncher", 50)};
    EXPECT_TRUE(overdue(*rules, snapshot, 0, c).empty());
    EXPECT_EQ(overdue(*rules, snapshot, 61, c), std::vector<std::int32_t> {804});
}

// Real processes listening on the display's sockets in a scratch folder, as an X server and a Wayland
// compositor would, under names no list knows.
TEST_F(PersonaRulesTest, WhatServesTheDisplayIsNeverFrozenWhateverItIsCalled)
{
    QTemporaryDir scratch;
    const std::string root = scratch.path().toStdString();
    m_session.display = ":5";
    m_session.xSocketDir = root;
    m_session.runtimeDir = root;
    m_session.waylandDisplay = "wayland-5";
    const SocketFamily family({root + "/X5", root + "/wayland-5", ""});
    for (std::size_t i = 0; i < 3; ++i)
        ASSERT_GT(family.child(i), 0) << i;
    auto c = testConfiguration();
    c.customFreezeList = {"kiosk-x", "kiosk-wayland", "kiosk-job"};
    auto rules = makeRules("/proc");
    const std::vector snapshot {
        proc(family.child(0), "kiosk-x"), proc(family.child(1), "kiosk-wayland"), proc(family.child(2), "kiosk-job")};

    EXPECT_EQ(pids(rules->freezeCandidates(AutoPersona::compileMode, snapshot, c)),
        std::vector<std::int32_t> {family.child(2)});
    rules->prepare(snapshot, c);
    EXPECT_EQ(rules->whySpared(proc(family.child(0), "kiosk-x")), Reason::display);
    EXPECT_EQ(rules->whySpared(proc(family.child(1), "kiosk-wayland")), Reason::display);
    EXPECT_EQ(rules->whySpared(proc(family.parent(), "launcher")), Reason::runsDisplay);
}

// An X window manager only talks to the display, so no socket tells it apart: the display says who
// holds its window-manager selection.
TEST_F(PersonaRulesTest, TheWindowManagerIsNeverFrozenWhateverItIsCalled)
{
    XvfbDisplay x;
    if (x.display().empty() || ::access("/usr/bin/openbox", X_OK) != 0)
        GTEST_SKIP() << "needs Xvfb and openbox, as scripts/install-deps.sh installs them";
    QTemporaryDir scratch;
    const QString copy = scratch.filePath("desk-helper");
    ASSERT_TRUE(QFile::copy("/usr/bin/openbox", copy));
    const pid_t manager = x.start({copy.toStdString()});
    ASSERT_GT(manager, 0);
    const platform::XcbWindowManagerReader reader(x.display());
    EXPECT_TRUE(QTest::qWaitFor([&] { return reader.windowManagerPids() == std::vector<int> {manager}; }, 10000));

    m_session.display = x.display();
    auto rules = makeRules("/proc");
    rules->prepare({}, testConfiguration());
    EXPECT_EQ(rules->whySpared(proc(manager, "desk-helper")), Reason::windowManager);
}

TEST_F(PersonaRulesTest, BatteryReadingComesFromThePowerSupplies)
{
    auto rules = makeRules();
    EXPECT_FALSE(rules->isOnBattery()); // no power supplies at all
    const QString supplies = m_dir.filePath("sys/class/power_supply");
    QDir().mkpath(supplies + "/BAT0");
    QDir().mkpath(supplies + "/AC");
    std::ofstream((supplies + "/BAT0/type").toStdString()) << "Battery\n";
    std::ofstream((supplies + "/BAT0/status").toStdString()) << "Discharging\n";
    std::ofstream((supplies + "/BAT0/capacity").toStdString()) << "80\n";
    std::ofstream((supplies + "/AC/type").toStdString()) << "Mains\n";
    std::ofstream((supplies + "/AC/online").toStdString()) << "0\n";
    EXPECT_TRUE(rules->isOnBattery());
    std::ofstream((supplies + "/AC/online").toStdString()) << "1\n";
    EXPECT_FALSE(rules->isOnBattery());
    rules->setMockIsOnBattery(true);
    EXPECT_TRUE(rules->isOnBattery());
}

} // namespace
