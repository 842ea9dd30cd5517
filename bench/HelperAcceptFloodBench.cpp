// Another user's wait for the helper while one user floods it with connections: 16 processes of uid
// 65534 connect and close in a loop, and a process of uid 65533 asks for the version 40 times, as the
// program's version check does (it gives up after 1 s). Reports that user's median and 90th-percentile
// wait, its failures, and the CPU the helper's accepting thread used meanwhile. Needs root (the users
// are switched to); runs build/helper/quorvane-helper as an ordinary process on a socket in /tmp.
#include "HelperBenchSupport.h"
#include "platform/ipc/HelperProtocol.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace helperbench;

constexpr int kFlooders = 16;
constexpr int kRequests = 40;
constexpr uid_t kFloodingUid = 65534;
constexpr uid_t kOtherUid = 65533;

// User plus system time of one thread, in seconds.
double threadCpuSeconds(pid_t pid, pid_t tid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task/%d/stat", int(pid), int(tid));
    FILE* file = std::fopen(path, "re");
    if (!file)
        return 0;
    char text[1024] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    const char* rest = std::strrchr(text, ')');
    if (n == 0 || !rest)
        return 0;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    // Fields after comm, from 3: state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime.
    if (std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return 0;
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

// Connects and closes until killed, counting its connections in `count`.
[[noreturn]] void flood(const sockaddr_un& address, std::atomic<long>* count)
{
    if (!becomeUser(kFloodingUid))
        ::_exit(2);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            count->fetch_add(1, std::memory_order_relaxed);
        ::close(fd);
    }
}

// One version request on a new connection: seconds until the reply, or -1 when none came within 2 s.
double askVersion(const sockaddr_un& address)
{
    const double began = monotonicSeconds();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit {2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    double waited = -1;
    const char request[] = "{\"id\":1,\"op\":\"getVersion\"}\n";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) == ssize_t(sizeof request - 1)) {
        waited = awaitReply(fd, began);
    }
    ::close(fd);
    return waited;
}

// Asks kRequests times, 100 ms apart, as the other user; writes each wait to `out`.
[[noreturn]] void askAsOtherUser(const sockaddr_un& address, int out)
{
    if (!becomeUser(kOtherUid))
        ::_exit(2);
    for (int i = 0; i < kRequests; ++i) {
        const double waited = askVersion(address);
        if (::write(out, &waited, sizeof waited) != ssize_t(sizeof waited))
            ::_exit(3);
        ::usleep(100 * 1000);
    }
    ::_exit(0);
}

void otherUsersWaitUnderFlood(benchmark::State& state)
{
    if (::geteuid() != 0) {
        state.SkipWithError("needs root to run the callers as other users");
        return;
    }
    char folder[] = "/tmp/helper-accept-flood-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    ::chmod(folder, 0755);
    const std::string socketPath = std::string(folder) + "/helper.sock";
    const pid_t helper = startHelper(folder, socketPath, "/nonexistent/quorvane-pro");
    if (helper <= 0) {
        state.SkipWithError("the helper did not start");
        return;
    }
    const sockaddr_un address = addressOf(socketPath);
    auto* connects = static_cast<std::atomic<long>*>(
        ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (connects) std::atomic<long>(0);

    for (auto _ : state) {
        std::vector<pid_t> flooders;
        for (int i = 0; i < kFlooders; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0)
                flood(address, connects);
            flooders.push_back(pid);
        }
        ::sleep(1); // the flood fills the listen queue
        int waits[2];
        if (::pipe(waits) != 0)
            break;
        const double cpuBefore = threadCpuSeconds(helper, helper);
        const long connectsBefore = connects->load();
        const double began = monotonicSeconds();
        const pid_t asker = ::fork();
        if (asker == 0)
            askAsOtherUser(address, waits[1]);
        ::close(waits[1]);
        std::vector<double> answered;
        int failed = 0;
        for (double waited = 0; ::read(waits[0], &waited, sizeof waited) == ssize_t(sizeof waited);) {
            if (waited < 0)
                ++failed;
            else
                answered.push_back(waited);
        }
        ::close(waits[0]);
        ::waitpid(asker, nullptr, 0);
        const double seconds = monotonicSeconds() - began;
        const double cpu = threadCpuSeconds(helper, helper) - cpuBefore;
        const long flooded = connects->load() - connectsBefore;
        for (const pid_t pid : flooders)
            stopProcess(pid, SIGKILL);

        std::sort(answered.begin(), answered.end());
        const auto at = [&](double share) {
            return answered.empty() ? -1.0 : answered[std::size_t(share * double(answered.size() - 1))] * 1000;
        };
        state.counters["median_ms"] = at(0.5);
        state.counters["p90_ms"] = at(0.9);
        state.counters["failed"] = failed;
        state.counters["accept_cpu_pct"] = 100.0 * cpu / seconds;
        state.counters["flood_connects_per_s"] = double(flooded) / seconds;
    }
    stopProcess(helper, SIGTERM);
    ::munmap(connects, sizeof(std::atomic<long>));
    const std::string remove = std::string("rm -rf ") + folder;
    [[maybe_unused]] const int removed = std::system(remove.c_str());
}

} // namespace

BENCHMARK(otherUsersWaitUnderFlood)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
