#pragma once

// Helpers for tests that talk to the root helper: a daemon run as an ordinary process, a raw
// line client, small scripts standing in for system tools and the test program as trusted caller.

#include "platform/ipc/HelperProtocol.h"
#include "platform/ipc/LineChannel.h"
#include "platform/ipc/UnixSocket.h"
#include "platform/security/TrustedCallers.h"

#include "support/SignalChild.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace helpertest {

using namespace std::chrono_literals;

// The running test program, which is the caller the helper sees. The helper only trusts a file
// nobody but its owner may change, so a group- or world-writable build output is tightened.
inline std::string trustedTestProgram()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = 0;
    struct stat st
    {
    };
    if (::stat(path, &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)))
        ::chmod(path, st.st_mode & ~(S_IWGRP | S_IWOTH));
    return path;
}

inline std::string inDir(const QTemporaryDir& dir, const std::string& name)
{
    return dir.filePath(QString::fromStdString(name)).toStdString();
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// An executable shell script standing in for a system tool.
inline std::string writeScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

// The scheduler state letter of /proc/<pid>/stat ('S', 'R', 'T', ...).
inline char processState(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

inline bool waitForState(pid_t pid, char state)
{
    for (int i = 0; i < 200; ++i) {
        if (processState(pid) == state)
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// A child that sleeps until it is killed, reaped when the object goes.
class SleepingChild
{
public:
    SleepingChild()
    {
        char arg0[] = "sleep";
        char arg1[] = "300";
        char* argv[] = {arg0, arg1, nullptr};
        ::posix_spawn(&m_pid, "/bin/sleep", nullptr, nullptr, argv, environ);
    }
    ~SleepingChild()
    {
        signalChild(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
};

// A pid that belongs to no process: a child that has already been reaped.
inline pid_t vanishedPid()
{
    pid_t pid = 0;
    char arg0[] = "true";
    char* argv[] = {arg0, nullptr};
    ::posix_spawn(&pid, "/bin/true", nullptr, nullptr, argv, environ);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// A client speaking the wire format directly, for cases the real client never produces.
class RawClient
{
public:
    explicit RawClient(const std::string& socketPath)
    {
        auto fd = platform::connectUnixSocket(socketPath);
        if (fd)
            m_fd = std::move(fd.value());
        m_channel.emplace(m_fd.get(), 8 * 1024 * 1024);
    }
    bool connected() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }

    void sendRaw(const std::string& bytes) { ASSERT_EQ(platform::writeLine(m_fd.get(), bytes, 5s), 0); }
    void sendBytes(const std::string& bytes)
    {
        ASSERT_EQ(::send(m_fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }

    platform::LineChannel::ReadResult readLine(std::chrono::milliseconds timeout = 5s)
    {
        return m_channel->readLine(std::chrono::steady_clock::now() + timeout);
    }

    std::optional<platform::HelperReply> reply(std::chrono::milliseconds timeout = 5s)
    {
        const auto line = readLine(timeout);
        if (line.status != platform::LineChannel::Status::Line)
            return std::nullopt;
        return platform::decodeHelperReply(line.line);
    }

    std::optional<platform::HelperReply> call(const platform::HelperRequest& request)
    {
        sendRaw(platform::encodeHelperRequest(request));
        return reply();
    }

    // True when the helper closed the connection within `timeout`.
    bool closedByPeer(std::chrono::milliseconds timeout)
    {
        return readLine(timeout).status == platform::LineChannel::Status::Closed;
    }

private:
    platform::UniqueFd m_fd;
    std::optional<platform::LineChannel> m_channel;
};

inline platform::HelperRequest signalRequest(std::int64_t id, int signal, pid_t pid)
{
    return platform::HelperRequest {id, platform::HelperOp::sendSignal, signal, pid};
}

inline platform::HelperRequest opRequest(std::int64_t id, platform::HelperOp op)
{
    return platform::HelperRequest {id, op, 0, 0};
}

// The installed daemon program run as an ordinary process with the given environment.
class HelperProcess
{
public:
    // `launcher` runs the helper, as in `prlimit --nofile=24:24 --`.
    explicit HelperProcess(const std::map<std::string, std::string>& environment,
        const std::vector<std::string>& arguments = {}, const std::vector<std::string>& launcher = {})
    {
        std::vector<std::string> entries;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("QUORVANE_HELPER_", 0) != 0)
                entries.push_back(entry);
        }
        for (const auto& [name, value] : environment)
            entries.push_back(name + "=" + value);
        // The list of stopped processes goes to a folder of the test's, never the machine's /run.
        if (!environment.count("QUORVANE_HELPER_RUNTIME_DIR"))
            entries.push_back("QUORVANE_HELPER_RUNTIME_DIR=" + m_runtime.path().toStdString());
        std::vector<char*> envp;
        for (auto& entry : entries)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        m_journalPath = m_journal.filePath("journal").toStdString();
        posix_spawn_file_actions_addopen(
            &actions, STDERR_FILENO, m_journalPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
        const std::string helper = std::string(QV_BINARY_DIR) + "/helper/quorvane-helper";
        const std::string program = launcher.empty() ? helper : launcher.front();
        std::vector<char*> argv;
        for (const auto& word : launcher)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(const_cast<char*>(helper.c_str()));
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::posix_spawnp(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);

        platform::LineChannel channel(out[0]);
        const auto first = channel.readLine(std::chrono::steady_clock::now() + 10s);
        m_banner = first.line;
        ::close(out[0]);
    }
    ~HelperProcess() { stop(); }

    // SIGTERM (or `signal`), then the exit status; -1 when a signal ended it.
    int stop(int signal = SIGTERM)
    {
        if (m_pid <= 0)
            return m_status;
        signalChild(m_pid, signal);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }

    // The exit status of a run that ends by itself; one still running after `limit` is killed (-1).
    int wait(std::chrono::milliseconds limit = 30s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return m_status;
            }
            std::this_thread::sleep_for(10ms);
        }
        return stop(SIGKILL);
    }

    pid_t pid() const { return m_pid; }
    const std::string& banner() const { return m_banner; }
    // What it wrote to its standard error, which is its journal under systemd.
    std::string journal() const { return readFile(m_journalPath); }

private:
    QTemporaryDir m_runtime;
    QTemporaryDir m_journal;
    std::string m_journalPath;
    pid_t m_pid = 0;
    int m_status = -1;
    std::string m_banner;
};

} // namespace helpertest
