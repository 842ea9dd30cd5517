#pragma once

#include "SignalChild.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <string>

// Runs body in a forked child and gives its exit code, or 128 + the signal that ended it, so a
// crash or a changed process limit stays in the child.
inline int runInChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Sets the soft descriptor limit of this process; the hard limit is raised too where allowed.
inline bool setDescriptorLimit(rlim_t limit)
{
    struct rlimit current
    {
    };
    ::getrlimit(RLIMIT_NOFILE, &current);
    struct rlimit wanted = current;
    wanted.rlim_cur = limit;
    if (wanted.rlim_max < limit)
        wanted.rlim_max = limit;
    if (::setrlimit(RLIMIT_NOFILE, &wanted) == 0)
        return true;
    wanted.rlim_max = current.rlim_max;
    wanted.rlim_cur = std::min(limit, current.rlim_max);
    return ::setrlimit(RLIMIT_NOFILE, &wanted) == 0 && wanted.rlim_cur == limit;
}

// Moves this (child) process into a mount namespace of its own whose mounts propagate nowhere,
// then bind-mounts source onto target. False when not allowed (not root, or no namespaces).
inline bool bindMountPrivately(const std::string& source, const std::string& target)
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
        && ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

// Runs body on a thread of its own with a stack of stackBytes and waits for it: code that keeps
// its depth off the stack works on the smallest worker thread.
inline bool runOnStack(std::size_t stackBytes, const std::function<void()>& body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    auto* task = new std::function<void()>(body);
    const int started = pthread_create(
        &thread, &attributes,
        [](void* arg) -> void* {
            auto* work = static_cast<std::function<void()>*>(arg);
            (*work)();
            return nullptr;
        },
        task);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        delete task;
        return false;
    }
    pthread_join(thread, nullptr);
    delete task;
    return true;
}

// A forked child that runs `setup`, tells the parent whether it succeeded, then runs `then` (waits
// for ever by default) until it is killed; it is killed and reaped when the object goes. Both run
// after fork in a program that may have threads, so they make raw system calls only.
class ForkedChild
{
public:
    explicit ForkedChild(const std::function<bool()>& setup, const std::function<void()>& then = {})
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const char byte = setup() ? 1 : 0;
            if (::write(ready[1], &byte, 1) != 1 || byte == 0)
                ::_exit(2);
            ::close(ready[1]);
            if (then)
                then();
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char byte = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 1;
        ::close(ready[0]);
    }
    ~ForkedChild()
    {
        if (m_pid <= 0)
            return;
        signalChild(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    pid_t pid() const { return m_pid; }
    // Whether setup succeeded in the child.
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};
