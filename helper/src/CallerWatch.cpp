#include "helper/src/CallerWatch.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace helper {

CallerWatch::CallerWatch(Handler onEnded)
    : m_onEnded(std::move(onEnded))
{
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
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(m_wakeWrite.get(), &byte, 1);
}

void CallerWatch::watch(const SuspendingCaller& caller, platform::UniqueFd pidfd)
{
    if (!pidfd.valid())
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_watched.try_emplace(caller, std::make_shared<platform::UniqueFd>(std::move(pidfd))).second)
            return;
    }
    wake();
}

void CallerWatch::forgetUnless(const SuspendingCaller& caller, const std::function<bool()>& stillNeeded)
{
    std::lock_guard lock(m_mutex);
    if (m_watched.count(caller) && !stillNeeded())
        m_watched.erase(caller);
    // The poll in progress may still hold the descriptor; it lets it go when it next wakes.
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
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
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
    }
}

} // namespace helper
