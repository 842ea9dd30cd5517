#pragma once

#include "SignalChild.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

extern char** environ;

// An X server of the test's own (Xvfb, on the first free display number) and the programs started
// on it, all ended with it. display() is empty when Xvfb is not installed or did not start.
class XvfbDisplay
{
public:
    XvfbDisplay()
    {
        if (::access(kXvfb, X_OK) != 0)
            return;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        // Xvfb writes the display number it took to descriptor 3 once it accepts clients. It must not
        // reset whenever its last client leaves: a program starting then could not connect.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args {
            kXvfb, "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "640x480x24"};
        m_server = spawn(args, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        std::string number;
        pollfd p {fds[0], POLLIN, 0};
        char c = 0;
        while (m_server > 0 && ::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    ~XvfbDisplay()
    {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
            end(*it, SIGKILL);
        // Asked to end, the server removes its lock file and socket.
        end(m_server, SIGTERM);
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    const std::string& display() const { return m_display; }

    // Starts a program on this display, its output discarded; 0 when it could not be started.
    pid_t start(const std::vector<std::string>& args)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const pid_t pid = spawn(args, &actions, "DISPLAY=" + m_display);
        posix_spawn_file_actions_destroy(&actions);
        if (pid > 0)
            m_children.push_back(pid);
        return pid;
    }

private:
    static constexpr const char* kXvfb = "/usr/bin/Xvfb";

    static pid_t spawn(const std::vector<std::string>& args, const posix_spawn_file_actions_t* actions,
        const std::string& display = {})
    {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (display.empty() || entry.rfind("DISPLAY=", 0) != 0)
                environment.push_back(entry);
        }
        if (!display.empty())
            environment.push_back(display);
        std::vector<char*> argv;
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        return ::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) == 0 ? pid : 0;
    }
    static void end(pid_t pid, int signal)
    {
        if (pid <= 0)
            return;
        signalChild(pid, signal);
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid)
                return;
            ::usleep(10000);
        }
        signalChild(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }

    pid_t m_server = 0;
    std::string m_display;
    std::vector<pid_t> m_children;
};
