// Another user's wait for a signal while one user holds as many processes stopped as the helper lets
// it: uid 65534 has its processes stopped and listed (the helper starts with them, as after a
// restart), asks for one more every 20 ms, which is refused, and resumes and stops one of them a
// second; uid 65533 stops and resumes a process of its own 60 times, 50 ms apart, on one
// connection. Reports that user's median, 90th-percentile and longest wait for each, with the
// argument's number of processes held by the first user (0: nobody else). Needs root (the users are
// switched to); runs build/helper/quorvane-helper as an ordinary process on a socket in /tmp.
#include "HelperBenchSupport.h"
#include "helper/src/SuspendedListFile.h"
#include "platform/proc/ProcessTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace helperbench;

constexpr uid_t kHoldingUid = 65534;
constexpr uid_t kOtherUid = 65533;
constexpr int kRounds = 60;

// A process of `uid` that waits until it is killed.
pid_t startWaiting(uid_t uid)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!becomeUser(uid))
            ::_exit(2);
        for (;;)
            ::pause();
    }
    return pid;
}

// Its start time as the helper names it (clock ticks after boot); 0 once it has gone.
std::uint64_t startTimeOf(pid_t pid)
{
    const auto info = platform::ProcessTable().info(pid);
    return info ? info->startTimeTicks : 0;
}

// The helper's list as a helper that stopped `held` for `holder` left it.
void writeList(const std::string& folder, const std::vector<pid_t>& held, pid_t holder)
{
    const helper::SuspendedListFile list(folder + "/run");
    ::mkdir((folder + "/run").c_str(), 0755);
    const helper::SuspendingCaller caller {holder, startTimeOf(holder), kHoldingUid};
    std::vector<helper::SuspendedProcess> processes;
    for (const pid_t pid : held)
        processes.push_back({pid, startTimeOf(pid), kHoldingUid, "sleep", caller});
    std::ofstream(list.path()) << helper::SuspendedListFile::encode(processes, false) << "\n";
}

int connectTo(const sockaddr_un& address)
{
    for (int i = 0; i < 500; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        ::close(fd);
        ::usleep(10 * 1000);
    }
    return -1;
}

// One signal request and its reply: seconds waited, or -1 when no reply came within 2 s.
double askSignal(int fd, int signal, pid_t pid)
{
    char line[128];
    const int size
        = std::snprintf(line, sizeof line, "{\"id\":1,\"op\":\"sendSignal\",\"signal\":%d,\"pid\":%d}\n", signal, pid);
    const double began = monotonicSeconds();
    if (::send(fd, line, std::size_t(size), MSG_NOSIGNAL) != size)
        return -1;
    return awaitReply(fd, began);
}

// The first user's program: asks for one more stop every 20 ms and turns one held process over a second.
[[noreturn]] void hold(const sockaddr_un& address, const std::vector<pid_t>& held, pid_t extra)
{
    if (!becomeUser(kHoldingUid))
        ::_exit(2);
    const int fd = connectTo(address);
    for (std::size_t round = 0;; ++round) {
        askSignal(fd, SIGSTOP, extra);
        if (round % 50 == 0 && !held.empty()) {
            const pid_t pid = held[(round / 50) % held.size()];
            askSignal(fd, SIGCONT, pid);
            askSignal(fd, SIGSTOP, pid);
        }
        ::usleep(20 * 1000);
    }
}

// The other user: a process of its own, made before it connects so that it holds no end of the
// connection, stopped and resumed kRounds times; each wait goes to `out`.
[[noreturn]] void measure(const sockaddr_un& address, int out)
{
    if (!becomeUser(kOtherUid))
        ::_exit(2);
    const pid_t own = startWaiting(kOtherUid);
    const int fd = connectTo(address);
    for (int i = 0; i < kRounds; ++i) {
        const double waits[2] = {askSignal(fd, SIGSTOP, own), askSignal(fd, SIGCONT, own)};
        if (::write(out, waits, sizeof waits) != ssize_t(sizeof waits))
            ::_exit(3);
        ::usleep(50 * 1000);
    }
    ::kill(own, SIGKILL);
    ::_exit(0);
}

void report(benchmark::State& state, const char* name, std::vector<double> waits)
{
    std::sort(waits.begin(), waits.end());
    const auto at = [&](double share) {
        return waits.empty() ? -1.0 : waits[std::size_t(share * double(waits.size() - 1))] * 1000;
    };
    state.counters[std::string(name) + "_median_ms"] = at(0.5);
    state.counters[std::string(name) + "_p90_ms"] = at(0.9);
    state.counters[std::string(name) + "_max_ms"] = at(1.0);
}

void otherUsersSignalWithOneUserAtItsBound(benchmark::State& state)
{
    if (::geteuid() != 0) {
        state.SkipWithError("needs root to run the callers as other users");
        return;
    }
    for (auto _ : state) {
        char folder[] = "/tmp/helper-suspended-list-XXXXXX";
        if (!::mkdtemp(folder)) {
            state.SkipWithError("no temporary folder");
            return;
        }
        ::chmod(folder, 0755);
        const std::string socketPath = std::string(folder) + "/helper.sock";
        const sockaddr_un address = addressOf(socketPath);

        std::vector<pid_t> held;
        for (int i = 0; i < state.range(0); ++i) {
            held.push_back(startWaiting(kHoldingUid));
            ::kill(held.back(), SIGSTOP);
        }
        const pid_t extra = startWaiting(kHoldingUid);
        // The holder starts before the helper, so that the list can name it; it connects when it can.
        const pid_t holder = ::fork();
        if (holder == 0)
            hold(address, held, extra);
        writeList(folder, held, holder);
        const pid_t helper = startHelper(folder, socketPath, selfPath());

        int waits[2];
        if (helper <= 0 || ::pipe(waits) != 0) {
            state.SkipWithError("the helper did not start");
            break;
        }
        const pid_t other = ::fork();
        if (other == 0)
            measure(address, waits[1]);
        ::close(waits[1]);
        std::vector<double> stops;
        std::vector<double> resumes;
        int failed = 0;
        for (double pair[2]; ::read(waits[0], pair, sizeof pair) == ssize_t(sizeof pair);) {
            failed += (pair[0] < 0) + (pair[1] < 0);
            if (pair[0] >= 0)
                stops.push_back(pair[0]);
            if (pair[1] >= 0)
                resumes.push_back(pair[1]);
        }
        ::close(waits[0]);
        ::waitpid(other, nullptr, 0);
        stopProcess(holder, SIGKILL);
        stopProcess(helper, SIGTERM);
        for (const pid_t pid : held)
            stopProcess(pid, SIGKILL);
        stopProcess(extra, SIGKILL);
        report(state, "stop", stops);
        report(state, "resume", resumes);
        state.counters["failed"] = failed;
        const std::string remove = std::string("rm -rf ") + folder;
        [[maybe_unused]] const int removed = std::system(remove.c_str());
    }
}

} // namespace

BENCHMARK(otherUsersSignalWithOneUserAtItsBound)
    ->Arg(0)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
