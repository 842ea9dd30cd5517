#include "HelperServerFixture.h"
#include "RawCalls.h"

#include "support/SignalChild.h"

#include <QFile>

#include <cstring>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/un.h>

using namespace helpertest;
using platform::HelperOp;

namespace {

// The roles a copy of this program plays when the attack test starts it.
//  attacker: runs an untrusted file, connects, forks; the parent execs the trusted program while the
//            child, still holding the socket, asks for everything and reports the answers.
//  idle:     the trusted program, which only waits for the attacker's child.
int playAttacker(const char* socketPath, const char* trusted)
{
    const int fd = connectTo(socketPath);
    ::usleep(300 * 1000); // the helper accepts the connection meanwhile
    const pid_t target = ::fork();
    if (target == 0) {
        for (;;)
            ::pause();
    }
    if (::fork() == 0) {
        char running[PATH_MAX] = {};
        char link[64];
        std::snprintf(link, sizeof link, "/proc/%d/exe", int(::getppid()));
        for (int i = 0; i < 400 && std::strcmp(running, trusted) != 0; ++i) {
            std::memset(running, 0, sizeof running);
            if (::readlink(link, running, sizeof running - 1) < 0 || std::strcmp(running, trusted) != 0)
                ::usleep(5000);
        }
        const auto stop = stopRequest(1, target);
        askAndReport(fd, stop.text, stop.size, STDOUT_FILENO);
        for (const char* line : {"{\"id\":2,\"op\":\"purgeMemory\"}\n", "{\"id\":3,\"op\":\"suppressSpotlight\"}\n",
                 "{\"id\":4,\"op\":\"getPowerMetrics\"}\n"})
            askAndReport(fd, line, std::strlen(line), STDOUT_FILENO);
        // The replies are in, so a stop sent would be pending: the target settles asleep in pause()
        // or stopped, whichever was done; until it has run it shows R.
        char state = processState(target);
        for (int i = 0; i < 2000 && state != 'S' && state != 'T'; ++i) {
            ::usleep(5000);
            state = processState(target);
        }
        std::printf("target %c\n", state);
        std::fflush(stdout);
        signalChild(target, SIGKILL);
        ::_exit(0);
    }
    char* argv[] = {const_cast<char*>(trusted), nullptr};
    char role[] = "QV_HELPER_TEST_ROLE=idle";
    char* envp[] = {role, nullptr};
    ::execve(trusted, argv, envp);
    return 127;
}

[[maybe_unused]] const bool kPlaysARole = [] {
    const char* role = std::getenv("QV_HELPER_TEST_ROLE");
    if (!role)
        return false;
    if (std::strcmp(role, "idle") == 0) {
        while (::wait(nullptr) > 0) { }
        ::_exit(0);
    }
    if (std::strcmp(role, "attacker") == 0)
        ::_exit(playAttacker(std::getenv("QV_HELPER_TEST_SOCKET"), std::getenv("QV_HELPER_TEST_TRUSTED")));
    return false;
}();

std::vector<std::string> readAllLines(int fd, std::chrono::milliseconds timeout)
{
    platform::LineChannel channel(fd);
    std::vector<std::string> lines;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto result = channel.readLine(deadline);
        if (result.status != platform::LineChannel::Status::Line)
            return lines;
        lines.push_back(result.line);
    }
}

// One byte with room for one descriptor beside it, as SCM_RIGHTS passes it.
struct DescriptorMessage
{
    char byte = 1;
    iovec data {&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message {};

    DescriptorMessage()
    {
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    DescriptorMessage(const DescriptorMessage&) = delete;
    DescriptorMessage& operator=(const DescriptorMessage&) = delete;
};

// Passes `fd` over the Unix socket `channel`; raw calls only.
bool sendDescriptor(int channel, int fd)
{
    DescriptorMessage sent;
    cmsghdr* header = CMSG_FIRSTHDR(&sent.message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
    return ::sendmsg(channel, &sent.message, 0) == 1;
}

int receiveDescriptor(int channel)
{
    DescriptorMessage received;
    if (::recvmsg(channel, &received.message, 0) != 1)
        return -1;
    const cmsghdr* header = CMSG_FIRSTHDR(&received.message);
    if (!header || header->cmsg_type != SCM_RIGHTS)
        return -1;
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    return fd;
}

class HelperCallerTrustTest : public HelperServerFixture
{
protected:
    // Runs `play` in a process forked from this program, in a process group of its own, with a pipe
    // for the lines it reports; answers those lines and the state of that process just before its
    // group was ended.
    static std::pair<std::vector<std::string>, char> playInGroup(const std::function<void(int out)>& play)
    {
        int out[2];
        if (::pipe(out) != 0)
            return {};
        const pid_t leader = ::fork();
        if (leader == 0) {
            ::setpgid(0, 0); // so that the test can end the group, whatever the helper did to it
            ::close(out[0]);
            play(out[1]);
            ::_exit(0);
        }
        ::close(out[1]);
        auto lines = readAllLines(out[0], 10s);
        ::close(out[0]);
        const char state = processState(leader);
        signalChildGroup(leader, SIGKILL);
        ::waitpid(leader, nullptr, 0);
        return {std::move(lines), state};
    }
};

// An unprivileged user connects from an untrusted program, forks, and its parent execs the trusted
// one: the connection was judged when it was accepted and stays refused.
TEST_F(HelperCallerTrustTest, ForkAndExecOfTheTrustedProgramIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the attacker under another account";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    const std::string attacker = path("attacker");
    const std::string trusted = path("quorvane-pro");
    for (const auto& copy : {attacker, trusted}) {
        std::filesystem::copy_file(trustedTestProgram(), copy);
        ::chmod(copy.c_str(), 0755);
    }
    m_config.trustedExecutables = {trusted};
    std::ofstream(m_config.dropCachesPath) << "";
    ::chmod(m_config.dropCachesPath.c_str(), 0644);
    start();

    const std::string environment[] = {"QV_HELPER_TEST_ROLE=attacker", "QV_HELPER_TEST_SOCKET=" + m_config.socketPath,
        "QV_HELPER_TEST_TRUSTED=" + trusted};
    char* envp[] = {const_cast<char*>(environment[0].c_str()), const_cast<char*>(environment[1].c_str()),
        const_cast<char*>(environment[2].c_str()), nullptr};
    char* argv[] = {const_cast<char*>(attacker.c_str()), nullptr};
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        if (::syscall(SYS_setgid, 65534) != 0 || ::syscall(SYS_setuid, 65534) != 0)
            ::_exit(2);
        ::execve(attacker.c_str(), argv, envp);
        ::_exit(127);
    }
    ::close(out[1]);
    const auto lines = readAllLines(out[0], 20s);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ASSERT_EQ(lines.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(lines[i]);
        const auto reply = platform::decodeHelperReply(lines[i]);
        EXPECT_TRUE(lines[i] == "closed" || (reply && !reply->ok && reply->error->code == 403));
    }
    EXPECT_EQ(lines[4], "target S");
    EXPECT_EQ(readFile(m_config.dropCachesPath), "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("indexer.args"))));
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["action"], "caller_invalid_signature");
    EXPECT_EQ(records[0]["callerUID"], 65534);
    EXPECT_EQ(records[0]["callerExecutable"], attacker);
}

// A caller may not stop itself or a process it descends from, which would freeze the session that asked.
TEST_F(HelperCallerTrustTest, StoppingTheCallerOrItsParentIsRefused)
{
    start();
    const std::string socket = m_config.socketPath;
    const auto [lines, state] = playInGroup([&socket](int out) {
        const pid_t caller = ::fork();
        if (caller == 0) {
            const int fd = connectTo(socket.c_str());
            const auto stopParent = stopRequest(1, ::getppid());
            askAndReport(fd, stopParent.text, stopParent.size, out);
            const auto stopSelf = stopRequest(2, ::getpid());
            askAndReport(fd, stopSelf.text, stopSelf.size, out);
            ::_exit(0);
        }
        ::waitpid(caller, nullptr, 0);
    });

    EXPECT_NE(state, 'T');
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto reply = platform::decodeHelperReply(lines[i]);
        expectError(reply, std::int64_t(i + 1), "QVHelperError", 403);
        EXPECT_NE(reply->error->message.find("it is the caller or one of its parent processes."), std::string::npos)
            << lines[i];
    }
}

// A child that connects, hands its end of the connection to its parent and ends does not leave the
// parent free to have itself stopped: every process holding that end asks through it.
TEST_F(HelperCallerTrustTest, ProcessHandedTheConnectionCannotStopItself)
{
    start();
    const std::string socket = m_config.socketPath;
    const auto [lines, state] = playInGroup([&socket](int out) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            ::_exit(3);
        const pid_t child = ::fork();
        if (child == 0) {
            const int fd = connectTo(socket.c_str());
            // Answered, so the helper has judged this process as the caller.
            const char version[] = "{\"id\":0,\"op\":\"getVersion\"}\n";
            askAndReport(fd, version, sizeof version - 1, out);
            ::_exit(sendDescriptor(pair[1], fd) ? 0 : 4);
        }
        const int fd = receiveDescriptor(pair[0]);
        ::waitpid(child, nullptr, 0); // the process that connected is gone
        const auto stopSelf = stopRequest(1, ::getpid());
        askAndReport(fd, stopSelf.text, stopSelf.size, out);
    });

    EXPECT_NE(state, 'T');
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(platform::decodeHelperReply(lines[0])->ok);
    const auto reply = platform::decodeHelperReply(lines[1]);
    expectError(reply, 1, "QVHelperError", 403);
    EXPECT_NE(reply->error->message.find("it is the caller or one of its parent processes."), std::string::npos);
}

// Pausing the indexer, dropping caches and power readings touch the whole machine: a trusted caller
// outside the active local session is refused them, root is not. Signals stay allowed.
TEST_F(HelperCallerTrustTest, SystemWideActionsNeedTheActiveLocalSession)
{
    m_config.sessions = std::make_shared<platform::FixedLocalSessions>(false);
    std::ofstream(m_config.dropCachesPath) << "";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    start();
    const std::string requests = platform::encodeHelperRequest(opRequest(1, HelperOp::purgeMemory)) + "\n"
        + platform::encodeHelperRequest(opRequest(2, HelperOp::pauseFileIndexer)) + "\n"
        + platform::encodeHelperRequest(opRequest(3, HelperOp::getPowerMetrics)) + "\n";
    const std::string socket = m_config.socketPath;
    const bool root = ::geteuid() == 0;

    // As an ordinary user: this program itself, or when it runs as root a child of it running as nobody.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::syscall(SYS_setgid, 65534) != 0 || ::syscall(SYS_setuid, 65534) != 0))
            ::_exit(2);
        const int fd = connectTo(socket.c_str());
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t end = requests.find('\n', at) + 1;
            askAndReport(fd, requests.data() + at, end - at, out[1]);
            at = end;
        }
        ::_exit(0);
    }
    ::close(out[1]);
    const auto lines = readAllLines(out[0], 15s);
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto reply = platform::decodeHelperReply(lines[i]);
        expectError(reply, std::int64_t(i + 1), "QVHelperError", 403,
            "Refused: this acts on the whole machine, which only a user of its active local session may ask.");
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("indexer.args"))));
    EXPECT_EQ(readFile(m_config.dropCachesPath), "");

    if (root) {
        RawClient client(m_config.socketPath);
        EXPECT_TRUE(client.call(opRequest(4, HelperOp::purgeMemory))->ok);
        EXPECT_EQ(readFile(m_config.dropCachesPath), "1");
    }
}

} // namespace
