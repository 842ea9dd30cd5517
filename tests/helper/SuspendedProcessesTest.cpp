#include "HelperTestSupport.h"

#include "helper/src/SuspendedProcesses.h"
#include "platform/proc/ProcessTable.h"

#include "support/SignalChild.h"

#include <QTemporaryDir>

#include <algorithm>
#include <sys/stat.h>

using namespace helpertest;

namespace {

std::uint64_t startTimeOf(pid_t pid)
{
    const auto info = platform::ProcessTable().info(pid);
    return info ? info->startTimeTicks : 0;
}

// A process resumed while the list cannot be rewritten (a full runtime folder) must not stay in the
// file: read later, by a helper started again or by --resume-suspended, it would continue a process
// its user has stopped since. Both ways an entry leaves the list after a resume are tried: its
// caller's own resume, and the resume of what an ended caller held.
TEST(SuspendedProcessesTest, AResumeThatCannotBeWrittenLeavesNoEntryToResumeAgain)
{
    QTemporaryDir dir;
    const std::string folder = inDir(dir, "run");
    const helper::SuspendingCaller running {1234, 5, ::getuid()};
    const helper::SuspendingCaller ended {1235, 6, ::getuid()};
    SleepingChild resumedByItsCaller;
    SleepingChild resumedForAnEndedCaller;
    SleepingChild stillHeld;
    helper::SuspendedProcesses list(folder);
    for (const auto& [child, caller] : {std::pair {&resumedByItsCaller, running},
             std::pair {&resumedForAnEndedCaller, ended}, std::pair {&stillHeld, running}}) {
        ASSERT_EQ(list.add({child->pid(), startTimeOf(child->pid()), ::getuid(), "sleep", caller}), 0);
        signalChild(child->pid(), SIGSTOP);
        ASSERT_TRUE(waitForState(child->pid(), 'T'));
    }

    // The list is written to this name and renamed; a folder there makes every write fail.
    ASSERT_EQ(::mkdir((folder + "/suspended.json.tmp").c_str(), 0755), 0);
    signalChild(resumedByItsCaller.pid(), SIGCONT);
    ASSERT_TRUE(list.remove(resumedByItsCaller.pid()));
    ASSERT_EQ(list.resumeStoppedBy(ended).resumed.size(), 1u);
    ASSERT_TRUE(waitForState(resumedForAnEndedCaller.pid(), 'S'));
    EXPECT_EQ(list.processes().size(), 1u);

    // Their user stops them again, then the folder can be written again.
    for (const auto* child : {&resumedByItsCaller, &resumedForAnEndedCaller}) {
        signalChild(child->pid(), SIGSTOP);
        ASSERT_TRUE(waitForState(child->pid(), 'T'));
    }
    ASSERT_EQ(::rmdir((folder + "/suspended.json.tmp").c_str()), 0);
    helper::SuspendedProcesses later(folder);
    later.load();
    const auto listed = later.processes();
    for (const auto* child : {&resumedByItsCaller, &resumedForAnEndedCaller}) {
        EXPECT_TRUE(std::none_of(
            listed.begin(), listed.end(), [&](const helper::SuspendedProcess& p) { return p.pid == child->pid(); }));
    }
    later.resumeAll();
    EXPECT_EQ(processState(resumedByItsCaller.pid()), 'T');
    EXPECT_EQ(processState(resumedForAnEndedCaller.pid()), 'T');
}

// A list whose file could not be written (a full folder, no descriptor free) says it lags behind,
// and the next retry that can write it makes the file whole: the retry does not wait for a change.
TEST(SuspendedProcessesTest, AFileThatLagsBehindIsMadeWholeByTheNextRetry)
{
    QTemporaryDir dir;
    const std::string folder = inDir(dir, "run");
    helper::SuspendedProcesses list(folder);
    const helper::SuspendedProcess kept {4242, 7, ::getuid(), "sleep", helper::SuspendingCaller {1234, 5, ::getuid()}};
    ASSERT_EQ(list.add({4243, 8, ::getuid(), "sleep"}), 0);
    ASSERT_EQ(list.add(kept), 0);
    EXPECT_FALSE(list.isBehind());

    ASSERT_EQ(::mkdir((folder + "/suspended.json.tmp").c_str(), 0755), 0);
    ASSERT_TRUE(list.remove(4243));
    EXPECT_TRUE(list.isBehind());
    list.rewriteIfBehind();
    EXPECT_TRUE(list.isBehind());
    EXPECT_FALSE(helper::SuspendedListFile(folder).read());

    ASSERT_EQ(::rmdir((folder + "/suspended.json.tmp").c_str()), 0);
    std::this_thread::sleep_for(100ms); // a retry that failed waits a moment before the next
    list.rewriteIfBehind();
    EXPECT_FALSE(list.isBehind());
    const auto stored = helper::SuspendedListFile(folder).read();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->first, std::vector<helper::SuspendedProcess> {kept});
}

} // namespace
