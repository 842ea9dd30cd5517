#include "platform/services/ChildProcess.h"

#include "platform/io/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

Result<ChildOutcome> runChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, bool captureOutput)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    UniqueFd readEnd;
    UniqueFd writeEnd;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return posixError(errno);
        }
        readEnd.reset(fds[0]);
        writeEnd.reset(fds[1]);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    }

    // The child starts with no signal blocked, whatever the calling thread holds back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t child = 0;
    const int started = ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return posixError(started);
    writeEnd.reset();

    ChildOutcome outcome;
    if (captureOutput) {
        char chunk[8192];
        for (;;) {
            const ssize_t n = ::read(readEnd.get(), chunk, sizeof chunk);
            if (n > 0)
                outcome.output.append(chunk, std::size_t(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
    }

    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return posixError(errno);
    }
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : status;
    return outcome;
}

} // namespace platform
