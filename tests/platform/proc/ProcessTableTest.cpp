#include "platform/proc/ProcessTable.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

using platform::ProcessInfo;
using platform::ProcessTable;
namespace fs = std::filesystem;

namespace {

std::string statLine(int pid, const std::string& comm, char state, int ppid, unsigned flags, std::uint64_t utime,
    std::uint64_t stime, std::uint64_t start, std::int64_t rss)
{
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime cutime cstime
    // priority nice threads itreal starttime vsize rss rsslim ...
    return std::to_string(pid) + " (" + comm + ") " + state + " " + std::to_string(ppid) + " 1 1 0 -1 "
        + std::to_string(flags) + " 10 0 0 0 " + std::to_string(utime) + " " + std::to_string(stime) + " 0 0 20 0 1 0 "
        + std::to_string(start) + " 123456789 " + std::to_string(rss)
        + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 3 0 0 0 0 0\n";
}

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string status(uid_t uid)
{
    return "Name:\tx\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t1\nPid:\t1\nPPid:\t0\nUid:\t" + std::to_string(uid)
        + "\t" + std::to_string(uid + 1) + "\t0\t0\nGid:\t0\t0\t0\t0\n";
}

class ProcFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString();
        writeFile(root / "stat", "cpu  1 2 3 4\nbtime 1700000000\n");
    }

    void addProcess(int pid, const std::string& stat, const std::string& statusText)
    {
        writeFile(root / std::to_string(pid) / "stat", stat);
        if (!statusText.empty())
            writeFile(root / std::to_string(pid) / "status", statusText);
    }

    QTemporaryDir dir;
    fs::path root;
};

} // namespace

TEST(ProcessTableParse, StatWithParenthesesAndSpacesInTheName)
{
    const auto s = ProcessTable::parseStat(statLine(42, "Web (Content) x", 'R', 7, 0x400100, 250, 50, 9000, 300));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pid, 42);
    EXPECT_EQ(s->comm, "Web (Content) x");
    EXPECT_EQ(s->state, 'R');
    EXPECT_EQ(s->ppid, 7);
    EXPECT_EQ(s->flags, 0x400100u);
    EXPECT_EQ(s->utime, 250u);
    EXPECT_EQ(s->stime, 50u);
    EXPECT_EQ(s->startTime, 9000u);
    EXPECT_EQ(s->rssPages, 300);
}

TEST(ProcessTableParse, RejectsTruncatedOrGarbledStat)
{
    const std::string full = statLine(42, "x", 'S', 1, 0, 1, 1, 1, 1);
    EXPECT_FALSE(ProcessTable::parseStat(full.substr(0, full.find(" 123456789"))));
    EXPECT_FALSE(ProcessTable::parseStat("42 x S 1"));
    EXPECT_FALSE(ProcessTable::parseStat(""));
    EXPECT_FALSE(ProcessTable::parseStat(statLine(42, "x", 'S', 1, 0, 1, 1, 1, 1).replace(0, 2, "4a")));
}

TEST(ProcessTableParse, StatusUidAndBootTime)
{
    const auto uids = ProcessTable::parseStatusUids(status(1000));
    ASSERT_TRUE(uids);
    EXPECT_EQ(uids->real, 1000u);
    EXPECT_EQ(uids->saved, 0u); // the third id, past the effective one (1001)
    EXPECT_FALSE(ProcessTable::parseStatusUids("Name:\tx\nGid:\t0\t0\t0\t0\n"));
    EXPECT_FALSE(ProcessTable::parseStatusUids("Uid:\tabc\t0\t0\t0\n"));
    EXPECT_FALSE(ProcessTable::parseStatusUids("Uid:\t0\t0\n"));
    EXPECT_EQ(ProcessTable::parseBootTime("cpu 1 2\nintr 5\nbtime 1700000000\nprocesses 3\n"), 1700000000);
    EXPECT_FALSE(ProcessTable::parseBootTime("cpu 1 2\n"));
}

// SIGSTOP is bit 19 of the masks; a process may name itself after one of the lines.
TEST(ProcessTableParse, AStopIsPendingOnlyWhereTheSignalLinesSaySo)
{
    EXPECT_TRUE(ProcessTable::stopPending("Name:\tx\nSigPnd:\t0000000000040000\nShdPnd:\t0000000000000000\n"));
    EXPECT_TRUE(ProcessTable::stopPending("Name:\tx\nSigPnd:\t0000000000000000\nShdPnd:\t0000000000040000\n"));
    EXPECT_FALSE(ProcessTable::stopPending("Name:\tx\nSigPnd:\t0000000000020000\nShdPnd:\t0000000000080000\n"));
    EXPECT_FALSE(ProcessTable::stopPending(
        "Name:\tSigPnd: 40000\nSigPnd:\t0000000000000000\nShdPnd:\t0000000000000000\nSigBlk:\t0000000000040000\n"));
    EXPECT_TRUE(ProcessTable::stopPending("Name:\tShdPnd:\nSigPnd:\t0000000000040000\nShdPnd:\t0000000000000000\n"));
    EXPECT_FALSE(ProcessTable::stopPending(""));
}

TEST(ProcessTableParse, NamesFromExecutableAndCommandLine)
{
    EXPECT_EQ(ProcessTable::nameFromExeTarget("/usr/lib/firefox-esr/firefox-esr"), "firefox-esr");
    EXPECT_EQ(ProcessTable::nameFromExeTarget("/tmp/build/my-long-program-name (deleted)"), "my-long-program-name");
    EXPECT_EQ(ProcessTable::nameFromCmdline(std::string("/usr/bin/python3\0script.py\0", 27)), "python3");
    EXPECT_EQ(ProcessTable::nameFromCmdline("sshd: alice@pts/0"), "sshd:");
    EXPECT_EQ(ProcessTable::nameFromCmdline(""), "");
}

TEST_F(ProcFixture, ListsProcessesWithTheirFacts)
{
    const long page = sysconf(_SC_PAGESIZE);
    addProcess(100, statLine(100, "clang-tool-chai", 'R', 1, 0x400000, 300, 200, 12345, 256), status(1000));
    fs::create_symlink("/opt/llvm/bin/clang-tool-chain-wrapper", root / "100" / "exe");
    addProcess(200, statLine(200, "python3", 'S', 100, 0, 5, 5, 500, 10), status(0));
    writeFile(root / "200" / "cmdline", std::string("/usr/bin/ollama-runner\0--port\0", 30));

    const auto list = ProcessTable(root.string()).list();
    ASSERT_EQ(list.size(), 2u);
    const auto& a = *std::find_if(list.begin(), list.end(), [](auto& p) { return p.pid == 100; });
    EXPECT_EQ(a.name, "clang-tool-chain-wrapper");
    EXPECT_EQ(a.ppid, 1);
    // The fixture's folders belong to whoever runs the test; only root-owned ones defer to status.
    EXPECT_EQ(a.uid, getuid() == 0 ? 1000u : getuid());
    EXPECT_EQ(a.state, 'R');
    EXPECT_FALSE(a.kernelThread);
    EXPECT_EQ(a.cpuTicks, 500u);
    EXPECT_EQ(a.startTimeTicks, 12345u);
    EXPECT_DOUBLE_EQ(a.startTime, 1700000000.0 + 12345.0 / ProcessTable::ticksPerSecond());
    EXPECT_EQ(a.residentBytes, 256u * page);
    const auto& b = *std::find_if(list.begin(), list.end(), [](auto& p) { return p.pid == 200; });
    EXPECT_EQ(b.name, "ollama-runner");
    EXPECT_EQ(b.uid, getuid());
}

TEST_F(ProcFixture, ListingWithoutOwnersKeepsEverythingElse)
{
    addProcess(100, statLine(100, "bash", 'S', 1, 0, 3, 4, 10, 20), status(1000));
    addProcess(101, statLine(101, "gone", 'S', 1, 0, 3, 4, 10, 20), "");
    const ProcessTable table(root.string());
    const auto without = table.listWithoutOwners();
    const auto with = table.list();
    ASSERT_EQ(without.size(), 2u); // no status needed, so 101 is still listed
    ASSERT_EQ(with.size(), 1u);
    EXPECT_EQ(without[0].uid, ProcessTable::unknownUid);
    ProcessInfo owned = without[0];
    owned.uid = with[0].uid;
    EXPECT_EQ(owned, with[0]);
}

TEST_F(ProcFixture, FallsBackToCommWithoutExeOrCommandLine)
{
    addProcess(300, statLine(300, "zombie-thing", 'Z', 1, 0, 0, 0, 1, 0), status(1000));
    const auto p = ProcessTable(root.string()).info(300);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->name, "zombie-thing");
    EXPECT_EQ(p->residentBytes, 0u);
}

TEST_F(ProcFixture, KernelThreadsOnlyOnRequest)
{
    addProcess(2, statLine(2, "kthreadd", 'S', 0, 0x208040, 0, 1, 2, 0), status(0));
    addProcess(50, statLine(50, "bash", 'S', 1, 0x400000, 1, 1, 2, 100), status(1000));
    EXPECT_EQ(ProcessTable(root.string()).list().size(), 1u);
    const auto all = ProcessTable(root.string()).list(true);
    ASSERT_EQ(all.size(), 2u);
    const auto k = std::find_if(all.begin(), all.end(), [](auto& p) { return p.pid == 2; });
    EXPECT_TRUE(k->kernelThread);
    EXPECT_EQ(k->name, "kthreadd");
}

TEST_F(ProcFixture, SkipsVanishedAndForeignEntries)
{
    addProcess(10, statLine(10, "alive", 'S', 1, 0, 1, 1, 1, 1), status(1));
    fs::create_directories(root / "11"); // gone before its stat was read
    addProcess(12, statLine(12, "gone", 'S', 1, 0, 1, 1, 1, 1), ""); // gone between stat and status
    addProcess(13, statLine(99, "other", 'S', 1, 0, 1, 1, 1, 1), status(1)); // stat of another pid
    addProcess(14, "14 (trunc", status(1)); // cut short
    writeFile(root / "self" / "stat", statLine(10, "alive", 'S', 1, 0, 1, 1, 1, 1));
    fs::create_directories(root / "sys");
    const auto list = ProcessTable(root.string()).list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].pid, 10);
    EXPECT_FALSE(ProcessTable(root.string()).info(11));
    EXPECT_FALSE(ProcessTable(root.string()).info(0));
    EXPECT_FALSE(ProcessTable(root.string()).info(-5));
}

TEST(ProcessTableMachine, MissingRootIsEmpty)
{
    EXPECT_TRUE(ProcessTable("/nonexistent/proc").list().empty());
    EXPECT_FALSE(ProcessTable("/nonexistent/proc").info(1));
}

TEST(ProcessTableMachine, SeesThisProcessAsItIs)
{
    const auto self = ProcessTable().info(getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->uid, getuid());
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_EQ(self->name, fs::read_symlink("/proc/self/exe").filename().string());
    EXPECT_GT(self->residentBytes, 0u);

    timeval now {};
    gettimeofday(&now, nullptr);
    EXPECT_LE(self->startTime, now.tv_sec + 1.0);
    EXPECT_GT(self->startTime, now.tv_sec - 24 * 3600.0);
}

// A root service that serves a user under the user's effective uid, and stays dumpable so its pid
// folder belongs to that user: the kernel lets only root signal it, so its owner is root.
TEST(ProcessTableMachine, AProcessThatSwitchedOnlyItsEffectiveUidBelongsToItsRealAndSavedUid)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to switch a child's effective uid";
    const ForkedChild service(
        [] { return ::syscall(SYS_setresuid, 0, 65534, 0) == 0 && ::prctl(PR_SET_DUMPABLE, 1) == 0; });
    ASSERT_TRUE(service.ready());
    struct stat folder
    {
    };
    ASSERT_EQ(::stat(("/proc/" + std::to_string(service.pid())).c_str(), &folder), 0);
    ASSERT_EQ(folder.st_uid, 65534u);
    const auto info = ProcessTable().info(service.pid());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->uid, 0u);
    EXPECT_EQ(info->savedUid, 0u);
}

TEST(ProcessTableMachine, ListMatchesTheProcDirectory)
{
    std::set<int> before;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (std::all_of(name.begin(), name.end(), ::isdigit))
            before.insert(std::stoi(name));
    }
    const auto all = ProcessTable().list(true);
    std::set<int> listed;
    for (const auto& p : all)
        listed.insert(p.pid);
    EXPECT_TRUE(listed.count(getpid()));
    // Processes start and end between the readings, as many as the machine likes: every one there
    // before the listing and still there after it must be listed.
    std::vector<int> missed;
    for (int pid : before) {
        if (!listed.count(pid) && fs::exists("/proc/" + std::to_string(pid)))
            missed.push_back(pid);
    }
    EXPECT_TRUE(missed.empty()) << missed.size() << " of " << before.size() << " missed, the first " << missed[0];
    const auto user = ProcessTable().list();
    EXPECT_TRUE(std::none_of(user.begin(), user.end(), [](auto& p) { return p.kernelThread; }));
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](auto& p) { return p.name.empty(); }));
}
