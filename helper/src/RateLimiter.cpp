#include "helper/src/RateLimiter.h"

#include <chrono>

namespace helper {

RateLimiter::RateLimiter(Clock clock, int limit, double window)
    : m_clock(clock ? std::move(clock) : Clock(&RateLimiter::monotonicSeconds))
    , m_limit(limit)
    , m_window(window)
{
}

double RateLimiter::monotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool RateLimiter::isRateLimited()
{
    std::lock_guard lock(m_mutex);
    const double now = m_clock();
    while (!m_accepted.empty() && !(now - m_accepted.front() < m_window))
        m_accepted.pop_front();
    if (int(m_accepted.size()) >= m_limit)
        return true;
    m_accepted.push_back(now);
    return false;
}

} // namespace helper
