#pragma once

// What the helper benchmarks share: the helper program run as an ordinary process beside the
// benchmark in the build folder, and callers switched to other users. Needs root.

#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace helperbench {

inline double monotonicSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

inline sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// Waits for one reply line on `fd`: the seconds since `began` when it has come, -1 when the
// connection closed or 2 s have passed since `began`.
inline double awaitReply(int fd, double began)
{
    char reply[1024];
    std::size_t have = 0;
    pollfd p {fd, POLLIN, 0};
    while (have < sizeof reply && monotonicSeconds() - began < 2.0 && ::poll(&p, 1, 100) >= 0) {
        if (!(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(fd, reply + have, sizeof reply - have);
        if (n <= 0)
            return -1;
        have += std::size_t(n);
        if (reply[have - 1] == '\n')
            return monotonicSeconds() - began;
    }
    return -1;
}

inline bool becomeUser(uid_t uid)
{
    return ::syscall(SYS_setgid, uid) == 0 && ::syscall(SYS_setuid, uid) == 0;
}

// This benchmark program's own path.
inline std::string selfPath()
{
    char self[PATH_MAX] = {};
    return ::readlink("/proc/self/exe", self, sizeof self - 1) > 0 ? std::string(self) : std::string();
}

// The helper program beside this one in the build folder, serving `socketPath` with its files in
// `folder` and trusting `trusted`; its pid.
inline pid_t startHelper(const std::string& folder, const std::string& socketPath, const std::string& trusted)
{
    std::string program = selfPath();
    program = program.substr(0, program.rfind('/'));
    program = program.substr(0, program.rfind('/')) + "/helper/quorvane-helper";
    std::vector<std::string> entries {"QUORVANE_HELPER_SOCKET=" + socketPath,
        "QUORVANE_HELPER_AUDIT_LOG=" + folder + "/audit.log", "QUORVANE_HELPER_RUNTIME_DIR=" + folder + "/run",
        "QUORVANE_HELPER_TRUSTED=" + trusted};
    std::vector<char*> envp;
    for (auto& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; pid > 0 && i < 500 && ::access(socketPath.c_str(), F_OK) != 0; ++i)
        ::usleep(10 * 1000);
    return pid;
}

inline void stopProcess(pid_t pid, int signal)
{
    ::kill(pid, signal);
    ::waitpid(pid, nullptr, 0);
}

} // namespace helperbench
