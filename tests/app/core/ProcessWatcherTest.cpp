#include "core/ProcessWatcher.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A /proc tree whose processes and CPU counters the test sets, with a clock it moves by hand.
class FakeProc
{
public:
    FakeProc()
    {
        root = tmp.path().toStdString();
        std::ofstream(root / "stat") << "cpu 1 2 3 4\nbtime 1700000000\n";
    }

    // cpuSeconds of CPU time used so far; rss in MiB.
    void set(int pid, const std::string& name, double cpuSeconds, std::uint64_t startTicks = 1000, long rssMiB = 64)
    {
        const auto dir = root / std::to_string(pid);
        fs::create_directories(dir);
        const auto ticks = static_cast<std::uint64_t>(cpuSeconds * platform::ProcessTable::ticksPerSecond());
        const long pages = rssMiB * 1024 * 1024 / sysconf(_SC_PAGESIZE);
        std::ostringstream stat;
        stat << pid << " (" << name.substr(0, 15) << ") S 1 1 1 0 -1 4194304 0 0 0 0 " << ticks << " 0 0 0 20 0 1 0 "
             << startTicks << " 1000000 " << pages << " 184467 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n";
        rewriteInPlace(dir / "stat", stat.str());
        std::ofstream(dir / "status") << "Name:\t" << name << "\nUid:\t1000\t1000\t1000\t1000\n";
        std::ofstream(dir / "cmdline") << "/usr/bin/" << name << '\0';
    }
    void remove(int pid) { fs::remove_all(root / std::to_string(pid)); }

    // Overwrites the file where it is, as the kernel's file keeps its identity, and without a moment
    // when it is empty, so that a watcher reading it meanwhile never sees the process gone.
    static void rewriteInPlace(const fs::path& path, const std::string& text)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::pwrite(fd, text.data(), text.size(), 0), ssize_t(text.size()));
        EXPECT_EQ(::ftruncate(fd, off_t(text.size())), 0);
        ::close(fd);
    }

    ProcessWatcher::Options options(int processors = 10)
    {
        ProcessWatcher::Options o;
        o.procRoot = root.string();
        o.clock = [this] { return clock.load(); };
        o.processorCount = processors;
        o.watchInterval = 30ms;
        return o;
    }

    QTemporaryDir tmp;
    fs::path root;
    std::atomic<double> clock = 1000.0;
};

double loadOf(const std::vector<RunningProcess>& list, int pid)
{
    const auto it = std::find_if(list.begin(), list.end(), [pid](const RunningProcess& p) { return p.pid == pid; });
    return it == list.end() ? -1 : it->cpuPercent;
}

} // namespace

TEST(ProcessWatcherLoad, FirstSnapshotZeroThenLoadSinceThePrevious)
{
    FakeProc proc;
    proc.set(10, "clang++", 5.0);
    proc.set(11, "a-very-long-process-name", 1.0);
    ProcessWatcher watcher(proc.options());

    const auto first = watcher.scanProcesses();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].cpuPercent, 0);
    EXPECT_EQ(first[1].cpuPercent, 0);
    EXPECT_EQ(first[0].name, "clang++");
    EXPECT_EQ(first[1].name, "a-very-long-process-name"); // argv[0], not the cut comm
    EXPECT_EQ(first[0].memoryMB, 64);
    EXPECT_DOUBLE_EQ(
        first[0].startTime.timeIntervalSince1970(), 1700000000.0 + 1000.0 / platform::ProcessTable::ticksPerSecond());

    proc.set(10, "clang++", 7.0); // 2 s of CPU in 1 s
    proc.set(11, "a-very-long-process-name", 31.0); // 30 s in 1 s: beyond 10 processors
    proc.clock = 1001.0;
    const auto second = watcher.scanProcesses();
    EXPECT_DOUBLE_EQ(loadOf(second, 10), 200.0);
    EXPECT_DOUBLE_EQ(loadOf(second, 11), 1000.0);
}

TEST(ProcessWatcherLoad, SnapshotsSoonerThanASecondRepeatTheLastLoad)
{
    FakeProc proc;
    proc.set(10, "ollama", 0.0);
    ProcessWatcher watcher(proc.options());
    watcher.scanProcesses();
    proc.set(10, "ollama", 0.5);
    proc.clock = 1002.0;
    EXPECT_DOUBLE_EQ(loadOf(watcher.scanProcesses(), 10), 25.0);
    // 10 ms later one more tick has been counted: 100 % if measured over 10 ms.
    proc.set(10, "ollama", 0.51);
    proc.clock = 1002.01;
    EXPECT_DOUBLE_EQ(loadOf(watcher.scanProcesses(), 10), 25.0);
    // From the older baseline once a second has passed: 0.51 s over 1.2 s... measured from 1002.0.
    proc.set(10, "ollama", 0.8);
    proc.clock = 1003.0;
    EXPECT_NEAR(loadOf(watcher.scanProcesses(), 10), 30.0, 1e-9);
}

TEST(ProcessWatcherLoad, ReusedPidStartsFromNothing)
{
    FakeProc proc;
    proc.set(10, "make", 1.0, 1000);
    ProcessWatcher watcher(proc.options());
    watcher.scanProcesses();
    // The old process ended; a new one got its pid and has already used more CPU than the old counter.
    proc.set(10, "cc1plus", 50.0, 5000);
    proc.clock = 1001.0;
    const auto reused = watcher.scanProcesses();
    EXPECT_EQ(loadOf(reused, 10), 0.0);
    proc.set(10, "cc1plus", 51.0, 5000);
    proc.clock = 1002.0;
    EXPECT_DOUBLE_EQ(loadOf(watcher.scanProcesses(), 10), 100.0);

    // A counter that goes backwards under the same start time is no load either.
    proc.set(10, "cc1plus", 40.0, 5000);
    proc.clock = 1003.0;
    EXPECT_EQ(loadOf(watcher.scanProcesses(), 10), 0.0);
}

TEST(ProcessWatcherLoad, VanishedPidsLeaveNoBaseline)
{
    FakeProc proc;
    proc.set(10, "node", 1.0);
    proc.set(11, "bash", 1.0);
    ProcessWatcher watcher(proc.options());
    watcher.scanProcesses();
    proc.remove(10);
    proc.clock = 1001.0;
    ASSERT_EQ(watcher.scanProcesses().size(), 1u);
    // Back with the same start time (as a fixture can, a real pid cannot): measured afresh, not from 1.0 s.
    proc.set(10, "node", 9.0);
    proc.clock = 1002.0;
    EXPECT_EQ(loadOf(watcher.scanProcesses(), 10), 0.0);
}

TEST(ProcessWatcherMock, MockListReplacesSnapshotsWithoutBookkeeping)
{
    FakeProc proc;
    proc.set(10, "rustc", 1.0);
    ProcessWatcher watcher(proc.options());
    watcher.scanProcesses();

    const std::vector<RunningProcess> mock {{42, "xcodebuild", 300, 55.5, Date::fromReferenceDate(5)},
        {43, "swift-frontend", 120, 3, Date::fromReferenceDate(6)}};
    watcher.setMockProcesses(mock);
    proc.set(10, "rustc", 2.0);
    proc.clock = 1001.0;
    EXPECT_EQ(watcher.scanProcesses(), mock);
    EXPECT_EQ(watcher.scanProcesses(), mock);

    watcher.setMockProcesses(std::nullopt);
    proc.set(10, "rustc", 3.0);
    proc.clock = 1002.0;
    // Measured from the last real snapshot (1.0 s at 1000): 2 s over 2 s.
    EXPECT_DOUBLE_EQ(loadOf(watcher.scanProcesses(), 10), 100.0);
}

TEST(ProcessWatcherWatch, SpawnAndExitOfWatchedNames)
{
    FakeProc proc;
    proc.set(10, "cargo", 1.0);
    proc.set(11, "vim", 1.0);
    ProcessWatcher watcher(proc.options());
    watcher.stopWatching(); // before any start: harmless
    EXPECT_FALSE(watcher.isWatching());

    std::mutex mutex;
    std::vector<RunningProcess> spawned;
    std::vector<RunningProcess> exited;
    std::vector<std::string> calls;
    watcher.startWatching(
        {"cargo", "rustc"},
        [&](const RunningProcess& p) {
            std::lock_guard lock(mutex);
            spawned.push_back(p);
            calls.push_back("spawn " + std::to_string(p.pid));
        },
        [&](const RunningProcess& p) {
            std::lock_guard lock(mutex);
            exited.push_back(p);
            calls.push_back("exit " + std::to_string(p.pid));
        });
    // Until the watcher has reported what it waits for, or a loaded machine's time is up.
    const auto waitFor = [&](std::size_t spawns, std::size_t exits) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if ((spawned.size() >= spawns && exited.size() >= exits) || std::chrono::steady_clock::now() > deadline)
                    return;
            }
            std::this_thread::sleep_for(5ms);
        }
    };
    EXPECT_TRUE(watcher.isWatching());
    std::this_thread::sleep_for(120ms);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(spawned.empty()); // cargo was already running
    }
    proc.remove(10);
    proc.set(12, "rustc", 0.0);
    proc.set(13, "Rustc", 0.0); // names compare exactly
    waitFor(1, 1);
    std::this_thread::sleep_for(120ms); // room for a report too many
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(exited.size(), 1u);
        EXPECT_EQ(exited[0].pid, 10);
        EXPECT_EQ(exited[0].name, "");
        EXPECT_EQ(exited[0].memoryMB, 0);
        EXPECT_EQ(exited[0].cpuPercent, 0);
        ASSERT_EQ(spawned.size(), 1u);
        EXPECT_EQ(spawned[0].pid, 12);
        EXPECT_EQ(spawned[0].name, "rustc");
    }
    // The same pid for a new rustc: the old one ended and a new one started.
    proc.set(12, "rustc", 0.0, 9999);
    waitFor(2, 2);
    watcher.stopWatching();
    EXPECT_FALSE(watcher.isWatching());
    proc.set(14, "cargo", 0.0);
    std::this_thread::sleep_for(100ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(spawned.size(), 2u);
    EXPECT_EQ(exited.size(), 2u);
    // One poll saw both: the new process is reported first, then the old one's end.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(
        std::vector<std::string>(calls.end() - 2, calls.end()), (std::vector<std::string> {"spawn 12", "exit 12"}));
}

TEST(ProcessWatcherWatch, DesktopEventsReachHandlersForWatchedNamesOnly)
{
    FakeProc proc;
    ProcessWatcher watcher(proc.options());
    std::vector<RunningProcess> spawned;
    std::vector<RunningProcess> exited;
    watcher.handleAppLaunched(5, "Xcode"); // no watch list yet
    watcher.startWatching(
        {"Xcode"}, [&](const RunningProcess& p) { spawned.push_back(p); },
        [&](const RunningProcess& p) { exited.push_back(p); });
    watcher.handleAppLaunched(7, "Xcode");
    watcher.handleAppLaunched(8, "xcode");
    watcher.handleAppTerminated(7, "Xcode");
    watcher.stopWatching();
    ASSERT_EQ(spawned.size(), 1u);
    EXPECT_EQ(spawned[0].pid, 7);
    EXPECT_EQ(spawned[0].name, "Xcode");
    ASSERT_EQ(exited.size(), 1u);
    EXPECT_EQ(exited[0].pid, 7);
}

TEST(ProcessWatcherMachine, SeesThisProcessWithRealLoad)
{
    const auto cpuSeconds = [] {
        timespec t {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    ProcessWatcher watcher;
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto first = watcher.scanProcesses();
    const auto self = std::find_if(first.begin(), first.end(), [](auto& p) { return p.pid == getpid(); });
    ASSERT_NE(self, first.end());
    EXPECT_EQ(self->name, fs::read_symlink("/proc/self/exe").filename().string());
    EXPECT_GT(self->memoryMB, 0);
    // Spins for the watcher's shortest interval and until it has used half a second of processor time,
    // however little of a core a busy machine gives it.
    volatile double spin = 0;
    while (std::chrono::steady_clock::now() - start < 1100ms
        || (cpuSeconds() - cpuBefore < 0.5 && std::chrono::steady_clock::now() - start < 30s))
        spin = spin + 1;
    const auto second = watcher.scanProcesses();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Compare with what it really got; the two measures differ by a clock tick and the time of a scan.
    const double expected = (cpuSeconds() - cpuBefore) / elapsed * 100.0;
    EXPECT_NEAR(loadOf(second, getpid()), expected, std::min(15.0, 2.0 + expected / 4));
}
