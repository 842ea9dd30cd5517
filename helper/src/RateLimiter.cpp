#include "helper/src/RateLimiter.h"

#include <chrono>

namespace helper {

RateLimiter::RateLimiter(Clock clock, std::uint64_t limit, double window)
    : m_clock(clock ? std::move(clock) : Clock(&RateLimiter::monotonicSeconds))
    , m_limit(limit)
    , m_window(window)
{
}

double RateLimiter::monotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool RateLimiter::isRateLimited(std::uint64_t cost)
{
    std::lock_guard lock(m_mutex);
    const double now = m_clock();
    while (!m_accepted.empty() && !(now - m_accepted.front().first < m_window)) {
        m_spent -= m_accepted.front().second;
        m_accepted.pop_front();
    }
    if (cost > m_limit || m_spent > m_limit - cost)
        return true;
    m_accepted.emplace_back(now, cost);
    m_spent += cost;
    return false;
}

} // namespace helper
