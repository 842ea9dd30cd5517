#include "platform/proc/ProcStatCache.h"

#include "support/SignalChild.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::ProcessInfo;
using platform::ProcessTable;
using platform::ProcStatCache;
using Names = platform::ProcStatCache::Names;
namespace fs = std::filesystem;

namespace {

class StatTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString();
        std::ofstream(root / "stat") << "cpu  1 2 3 4\nbtime 1700000000\n";
        fs::create_directories(root / "self"); // not a pid
    }

    // Rewrites the stat file in place, as the kernel's file keeps its identity.
    void setStat(
        int pid, const std::string& comm, std::uint64_t cpuTicks, std::uint64_t start = 500, unsigned flags = 0)
    {
        fs::create_directories(root / std::to_string(pid));
        std::ofstream(root / std::to_string(pid) / "stat")
            << pid << " (" << comm << ") S 1 1 1 0 -1 " << flags << " 0 0 0 0 " << cpuTicks << " 2 0 0 20 0 1 0 "
            << start << " 1000000 10 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n";
    }
    void setExe(int pid, const std::string& target)
    {
        const fs::path link = root / std::to_string(pid) / "exe";
        fs::remove(link);
        fs::create_symlink(target, link);
    }

    static const ProcessInfo* find(const std::vector<ProcessInfo>& list, int pid)
    {
        for (const auto& p : list) {
            if (p.pid == pid)
                return &p;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    fs::path root;
};

} // namespace

TEST_F(StatTree, ListsFiguresInPidOrderAndLeavesKernelThreadsOutUnlessAsked)
{
    setStat(300, "cc1plus", 40);
    setStat(7, "kworker/0:1", 3, 2, ProcessTable::kernelThreadFlag);
    setStat(25, "bash", 1);
    ProcStatCache cache(root.string());

    const auto list = cache.list(false, Names::comm);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].pid, 25);
    EXPECT_EQ(list[1].pid, 300);
    EXPECT_EQ(list[1].name, "cc1plus");
    EXPECT_EQ(list[1].cpuTicks, 42u);
    EXPECT_EQ(list[1].uid, ProcessTable::unknownUid);
    EXPECT_EQ(list[1].residentBytes, 10u * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
    EXPECT_DOUBLE_EQ(list[1].startTime, 1700000000.0 + 500.0 / static_cast<double>(ProcessTable::ticksPerSecond()));

    const auto all = cache.list(true, Names::executable);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(all[0].kernelThread);
    EXPECT_EQ(all[0].name, "kworker/0:1"); // a kernel thread has only its comm

    // Figures read again through the kept descriptor.
    setStat(300, "cc1plus", 90);
    EXPECT_EQ(find(cache.list(false, Names::comm), 300)->cpuTicks, 92u);
}

TEST_F(StatTree, ExecutableNameLookedUpAgainOnlyForANewProcessOrAnExec)
{
    setStat(40, "bash", 1, 500);
    setExe(40, "/usr/bin/bash");
    ProcStatCache cache(root.string());
    EXPECT_EQ(find(cache.list(false, Names::executable), 40)->name, "bash");

    // The same process: the link is not read again.
    setExe(40, "/usr/bin/make");
    EXPECT_EQ(find(cache.list(false, Names::executable), 40)->name, "bash");
    EXPECT_EQ(cache.executableName(40), "bash");

    // An exec changes the comm under the same pid and start time.
    setStat(40, "make", 2, 500);
    EXPECT_EQ(find(cache.list(false, Names::executable), 40)->name, "make");

    // A new process on the pid with the same comm: told apart by its start time.
    setStat(40, "make", 0, 9000);
    setExe(40, "/opt/tools/make (deleted)");
    setExe(40, "/opt/tools/gmake");
    EXPECT_EQ(find(cache.list(false, Names::executable), 40)->name, "gmake");

    // No readable link: argv[0], then the comm.
    setStat(41, "node", 1);
    std::ofstream(root / "41" / "cmdline") << "/usr/local/bin/node-server" << '\0' << "--port" << '\0';
    setStat(42, "idle", 1);
    const auto list = cache.list(false, Names::executable);
    EXPECT_EQ(find(list, 41)->name, "node-server");
    EXPECT_EQ(find(list, 42)->name, "idle");
    EXPECT_EQ(cache.executableName(99), ""); // not listed
}

TEST_F(StatTree, OpenFilesAreBoundedAndDroppedWithTheirProcesses)
{
    for (int pid : {10, 11, 12})
        setStat(pid, "p" + std::to_string(pid), 1);
    ProcStatCache cache(root.string(), 2);
    ASSERT_EQ(cache.list(false, Names::comm).size(), 3u);
    EXPECT_EQ(cache.openFiles(), 2u);

    // Beyond the bound a process is read the ordinary way, with the same figures.
    setStat(12, "p12", 7);
    setStat(10, "p10", 5);
    auto list = cache.list(false, Names::comm);
    EXPECT_EQ(find(list, 10)->cpuTicks, 7u);
    EXPECT_EQ(find(list, 12)->cpuTicks, 9u);

    fs::remove_all(root / "10");
    list = cache.list(false, Names::comm);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(cache.openFiles(), 2u); // 12 takes the place 10 left

    // A stat that no longer reads as one leaves the process out and its descriptor closed; once it reads
    // again the process is back.
    std::ofstream(root / "11" / "stat") << "garbage";
    list = cache.list(false, Names::comm);
    EXPECT_EQ(find(list, 11), nullptr);
    EXPECT_EQ(cache.openFiles(), 1u);
    setStat(11, "p11", 4);
    EXPECT_EQ(find(cache.list(false, Names::comm), 11)->cpuTicks, 6u);
    EXPECT_EQ(cache.openFiles(), 2u);

    EXPECT_TRUE(ProcStatCache("/nonexistent-proc").list(true, Names::comm).empty());
}

TEST(ProcStatCacheMachine, FollowsAChildThroughItsExecAndItsEnd)
{
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char byte;
        close(go[1]);
        if (read(go[0], &byte, 1) == 1)
            execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(1);
    }
    close(go[0]);
    // A root that lists the child alone, through a link to its real folder: the cache keeps the real
    // stat file open, and what it counts is the child's and not the rest of the machine's.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path root = dir.path().toStdString();
    fs::create_symlink("/proc/stat", root / "stat");
    fs::create_symlink("/proc/" + std::to_string(child), root / std::to_string(child));
    ProcStatCache cache(root.string());
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    auto nameOfChild = [&] {
        for (const auto& p : cache.list(false, Names::executable)) {
            if (p.pid == child)
                return p.name;
        }
        return std::string();
    };
    EXPECT_EQ(nameOfChild(), self);
    EXPECT_EQ(cache.openFiles(), 1u);

    // Same pid and start time after the exec; the new comm brings the new name.
    ASSERT_EQ(write(go[1], "x", 1), 1);
    std::string name;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((name = nameOfChild()) != "sleep" && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(name, "sleep");

    signalChild(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(go[1]);
    EXPECT_EQ(nameOfChild(), "");
    EXPECT_EQ(cache.openFiles(), 0u); // the child's descriptor went with it
}
