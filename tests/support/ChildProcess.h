#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
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
