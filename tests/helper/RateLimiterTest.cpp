#include "HelperTestSupport.h"

#include "helper/src/RateLimiter.h"

namespace {

TEST(RateLimiterTest, WindowDropsEntriesExactlySixtySecondsOld)
{
    double now = 0;
    helper::RateLimiter limiter([&] { return now; });
    for (int i = 0; i < 60; ++i) {
        now = i * 0.5;
        EXPECT_FALSE(limiter.isRateLimited());
    }
    now = 59.9;
    EXPECT_TRUE(limiter.isRateLimited());
    now = 60.0; // the first entry (t = 0) is now 60.0 s old and leaves the window
    EXPECT_FALSE(limiter.isRateLimited());
    EXPECT_TRUE(limiter.isRateLimited());
    now = 60.5; // t = 0.5 leaves too
    EXPECT_FALSE(limiter.isRateLimited());
}

} // namespace
