#include "HelperTestSupport.h"

#include "helper/src/HelperImplementation.h"

namespace {

TEST(TargetRefusalTest, OwnerAndKindOfTheTarget)
{
    platform::ProcessInfo mine;
    mine.uid = 1000;
    platform::ProcessInfo theirs;
    theirs.uid = 1001;
    platform::ProcessInfo kernel;
    kernel.kernelThread = true;
    const pid_t helperPid = 500;

    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, mine));
    EXPECT_EQ(helper::targetRefusal(4242, 1000, helperPid, theirs),
        "Refusing to signal pid 4242: it belongs to another user.");
    EXPECT_FALSE(helper::targetRefusal(4242, 0, helperPid, theirs)); // root may signal anyone's process
    // The kernel's rule: the caller's uid is the target's real or saved uid; its effective uid does not count.
    platform::ProcessInfo savedMine = theirs;
    savedMine.savedUid = 1000;
    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, savedMine));
    // A caller the kernel did not name owns nothing, not even a process whose saved uid is unknown.
    EXPECT_TRUE(helper::targetRefusal(4242, platform::ProcessTable::unknownUid, helperPid, theirs));
    EXPECT_TRUE(helper::targetRefusal(4242, 0, helperPid, kernel));
    EXPECT_TRUE(helper::targetRefusal(helperPid, 0, helperPid, mine));
    for (const pid_t pid : {1, 0, -1, -4242})
        EXPECT_TRUE(helper::targetRefusal(pid, 0, helperPid, mine)) << pid;
    // A process that is gone is left to the signal call, which reports it missing.
    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, std::nullopt));
    // The caller and its parents are spared, even for root and when their details are unknown.
    const std::vector<pid_t> spared {4300, 4200, 900};
    EXPECT_EQ(helper::targetRefusal(4200, 0, helperPid, mine, spared),
        "Refusing to signal pid 4200: it is the caller or one of its parent processes.");
    EXPECT_TRUE(helper::targetRefusal(4300, 1000, helperPid, std::nullopt, spared));
    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, mine, spared));
}

} // namespace
