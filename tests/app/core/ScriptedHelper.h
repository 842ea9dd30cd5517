#pragma once

// A helper on a socket in the test's folder, scripted by the test: the signals it fails, the
// suspends it never answers, the resumes its rate limit refuses; it records every signal asked of it.

#include "FakeHelper.h"

#include "platform/ipc/HelperProtocol.h"

#include "support/SignalChild.h"

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace personatest {

using Signals = std::vector<std::pair<std::int32_t, std::int32_t>>;

inline platform::DomainError rateLimited()
{
    return {
        platform::kHelperErrorDomain, platform::kHelperRateLimited, "Rate limit exceeded. Max 60 signals per minute."};
}

class ScriptedHelper
{
protected:
    // Points the helper client at the helper's socket for as long as the object lives.
    ScriptedHelper()
        : m_socket(m_socketFolder.filePath("helper.sock").toStdString())
    {
        ::setenv(platform::kHelperSocketEnvironment, m_socket.c_str(), 1);
    }
    ~ScriptedHelper() { ::unsetenv(platform::kHelperSocketEnvironment); }

    // Answers every request, failing the signals the test names and never answering the suspends
    // it names.
    FakeHelper::Answer answer()
    {
        return [this](const platform::HelperRequest& r) -> std::optional<platform::HelperReply> {
            std::lock_guard lock(m_mutex);
            if (m_silentAll)
                return std::nullopt;
            if (r.op == platform::HelperOp::sendSignal) {
                m_asked.emplace_back(r.pid, r.signal);
                if (r.signal == SIGSTOP && m_silent.contains(r.pid))
                    return std::nullopt;
                if (m_failing.contains({r.pid, r.signal}))
                    return platform::failureReply(r.id, platform::posixError(EPERM));
                if (r.signal == SIGCONT && m_rateLimited[r.pid]-- > 0)
                    return platform::failureReply(r.id, rateLimited());
            }
            return platform::successReply(r.id);
        };
    }
    // Really stops and continues what it is asked to.
    static FakeHelper::Answer signalling()
    {
        return [](const platform::HelperRequest& r) -> std::optional<platform::HelperReply> {
            if (r.op == platform::HelperOp::sendSignal && !signalChild(r.pid, r.signal))
                return platform::failureReply(r.id, platform::posixError(errno));
            return platform::successReply(r.id);
        };
    }
    // The helper refuses the next `times` resumes of pid with its rate limit.
    void rateLimit(std::int32_t pid, int times)
    {
        std::lock_guard lock(m_mutex);
        m_rateLimited[pid] = times;
    }
    Signals asked()
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }
    long resumesAsked()
    {
        const auto all = asked();
        return std::count_if(all.begin(), all.end(), [](const auto& s) { return s.second == SIGCONT; });
    }

    QTemporaryDir m_socketFolder;
    std::string m_socket;
    std::mutex m_mutex;
    Signals m_asked;
    std::set<std::pair<std::int32_t, std::int32_t>> m_failing;
    std::set<std::int32_t> m_silent;
    std::atomic<bool> m_silentAll {false};
    // How many more resumes of each pid the helper refuses with its rate limit.
    std::map<std::int32_t, int> m_rateLimited;
};

} // namespace personatest
