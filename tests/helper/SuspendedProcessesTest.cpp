#include "HelperTestSupport.h"

#include "helper/src/SuspendedProcesses.h"
#include "platform/proc/ProcessTable.h"

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
        ASSERT_TRUE(list.add({child->pid(), startTimeOf(child->pid()), ::getuid(), "sleep", caller}));
        ::kill(child->pid(), SIGSTOP);
        ASSERT_TRUE(waitForState(child->pid(), 'T'));
    }

    // The list is written to this name and renamed; a folder there makes every write fail.
    ASSERT_EQ(::mkdir((folder + "/suspended.json.tmp").c_str(), 0755), 0);
    ::kill(resumedByItsCaller.pid(), SIGCONT);
    ASSERT_TRUE(list.remove(resumedByItsCaller.pid()));
    ASSERT_EQ(list.resumeStoppedBy(ended).resumed.size(), 1u);
    ASSERT_TRUE(waitForState(resumedForAnEndedCaller.pid(), 'S'));
    EXPECT_EQ(list.processes().size(), 1u);

    // Their user stops them again, then the folder can be written again.
    for (const auto* child : {&resumedByItsCaller, &resumedForAnEndedCaller}) {
        ::kill(child->pid(), SIGSTOP);
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

} // namespace
