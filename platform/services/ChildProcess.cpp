#include "platform/services/ChildProcess.h"

#include "platform/io/UniqueFd.h"
#include "platform/proc/Pidfd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// This process's environment with `overrides` put over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides)
{
    const auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> out;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view name = nameOf(*entry);
        if (std::none_of(overrides.begin(), overrides.end(), [&](const auto& o) { return nameOf(o) == name; }))
            out.emplace_back(*entry);
    }
    out.insert(out.end(), overrides.begin(), overrides.end());
    return out;
}

// The texts as the null-terminated array exec takes; it points into `texts`.
std::vector<char*> pointersTo(const std::vector<std::string>& texts)
{
    std::vector<char*> out;
    for (const auto& text : texts)
        out.push_back(const_cast<char*>(text.c_str()));
    out.push_back(nullptr);
    return out;
}

// A started child: its output pipe (when captured) and how it ended.
struct RunningChild
{
    pid_t pid = 0;
    UniqueFd output;
    UniqueFd pidfd; // invalid on kernels without process descriptors: the wait then polls
    bool exited = false;
    int status = 0;
    int waitError = 0;
};

// Whether the child has ended; reaps it when it has.
bool reaped(RunningChild& child)
{
    const pid_t answer = ::waitpid(child.pid, &child.status, WNOHANG);
    if (answer < 0 && errno != EINTR)
        child.waitError = errno;
    child.exited = answer == child.pid || child.waitError != 0;
    return child.exited;
}

// Waits for the child to end and reaps it; false when `until` passed first.
bool reapedBy(RunningChild& child, Clock::time_point until)
{
    while (!child.exited && !reaped(child)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd {child.pidfd.get(), POLLIN, 0};
        ::poll(&fd, child.pidfd ? 1 : 0, int(std::min<long long>(left, child.pidfd ? 60'000 : 10)));
    }
    return true;
}

// How watching a child ended.
enum class Watched { ended, timedOut, stopped };

// Reads the child's output and reaps it until both are done; timedOut when `until` passed while it ran,
// stopped when `stopped` (an event descriptor, or -1) became readable. Once the child is reaped only what
// is already in the pipe is read, for at most kDrainTime: something it started may hold the pipe open for
// as long as it lives, or keep writing to it.
Watched watch(RunningChild& child, std::string& output, std::size_t limit, std::optional<Clock::time_point> until,
    const std::stop_token& stop, int stopped)
{
    constexpr std::chrono::milliseconds kDrainTime {100};
    bool reading = child.output.valid();
    std::optional<Clock::time_point> drainedBy;
    char chunk[8192];
    while ((!child.exited && !reaped(child)) || reading) {
        if (!child.exited && stop.stop_requested())
            return Watched::stopped;
        int timeout = -1;
        if (child.exited) {
            drainedBy = drainedBy.value_or(Clock::now() + kDrainTime);
            if (Clock::now() >= *drainedBy)
                break;
            timeout = 0;
        } else if (until) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
            if (left <= 0)
                return Watched::timedOut;
            timeout = int(std::min<long long>(left, 60'000));
        }
        if (!child.exited && !child.pidfd)
            timeout = timeout < 0 ? 10 : std::min(timeout, 10);
        // Without its event descriptor a stop is seen within a tenth of a second.
        if (!child.exited && stop.stop_possible() && stopped < 0)
            timeout = timeout < 0 ? 100 : std::min(timeout, 100);
        pollfd fds[3];
        nfds_t count = 0;
        if (reading)
            fds[count++] = {child.output.get(), POLLIN, 0};
        if (!child.exited && child.pidfd)
            fds[count++] = {child.pidfd.get(), POLLIN, 0};
        const nfds_t stopAt = count;
        if (!child.exited && stopped >= 0)
            fds[count++] = {stopped, POLLIN, 0};
        const int ready = ::poll(fds, count, timeout);
        if (ready > 0 && stopAt < count && fds[stopAt].revents != 0)
            return Watched::stopped;
        if (ready == 0 && child.exited)
            break; // the pipe holds no more
        if (ready <= 0 || !reading || fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(child.output.get(), chunk, sizeof chunk);
        if (n > 0)
            output.append(chunk, std::min(std::size_t(n), limit - std::min(limit, output.size())));
        else if (n == 0 || errno != EINTR)
            reading = false;
    }
    return Watched::ended;
}

// Reaps `pid` on a thread of its own once it ends.
void reapInBackground(pid_t pid)
{
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to wait with: the child stays a zombie until this process ends, which does it no harm.
    }
}

// The deadline as a reader gives it: "300 s", "0.25 s".
std::string secondsIn(std::chrono::milliseconds span)
{
    std::string text = std::to_string(span.count() / 1000);
    if (const long long rest = span.count() % 1000; rest != 0) {
        const std::string digits = std::to_string(1000 + rest);
        text += "." + digits.substr(1, digits.find_last_not_of('0'));
    }
    return text + " s";
}

constexpr std::string_view kLeftRunning = " and may still be running";
// How long a killed child may take to end before it is left to a thread to reap.
constexpr std::chrono::milliseconds kDyingTime {1000};

// Kills the child that outran its deadline, with its group, and gives the run's error. A child that
// cannot be signalled, or does not end soon after, is left to a thread to reap.
DomainError endAtDeadline(RunningChild& child, std::chrono::milliseconds deadline)
{
    // The group is signalled while its leader is unreaped, so its id can name no later group.
    const bool ended = ::kill(-child.pid, SIGKILL) == 0 && reapedBy(child, Clock::now() + kDyingTime);
    if (!ended)
        reapInBackground(child.pid);
    return {kPosixErrorDomain, ETIMEDOUT,
        "did not finish within " + secondsIn(deadline) + (ended ? " and was killed" : std::string(kLeftRunning))};
}

// Ends the child whose run was stopped, with its group, and gives the run's error; a child that cannot
// be signalled has `grace` to end by itself (then nothing: its exit status stands) before it is left to a
// thread to reap.
std::optional<DomainError> endOnStop(RunningChild& child, std::chrono::milliseconds grace)
{
    if (reaped(child))
        return std::nullopt; // it ended as the stop came: its own exit status stands
    const bool signalled = ::kill(-child.pid, SIGKILL) == 0;
    const bool ended = reapedBy(child, Clock::now() + (signalled ? kDyingTime : grace));
    if (ended && !signalled)
        return std::nullopt;
    if (!ended)
        reapInBackground(child.pid);
    return DomainError {kPosixErrorDomain, ECANCELED,
        "was cancelled" + (ended ? std::string(" and was killed") : std::string(kLeftRunning))};
}

// An event descriptor that becomes readable once a stop is asked for on `stop`.
class StopEvent
{
public:
    explicit StopEvent(const std::stop_token& stop)
        : m_fd(stop.stop_possible() ? ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1)
        , m_callback(stop, [fd = m_fd.get()] {
            if (fd >= 0) {
                const std::uint64_t one = 1;
                [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
            }
        })
    {
    }
    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
    std::stop_callback<std::function<void()>> m_callback;
};

// How the started child is grouped: with this process, leading a group of its own, or a session.
enum class Grouping { inherited, ownGroup, ownSession };

// Starts `program` as `run` asks: 0, or the POSIX error of the failed start.
int spawn(const std::string& program, const std::vector<std::string>& arguments, const ChildRun& run, Grouping grouping,
    RunningChild& child)
{
    std::vector<std::string> words {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const std::vector<char*> argv = pointersTo(words);
    const std::vector<std::string> environment = environmentWith(run.environment);
    const std::vector<char*> envp = pointersTo(environment);

    UniqueFd writeEnd;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (run.output != ChildRun::Output::inherited) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            const int error = errno;
            posix_spawn_file_actions_destroy(&actions);
            return error;
        }
        child.output.reset(fds[0]);
        writeEnd.reset(fds[1]);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
        if (run.output == ChildRun::Output::standardOutputAndError)
            posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }

    // The child starts with no signal blocked, whatever the calling thread holds back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    short flags = POSIX_SPAWN_SETSIGMASK;
    if (grouping == Grouping::ownGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    } else if (grouping == Grouping::ownSession) {
        flags |= POSIX_SPAWN_SETSID;
    }
    posix_spawnattr_setflags(&attributes, flags);
    const int started = ::posix_spawn(&child.pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

} // namespace

Result<ChildOutcome> runChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, const ChildRun& run)
{
    if (run.stop.stop_requested())
        return DomainError {kPosixErrorDomain, ECANCELED, "was cancelled before it started"};
    // With a deadline or a possible stop the child leads a process group of its own, so that what a script
    // started goes with it.
    RunningChild child;
    const Grouping grouping
        = run.deadline.count() > 0 || run.stop.stop_possible() ? Grouping::ownGroup : Grouping::inherited;
    const StopEvent stopEvent(run.stop);
    if (const int error = spawn(program, arguments, run, grouping, child); error != 0)
        return posixError(error);
    child.pidfd = openPidfd(child.pid);

    ChildOutcome outcome;
    std::optional<Clock::time_point> until;
    if (run.deadline.count() > 0)
        until = Clock::now() + run.deadline;
    switch (watch(child, outcome.output, run.outputLimit, until, run.stop, stopEvent.fd())) {
    case Watched::timedOut:
        return endAtDeadline(child, run.deadline);
    case Watched::stopped:
        if (auto error = endOnStop(child, run.stopGrace))
            return *error;
        break;
    case Watched::ended:
        break;
    }
    if (child.waitError != 0)
        return posixError(child.waitError);
    const int status = child.status;
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : status;
    return outcome;
}

Result<int> startChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    RunningChild child;
    if (const int error = spawn(program, arguments, {.environment = environment}, Grouping::ownSession, child);
        error != 0)
        return posixError(error);
    reapInBackground(child.pid);
    return int(child.pid);
}

bool childMayStillRun(const DomainError& error)
{
    return error.domain == kPosixErrorDomain && (error.code == ETIMEDOUT || error.code == ECANCELED)
        && error.message.ends_with(kLeftRunning);
}

} // namespace platform
