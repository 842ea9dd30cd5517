#include "core/PendingWork.h"

#include <QObject>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

// A work that throws ends its future with its exception while the owner lives, and an owner that goes
// while such a work runs goes quietly.

namespace {

using namespace std::chrono_literals;

struct Owner : QObject
{
    PendingWork work {this};
};

bool finishes(const QFuture<void>& future)
{
    return QTest::qWaitFor([&] { return future.isFinished(); }, 5000);
}

TEST(PendingWorkTest, AWorkThatThrowsEndsItsFutureWithTheExceptionAndRunsNothingAfterIt)
{
    Owner owner;
    bool done = false;
    QFuture<void> withDone
        = owner.work.run([]() -> int { throw std::runtime_error("disk on fire"); }, [&done](int) { done = true; });
    QFuture<int> withResult = owner.work.run([]() -> int { throw std::runtime_error("disk on fire"); });
    ASSERT_TRUE(finishes(withDone));
    ASSERT_TRUE(QTest::qWaitFor([&] { return withResult.isFinished(); }, 5000));
    EXPECT_FALSE(done);
    EXPECT_THROW(withDone.waitForFinished(), std::runtime_error);
    EXPECT_THROW(withResult.result(), std::runtime_error);

    // Work that returns nothing ends the same way, and the owner's own wait does not throw.
    QFuture<void> empty = owner.work.run([] { throw std::logic_error("bad"); }, [&done] { done = true; });
    ASSERT_TRUE(finishes(empty));
    EXPECT_FALSE(done);
    EXPECT_NO_THROW(owner.work.waitForAll());
}

TEST(PendingWorkTest, AnOwnerThatGoesWhileItsWorkThrowsGoesQuietly)
{
    QFuture<int> future;
    {
        Owner owner;
        future = owner.work.run([]() -> int {
            std::this_thread::sleep_for(30ms);
            throw std::runtime_error("late failure");
        });
    }
    // Gone before the failure could be delivered: its future is canceled, not left waiting.
    EXPECT_TRUE(future.isFinished());
    EXPECT_TRUE(future.isCanceled());
}

} // namespace
