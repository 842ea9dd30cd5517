#include "engines/EngineLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A call on a thread of its own. A deadlocked call cannot be unwound, so one that does not return in time
// ends the test program with a failure instead of hanging it.
class Call
{
public:
    explicit Call(std::function<void()> call)
    {
        auto done = std::make_shared<std::promise<void>>();
        m_done = done->get_future();
        std::thread([call = std::move(call), done] {
            call();
            done->set_value();
        }).detach();
    }
    void mustReturn(const char* what)
    {
        if (m_done.wait_for(5s) != std::future_status::ready) {
            std::fprintf(stderr, "%s did not return: deadlock\n", what);
            std::_Exit(1);
        }
    }

private:
    std::future<void> m_done;
};

// Bodies that note whether two of them ever ran at once.
struct Bodies
{
    std::atomic<int> live {0};
    std::atomic<bool> overlapped {false};
    void enter()
    {
        if (++live > 1)
            overlapped = true;
    }
    void leave() { --live; }
};

} // namespace

TEST(EngineLoopTest, RacingStartsWaitForEachOtherWhileBodiesAskIsRunning)
{
    EngineLoop loop;
    Bodies bodies;
    std::atomic<bool> askerRunning = false;
    std::promise<void> firstAskedToStop;
    loop.start([&](std::stop_token stop) {
        bodies.enter();
        while (EngineLoop::sleepFor(stop, 1ms)) { }
        firstAskedToStop.set_value();
        // Winds down slowly, so that the second start comes while the first is still waiting for this loop.
        for (int i = 0; i < 200 && !askerRunning; ++i)
            std::this_thread::sleep_for(1ms);
        bodies.leave();
    });

    std::atomic<int> runningBody = 0;
    const auto asker = [&](int id) {
        return [&, id](std::stop_token stop) {
            bodies.enter();
            askerRunning = true;
            runningBody = id;
            while (!stop.stop_requested()) {
                EXPECT_TRUE(loop.isRunning() || stop.stop_requested());
                std::this_thread::sleep_for(1ms);
            }
            bodies.leave();
        };
    };
    Call first([&] { loop.start(asker(1)); });
    firstAskedToStop.get_future().wait();
    Call second([&] { loop.start(asker(2)); });
    first.mustReturn("the first start");
    second.mustReturn("the second start");

    EXPECT_TRUE(loop.isRunning());
    for (int i = 0; i < 500 && runningBody != 2; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(runningBody, 2); // the later start wins
    Call stop([&] { loop.stop(); });
    stop.mustReturn("stop");
    EXPECT_FALSE(loop.isRunning());
    EXPECT_EQ(bodies.live, 0);
    EXPECT_FALSE(bodies.overlapped); // an old loop has ended before the next begins
}

TEST(EngineLoopTest, LoopsThatStopThemselvesAreReaped)
{
    EngineLoop loop;
    for (int i = 0; i < 50; ++i) {
        std::promise<void> stopped;
        loop.start([&](std::stop_token stop) {
            loop.stop(); // returns at once: a loop cannot wait for itself
            EXPECT_TRUE(stop.stop_requested());
            EXPECT_FALSE(loop.isRunning());
            stopped.set_value();
        });
        stopped.get_future().wait();
    }
    EXPECT_LE(loop.retiredCount(), 1u);
    loop.stop();
    EXPECT_EQ(loop.retiredCount(), 0u);

    // A loop that keeps restarting itself leaves no more than the loops still winding down.
    std::atomic<int> restarts = 0;
    std::promise<void> last;
    std::function<void(std::stop_token)> body = [&](std::stop_token) {
        if (++restarts < 50)
            loop.start(body);
        else
            last.set_value();
    };
    loop.start(body);
    last.get_future().wait();
    EXPECT_LT(loop.retiredCount(), 50u);
    loop.stop();
    EXPECT_EQ(loop.retiredCount(), 0u);
    EXPECT_EQ(restarts, 50);
}

TEST(EngineLoopTest, DestroyedFromItsOwnThread)
{
    auto* loop = new EngineLoop;
    std::promise<void> started;
    std::promise<void> destroyed;
    loop->start([loop, go = started.get_future().share(), &destroyed](std::stop_token) {
        go.wait();
        delete loop; // a handler that drops its engine
        destroyed.set_value();
    });
    started.set_value();
    EXPECT_EQ(destroyed.get_future().wait_for(5s), std::future_status::ready);

    // A loop that stopped itself and started another, destroyed from that other one's thread.
    auto* second = new EngineLoop;
    std::promise<void> secondGo;
    std::promise<void> secondDestroyed;
    auto replacement = [second, go = secondGo.get_future().share(), &secondDestroyed](std::stop_token) {
        go.wait();
        delete second;
        secondDestroyed.set_value();
    };
    second->start([second, replacement](std::stop_token) {
        second->stop();
        second->start(replacement);
    });
    secondGo.set_value();
    EXPECT_EQ(secondDestroyed.get_future().wait_for(5s), std::future_status::ready);
}

TEST(EngineLoopTest, DestroyedWhileAStoppedLoopStillCallsIn)
{
    auto* loop = new EngineLoop;
    std::promise<void> stopped;
    loop->start([loop, &stopped](std::stop_token) {
        loop->stop();
        stopped.set_value();
        // Winding down, the loop still asks and stops while its engine is being destroyed.
        for (int i = 0; i < 50; ++i) {
            EXPECT_FALSE(loop->isRunning());
            loop->stop();
            std::this_thread::sleep_for(1ms);
        }
    });
    stopped.get_future().wait();
    Call destroy([loop] { delete loop; });
    destroy.mustReturn("destruction");
}
