#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace helper {

// At most `limit` accepted in any `window` seconds, each request counting its cost (one unless
// given, or the bytes of a line). Only accepted requests are recorded, so refused ones never push
// the window forward. The clock answers monotonic seconds, which keeps the window honest when the
// wall clock is changed.
class RateLimiter
{
public:
    using Clock = std::function<double()>;

    explicit RateLimiter(Clock clock = {}, std::uint64_t limit = 60, double window = 60.0);

    // True when this request must be refused; otherwise it is recorded as accepted.
    bool isRateLimited(std::uint64_t cost = 1);

    static double monotonicSeconds();

private:
    Clock m_clock;
    std::uint64_t m_limit;
    double m_window;
    std::mutex m_mutex;
    std::deque<std::pair<double, std::uint64_t>> m_accepted; // when, and at what cost
    std::uint64_t m_spent = 0; // the costs in m_accepted
};

} // namespace helper
