#include "HelperTestSupport.h"
#include "RawCalls.h"

#include "support/ChildProcess.h"

#include "helper/src/SuspendedProcesses.h"
#include "platform/proc/ProcessTable.h"

#include "support/SignalChild.h"

#include <nlohmann/json.hpp>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <sys/mount.h>

using namespace helpertest;

namespace {

std::uint64_t startTimeOf(pid_t pid)
{
    const auto info = platform::ProcessTable().info(pid);
    return info ? info->startTimeTicks : 0;
}

// A runtime folder whose writes can be made to fail, as a full one's do: where the test runs as root,
// a 64 KB tmpfs in a mount namespace that a child holds, filled on purpose; elsewhere a folder in
// place of the list's temporary file, which fails every write of the list.
class FillableRuntimeFolder
{
public:
    explicit FillableRuntimeFolder(const std::string& path)
        : m_path(path)
    {
        ::mkdir(path.c_str(), 0755);
        m_holder = std::make_unique<ForkedChild>([path] {
            return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                && ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
        });
        if (!m_holder->ready())
            m_holder.reset();
    }

    bool isTmpfs() const { return m_holder != nullptr; }
    // What the helper is started through, so that it sees the tmpfs.
    std::vector<std::string> launcher() const
    {
        if (!m_holder)
            return {};
        return {"nsenter", "--mount=/proc/" + std::to_string(m_holder->pid()) + "/ns/mnt", "--"};
    }
    // A file in the folder, as this test program reaches it.
    std::string file(const std::string& name) const
    {
        const std::string root = m_holder ? "/proc/" + std::to_string(m_holder->pid()) + "/root" : "";
        return root + m_path + "/" + name;
    }

    void fill() const
    {
        if (!m_holder) {
            ASSERT_EQ(::mkdir(file("suspended.json.tmp").c_str(), 0755), 0);
            return;
        }
        const platform::UniqueFd filler(::open(file("filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(filler.valid());
        const std::string block(4096, 'x');
        while (::write(filler.get(), block.data(), block.size()) > 0) { }
        EXPECT_EQ(errno, ENOSPC);
    }
    void empty() const
    {
        if (m_holder)
            EXPECT_EQ(::unlink(file("filler").c_str()), 0);
        else
            EXPECT_EQ(::rmdir(file("suspended.json.tmp").c_str()), 0);
    }
    // Remounts the tmpfs read-only or read-write again; false where there is none.
    bool setReadOnly(bool readOnly) const
    {
        if (!m_holder)
            return false;
        const std::string command = "nsenter --mount=/proc/" + std::to_string(m_holder->pid())
            + "/ns/mnt -- mount -o remount," + (readOnly ? "ro" : "rw") + " '" + m_path + "'";
        return std::system(command.c_str()) == 0;
    }

private:
    std::string m_path;
    std::unique_ptr<ForkedChild> m_holder;
};

class HelperDaemonTest : public ::testing::Test
{
protected:
    std::string path(const std::string& name) const { return inDir(m_dir, name); }

    std::map<std::string, std::string> environment() const
    {
        return {{"QUORVANE_HELPER_SOCKET", path("helper.sock")}, {"QUORVANE_HELPER_AUDIT_LOG", path("audit.log")},
            {"QUORVANE_HELPER_RUNTIME_DIR", path("run")},
            {"QUORVANE_HELPER_INDEXER_TOOL",
                writeScript(path("indexer"), "echo \"$@\" > " + path("indexer.args") + "\nexit 0")},
            {"QUORVANE_HELPER_TRUSTED", "/nonexistent:" + trustedTestProgram()}};
    }

    // A program that stops each of `pids` on one connection and keeps it until it is killed.
    std::unique_ptr<ForkedChild> programStopping(const std::vector<pid_t>& pids) const
    {
        const std::string socket = path("helper.sock");
        return std::make_unique<ForkedChild>([socket, pids] {
            const int fd = connectTo(socket.c_str());
            bool stopped = true;
            for (std::size_t i = 0; i < pids.size(); ++i)
                stopped = askSucceeds(fd, stopRequest(long(i) + 1, pids[i])) && stopped;
            return stopped;
        });
    }

    // The stored list, as processes and the indexer flag.
    std::pair<std::vector<helper::SuspendedProcess>, bool> storedList() const
    {
        const auto decoded = helper::SuspendedListFile::decode(readFile(path("run/suspended.json")));
        return decoded.value_or(std::pair<std::vector<helper::SuspendedProcess>, bool> {{}, true});
    }

    QTemporaryDir m_dir;
};

// The installed program, started the way systemd does without socket activation.
TEST_F(HelperDaemonTest, ServesTheSocketFromTheEnvironmentAndStopsCleanly)
{
    const std::string socket = path("helper.sock");
    HelperProcess daemon(environment());
    EXPECT_EQ(daemon.banner(), "QuorvaneHelper is listening on " + socket);

    SleepingChild child;
    RawClient client(socket);
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.call(opRequest(1, platform::HelperOp::getVersion))->version, "1.0.0");
    EXPECT_TRUE(client.call(signalRequest(2, SIGSTOP, child.pid()))->ok);
    EXPECT_TRUE(waitForState(child.pid(), 'T'));
    EXPECT_TRUE(client.call(signalRequest(3, SIGCONT, child.pid()))->ok);
    EXPECT_EQ(client.call(signalRequest(4, SIGSTOP, daemon.pid()))->error->code, 403);
    EXPECT_EQ(readLines(path("audit.log")).size(), 3u);

    // A second daemon does not steal a socket that is in use.
    HelperProcess second({{"QUORVANE_HELPER_SOCKET", socket}, {"QUORVANE_HELPER_RUNTIME_DIR", path("run")}});
    EXPECT_EQ(second.banner(), "");
    EXPECT_NE(second.stop(), 0);

    EXPECT_EQ(daemon.stop(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(socket)));
}

// What the helper stopped is on disk at once, survives a crash, and is resumed when a helper stops.
TEST_F(HelperDaemonTest, StoppingResumesWhatItSuspendedEvenAfterACrash)
{
    // Pausing the indexer needs a caller at the machine's active session, which root always is.
    const bool indexer = ::geteuid() == 0;
    SleepingChild stopped;
    SleepingChild resumed;
    {
        HelperProcess daemon(environment());
        RawClient client(path("helper.sock"));
        ASSERT_TRUE(client.call(signalRequest(1, SIGSTOP, stopped.pid()))->ok);
        ASSERT_TRUE(client.call(signalRequest(2, SIGSTOP, resumed.pid()))->ok);
        ASSERT_TRUE(client.call(signalRequest(3, SIGCONT, resumed.pid()))->ok);
        if (indexer) {
            ASSERT_TRUE(client.call(opRequest(4, platform::HelperOp::pauseFileIndexer))->ok);
        }
        const auto [processes, indexerPaused] = storedList();
        ASSERT_EQ(processes.size(), 1u);
        const helper::SuspendingCaller self {::getpid(), startTimeOf(::getpid()), ::getuid()};
        EXPECT_EQ(processes[0],
            (helper::SuspendedProcess {stopped.pid(), startTimeOf(stopped.pid()), ::getuid(), "sleep", self}));
        EXPECT_EQ(indexerPaused, indexer);
        EXPECT_EQ(daemon.stop(SIGKILL), -1);
    }
    EXPECT_TRUE(waitForState(stopped.pid(), 'T'));

    HelperProcess again(environment());
    ASSERT_FALSE(again.banner().empty());
    ::unlink(path("indexer.args").c_str());
    EXPECT_EQ(again.stop(), 0);
    EXPECT_TRUE(waitForState(stopped.pid(), 'S'));
    EXPECT_EQ(readFile(path("indexer.args")).rfind("start ", 0), indexer ? 0u : std::string::npos);
    EXPECT_EQ(storedList(), (std::pair<std::vector<helper::SuspendedProcess>, bool> {{}, false}));
}

// A helper that ends between a stop and its record must not leave the process stopped where no
// later helper knows of it: the record is made first.
TEST_F(HelperDaemonTest, StopIsRecordedBeforeItIsSent)
{
    SleepingChild target;
    ::mkdir(path("run").c_str(), 0755);
    // Writing the list waits here, as a helper killed in the middle of it would.
    ASSERT_EQ(::mkfifo(path("run/suspended.json.tmp").c_str(), 0600), 0);
    HelperProcess daemon(environment());
    RawClient client(path("helper.sock"));
    client.sendRaw(platform::encodeHelperRequest(signalRequest(1, SIGSTOP, target.pid())));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(daemon.stop(SIGKILL), -1);
    EXPECT_NE(processState(target.pid()), 'T');
}

// A helper started after a crash resumes at once what a program that has ended meanwhile left
// stopped, and the rest as soon as its program ends; an entry that names no program, as an older
// helper wrote them, stays until the helper stops.
TEST_F(HelperDaemonTest, StartingResumesTheStopsOfProgramsThatHaveEnded)
{
    SleepingChild orphaned;
    SleepingChild held;
    SleepingChild unowned;
    auto program = std::make_unique<ForkedChild>([] { return true; });
    ASSERT_TRUE(program->ready());
    for (const auto* child : {&orphaned, &held, &unowned}) {
        signalChild(child->pid(), SIGSTOP);
        ASSERT_TRUE(waitForState(child->pid(), 'T'));
    }
    const helper::SuspendingCaller ended {vanishedPid(), 12345, ::getuid()};
    const helper::SuspendingCaller running {program->pid(), startTimeOf(program->pid()), ::getuid()};
    ::mkdir(path("run").c_str(), 0755);
    std::ofstream(path("run/suspended.json"))
        << helper::SuspendedListFile::encode({{orphaned.pid(), startTimeOf(orphaned.pid()), ::getuid(), "sleep", ended},
                                                 {held.pid(), startTimeOf(held.pid()), ::getuid(), "sleep", running},
                                                 {unowned.pid(), startTimeOf(unowned.pid()), ::getuid(), "sleep"}},
               false);

    HelperProcess daemon(environment());
    ASSERT_FALSE(daemon.banner().empty());
    EXPECT_TRUE(waitForState(orphaned.pid(), 'S'));
    EXPECT_EQ(processState(held.pid()), 'T');
    program.reset();
    EXPECT_TRUE(waitForState(held.pid(), 'S'));
    // The list is written just after the signal.
    for (int i = 0; i < 200 && storedList().first.size() > 1; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(storedList().first.size(), 1u);
    EXPECT_EQ(processState(unowned.pid()), 'T');
    EXPECT_EQ(daemon.stop(), 0);
    EXPECT_TRUE(waitForState(unowned.pid(), 'S'));
    const auto lines = readLines(path("audit.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(nlohmann::json::parse(lines[0])["stoppedByPID"], ended.pid);
    EXPECT_FALSE(nlohmann::json::parse(lines[2]).contains("stoppedByPID"));
}

// Package removal: the stored list is resumed without serving, and a process that merely has the
// pid of one on the list is left alone.
TEST_F(HelperDaemonTest, ResumeSuspendedModeAndUnknownArguments)
{
    SleepingChild listed;
    SleepingChild reused;
    SleepingChild orphaned; // its caller has ended, so it is resumed as the list is read
    for (const auto* child : {&listed, &reused, &orphaned}) {
        signalChild(child->pid(), SIGSTOP);
        ASSERT_TRUE(waitForState(child->pid(), 'T'));
    }
    ::mkdir(path("run").c_str(), 0755);
    std::ofstream(path("run/suspended.json"))
        << helper::SuspendedListFile::encode({{listed.pid(), startTimeOf(listed.pid()), ::getuid(), "sleep"},
                                                 {reused.pid(), startTimeOf(reused.pid()) + 1, ::getuid(), "sleep"},
                                                 {orphaned.pid(), startTimeOf(orphaned.pid()), ::getuid(), "sleep",
                                                     helper::SuspendingCaller {vanishedPid(), 12345, ::getuid()}}},
               true);

    HelperProcess resume(environment(), {"--resume-suspended"});
    EXPECT_EQ(resume.banner(), "QuorvaneHelper resumed 2 suspended processes");
    EXPECT_EQ(resume.wait(), 0); // it ends by itself; a SIGTERM could catch it on its way out
    EXPECT_TRUE(waitForState(listed.pid(), 'S'));
    EXPECT_TRUE(waitForState(orphaned.pid(), 'S'));
    EXPECT_EQ(processState(reused.pid()), 'T');
    EXPECT_EQ(readFile(path("indexer.args")).rfind("start ", 0), 0u);
    EXPECT_EQ(storedList(), (std::pair<std::vector<helper::SuspendedProcess>, bool> {{}, false}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("helper.sock"))));

    for (const auto& arguments : std::vector<std::vector<std::string>> {{"--serve"}, {"--resume-suspended", "x"}}) {
        HelperProcess unknown(environment(), arguments);
        EXPECT_EQ(unknown.banner(), "");
        EXPECT_EQ(unknown.wait(), 2);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(path("helper.sock"))));
    }
    signalChild(reused.pid(), SIGCONT);
}

// A helper that stops while its runtime folder is full resumes what it stopped; the list it could not
// rewrite must not have a later --resume-suspended (or a helper started again) continue those
// processes once their user has stopped them on purpose.
TEST_F(HelperDaemonTest, AListThatCouldNotBeRewrittenContinuesNothingLater)
{
    const FillableRuntimeFolder run(path("run"));
    SleepingChild targets[3];
    const std::vector<pid_t> pids {targets[0].pid(), targets[1].pid(), targets[2].pid()};
    auto daemon = std::make_unique<HelperProcess>(environment(), std::vector<std::string> {}, run.launcher());
    ASSERT_FALSE(daemon->banner().empty());
    // The program that asks keeps its connection until it is killed.
    auto program = programStopping(pids);
    ASSERT_TRUE(program->ready());

    run.fill();
    EXPECT_EQ(daemon->stop(), 0);
    for (const pid_t pid : pids)
        EXPECT_TRUE(waitForState(pid, 'S'));
    program.reset();
    for (const pid_t pid : pids) {
        signalChild(pid, SIGSTOP);
        ASSERT_TRUE(waitForState(pid, 'T'));
    }
    run.empty();

    HelperProcess resume(environment(), {"--resume-suspended"}, run.launcher());
    EXPECT_EQ(resume.wait(), 0);
    const auto continued = std::count_if(pids.begin(), pids.end(), [](pid_t pid) { return processState(pid) != 'T'; });
    std::printf("[          ] a --resume-suspended after a %s continued %d of 3\n",
        run.isTmpfs() ? "full 64 KB tmpfs" : "runtime folder that could not be written", int(continued));
    EXPECT_EQ(continued, 0);
    EXPECT_EQ(resume.banner(), "QuorvaneHelper resumed 0 suspended processes");
    // Once the file was gone, there was room for the list as it was.
    if (run.isTmpfs()) {
        const auto stored = helper::SuspendedListFile::decode(readFile(run.file("suspended.json")));
        ASSERT_TRUE(stored.has_value());
        EXPECT_TRUE(stored->first.empty());
    }
}

// After a write of the list failed, the list is written again as soon as it can be, not at its next
// change: a helper killed then, and started again, still knows what the program that asked holds
// stopped, and resumes it when that program ends.
TEST_F(HelperDaemonTest, AListThatLagsBehindIsWrittenAgainAsSoonAsItCanBe)
{
    SleepingChild resumed;
    SleepingChild kept;
    const pid_t a = resumed.pid();
    const pid_t b = kept.pid();
    auto daemon = std::make_unique<HelperProcess>(environment());
    ASSERT_FALSE(daemon->banner().empty());
    const std::string socket = path("helper.sock");
    auto program = std::make_unique<ForkedChild>([&socket, a, b] {
        const int fd = connectTo(socket.c_str());
        return askSucceeds(fd, stopRequest(1, a)) && askSucceeds(fd, stopRequest(2, b));
    });
    ASSERT_TRUE(program->ready());
    ASSERT_EQ(storedList().first.size(), 2u);

    // Every write of the list fails from here; another program resumes A, so the file that still
    // lists A is removed, and the list without it cannot be written.
    const std::string temporary = path("run/suspended.json.tmp");
    ASSERT_EQ(::mkdir(temporary.c_str(), 0755), 0);
    RawClient other(socket);
    ASSERT_TRUE(other.call(signalRequest(3, SIGCONT, a))->ok);
    ASSERT_FALSE(QFile::exists(QString::fromStdString(path("run/suspended.json"))));
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(::rmdir(temporary.c_str()), 0);
    const auto roomReturned = std::chrono::steady_clock::now();
    while (storedList().first.size() != 1 && std::chrono::steady_clock::now() - roomReturned < 3s)
        std::this_thread::sleep_for(10ms);
    const auto took
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - roomReturned);
    const auto listed = storedList().first;
    std::printf("[          ] the list was back %lld ms after room returned\n", static_cast<long long>(took.count()));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].pid, b);
    EXPECT_LT(took, 1500ms);
    EXPECT_NE(daemon->journal().find("QuorvaneHelper wrote " + path("run/suspended.json")
                  + " again: it lists all 1 process the helper holds stopped"),
        std::string::npos)
        << daemon->journal();

    EXPECT_EQ(daemon->stop(SIGKILL), -1);
    HelperProcess again(environment());
    ASSERT_FALSE(again.banner().empty());
    program.reset();
    const bool running = waitForState(b, 'S');
    std::printf("[          ] %d left stopped after the SIGKILL, the restart and the program's end\n", running ? 0 : 1);
    EXPECT_TRUE(running);
}

// Where the list can be neither rewritten nor removed (a read-only runtime folder), the file goes on
// listing what the helper resumed as it stopped: the journal names those processes and says what a
// later helper or --resume-suspended will do with them, which is what they then do.
TEST_F(HelperDaemonTest, AListThatCanBeNeitherRewrittenNorRemovedIsNamedInTheJournal)
{
    const FillableRuntimeFolder run(path("run"));
    if (!run.isTmpfs())
        GTEST_SKIP() << "needs a mount namespace of its own (root) to make the runtime folder read-only";
    SleepingChild targets[3];
    const std::vector<pid_t> pids {targets[0].pid(), targets[1].pid(), targets[2].pid()};
    auto daemon = std::make_unique<HelperProcess>(environment(), std::vector<std::string> {}, run.launcher());
    ASSERT_FALSE(daemon->banner().empty());
    auto program = programStopping(pids);
    ASSERT_TRUE(program->ready());

    ASSERT_TRUE(run.setReadOnly(true));
    EXPECT_EQ(daemon->stop(), 0);
    for (const pid_t pid : pids)
        EXPECT_TRUE(waitForState(pid, 'S'));
    const std::string journal = daemon->journal();
    const std::string file = path("run/suspended.json");
    EXPECT_NE(journal.find("QuorvaneHelper cannot remove " + file
                  + " either (Read-only file system): it still lists 3 processes the helper has resumed since (pid "
                  + std::to_string(pids[0]) + ", " + std::to_string(pids[1]) + ", " + std::to_string(pids[2]) + ")"),
        std::string::npos)
        << journal;
    EXPECT_NE(journal.find("and --resume-suspended continues them all at once"), std::string::npos) << journal;

    // Their user stops them on purpose; once the folder can be written again, --resume-suspended does
    // what the journal said.
    program.reset();
    for (const pid_t pid : pids) {
        signalChild(pid, SIGSTOP);
        ASSERT_TRUE(waitForState(pid, 'T'));
    }
    ASSERT_TRUE(run.setReadOnly(false));
    HelperProcess resume(environment(), {"--resume-suspended"}, run.launcher());
    EXPECT_EQ(resume.wait(), 0);
    EXPECT_EQ(resume.banner(), "QuorvaneHelper resumed 3 suspended processes");
    for (const pid_t pid : pids)
        EXPECT_TRUE(waitForState(pid, 'S'));
}

// --resume-suspended counts the processes it set running again: a listed process that was running
// already is taken off the list, not counted as resumed.
TEST_F(HelperDaemonTest, ResumeSuspendedCountsOnlyWhatItContinued)
{
    SleepingChild stopped;
    SleepingChild running[2];
    signalChild(stopped.pid(), SIGSTOP);
    ASSERT_TRUE(waitForState(stopped.pid(), 'T'));
    ::mkdir(path("run").c_str(), 0755);
    std::vector<helper::SuspendedProcess> listed;
    for (const pid_t pid : {stopped.pid(), running[0].pid(), running[1].pid()})
        listed.push_back({pid, startTimeOf(pid), ::getuid(), "sleep"});
    std::ofstream(path("run/suspended.json")) << helper::SuspendedListFile::encode(listed, false);

    HelperProcess resume(environment(), {"--resume-suspended"});
    EXPECT_EQ(resume.banner(), "QuorvaneHelper resumed 1 suspended process");
    EXPECT_EQ(resume.wait(), 0);
    EXPECT_TRUE(waitForState(stopped.pid(), 'S'));
    EXPECT_TRUE(storedList().first.empty());
}

} // namespace
