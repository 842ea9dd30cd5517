#include "helper/src/CallerWatch.h"

#include "platform/proc/Pidfd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace helper {

namespace {

constexpr std::chrono::milliseconds kFirstRetry {250};
constexpr std::chrono::milliseconds kLastRetry {60000};
// How often pidfds are asked one by one when poll() cannot take them all, or there is no wake pipe.
constexpr int kFallbackPollMs = 200;

} // namespace

CallerWatch::CallerWatch(Handler onEnded, std::size_t perUserLimit)
    : m_onEnded(std::move(onEnded))
    , m_perUserLimit(perUserLimit)
{
    // Without the pipe the thread still sees a new watch and the stop flag, at the fallback rate.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead.reset(fds[0]);
        m_wakeWrite.reset(fds[1]);
    }
    m_thread = std::thread([this] { run(); });
}

CallerWatch::~CallerWatch()
{
    m_stopping = true;
    wake();
    m_thread.join();
}

void CallerWatch::wake()
{
    if (!m_wakeWrite.valid())
        return;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(m_wakeWrite.get(), &byte, 1);
}

bool CallerWatch::watch(const SuspendingCaller& caller, platform::UniqueFd pidfd)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_watched.count(caller))
            return true;
        if (!pidfd.valid())
            return false;
        const auto sameUser = std::count_if(
            m_watched.begin(), m_watched.end(), [&](const auto& entry) { return entry.first.uid == caller.uid; });
        if (std::size_t(sameUser) >= m_perUserLimit)
            return false;
        m_watched.emplace(caller, std::make_shared<platform::UniqueFd>(std::move(pidfd)));
    }
    wake();
    return true;
}

bool CallerWatch::watches(const SuspendingCaller& caller)
{
    std::lock_guard lock(m_mutex);
    return m_watched.count(caller) > 0;
}

void CallerWatch::forgetUnless(const SuspendingCaller& caller, const std::function<bool()>& stillNeeded)
{
    std::lock_guard lock(m_mutex);
    if (m_watched.count(caller) && !stillNeeded())
        m_watched.erase(caller);
    // The poll in progress may still hold the descriptor; it lets it go when it next wakes.
}

void CallerWatch::retryLater(const SuspendingCaller& caller)
{
    {
        std::lock_guard lock(m_mutex);
        auto [it, added] = m_retries.try_emplace(caller, Retry {Clock::now() + kFirstRetry, kFirstRetry});
        if (!added) {
            it->second.delay = std::min(it->second.delay * 2, kLastRetry);
            it->second.due = Clock::now() + it->second.delay;
        }
    }
    wake();
}

int CallerWatch::msUntilRetry()
{
    std::lock_guard lock(m_mutex);
    if (m_retries.empty())
        return -1;
    const auto first = std::min_element(
        m_retries.begin(), m_retries.end(), [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(first->second.due - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, kLastRetry.count()));
}

void CallerWatch::runDueRetries()
{
    std::vector<SuspendingCaller> due;
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        for (const auto& [caller, retry] : m_retries) {
            if (retry.due <= now)
                due.push_back(caller);
        }
    }
    // The entry stays while the handler runs, so a retryLater() from it lengthens the delay.
    for (const auto& caller : due) {
        m_onEnded(caller);
        std::lock_guard lock(m_mutex);
        if (const auto it = m_retries.find(caller); it != m_retries.end() && it->second.due <= Clock::now())
            m_retries.erase(it);
    }
}

void CallerWatch::waitForEvents(std::vector<pollfd>& fds, int timeoutMs)
{
    if (!m_wakeRead.valid())
        timeoutMs = timeoutMs < 0 ? kFallbackPollMs : std::min(timeoutMs, kFallbackPollMs);
    if (::poll(fds.data(), fds.size(), timeoutMs) >= 0 || errno == EINTR)
        return;
    // More descriptors than the process may have open, or no memory for the kernel's copy: each one
    // is asked on its own instead, and the wait goes on in short steps.
    for (auto& fd : fds)
        fd.revents = fd.fd == m_wakeRead.get() ? 0 : (platform::pidfdHasEnded(fd.fd) ? POLLIN : 0);
    if (std::none_of(fds.begin(), fds.end(), [](const pollfd& fd) { return fd.revents != 0; }))
        std::this_thread::sleep_for(
            std::chrono::milliseconds(timeoutMs < 0 ? kFallbackPollMs : std::min(timeoutMs, kFallbackPollMs)));
}

void CallerWatch::run()
{
    std::vector<std::pair<SuspendingCaller, std::shared_ptr<platform::UniqueFd>>> watched;
    std::vector<pollfd> fds;
    while (!m_stopping) {
        watched.clear();
        fds.assign(1, pollfd {m_wakeRead.get(), POLLIN, 0});
        {
            std::lock_guard lock(m_mutex);
            for (const auto& [caller, pidfd] : m_watched) {
                watched.emplace_back(caller, pidfd);
                fds.push_back(pollfd {pidfd->get(), POLLIN, 0});
            }
        }
        waitForEvents(fds, msUntilRetry());
        if (m_stopping)
            break;
        if (fds[0].revents) {
            char bytes[64];
            while (::read(m_wakeRead.get(), bytes, sizeof bytes) > 0) { }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            // A pidfd turns readable when its process has ended.
            if (!fds[i].revents)
                continue;
            const auto& [caller, pidfd] = watched[i - 1];
            {
                std::lock_guard lock(m_mutex);
                const auto it = m_watched.find(caller);
                if (it == m_watched.end() || it->second != pidfd)
                    continue;
                m_watched.erase(it);
            }
            m_onEnded(caller);
        }
        runDueRetries();
    }
}

} // namespace helper
