#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace helper {

// At most `limit` accepted requests in any `window` seconds. Only accepted requests are recorded,
// so refused ones never push the window forward. The clock answers monotonic seconds, which keeps
// the window honest when the wall clock is changed.
class RateLimiter
{
public:
    using Clock = std::function<double()>;

    explicit RateLimiter(Clock clock = {}, int limit = 60, double window = 60.0);

    // True when this request must be refused; otherwise it is recorded as accepted.
    bool isRateLimited();

    static double monotonicSeconds();

private:
    Clock m_clock;
    int m_limit;
    double m_window;
    std::mutex m_mutex;
    std::deque<double> m_accepted;
};

} // namespace helper
