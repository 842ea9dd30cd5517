#include "HelperServerFixture.h"

#include <filesystem>

using namespace helpertest;
using platform::HelperOp;

namespace {

class HelperConnectionTest : public HelperServerFixture
{
};

TEST_F(HelperConnectionTest, SlowRequestDoesNotHoldUpOthersOnItsConnection)
{
    m_config.powerTool = writeScript(path("power"), "sleep 0.4\necho 'CPU Power: 5 mW'");
    start();
    RawClient client(m_config.socketPath);
    client.sendRaw(platform::encodeHelperRequest(opRequest(1, HelperOp::getPowerMetrics)));
    client.sendRaw(platform::encodeHelperRequest(opRequest(2, HelperOp::getVersion)));
    const auto first = client.reply();
    const auto second = client.reply();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->id, 2);
    EXPECT_EQ(second->id, 1);
    EXPECT_EQ(second->data, "CPU Power: 5 mW\n");
}

TEST_F(HelperConnectionTest, BadLinesAreAnsweredAndConnectionStaysUsable)
{
    start();
    RawClient client(m_config.socketPath);
    const std::vector<std::string> bad = {
        "garbage",
        "",
        "[1,2]",
        "{\"id\":1,\"op\":\"getVersion\"} trailing",
        "{\"id\":\"1\",\"op\":\"getVersion\"}",
        "{\"id\":1.5,\"op\":\"getVersion\"}",
        "{\"id\":1,\"op\":\"format\"}",
        "{\"id\":1,\"op\":\"sendSignal\",\"signal\":19}",
        "{\"id\":1,\"op\":\"sendSignal\",\"signal\":19,\"pid\":4294967297}",
        "{\"id\":1,\"op\":\"sendSignal\",\"signal\":\"SIGSTOP\",\"pid\":5}",
        "{\"id\":1,\"op\":\"getVersion\",\"id\":2}",
        "{\"id\":1,\"op\":\"getVersion\",\"extra\":{\"a\":1}}",
        "{\"id\":1,\"op\":\"get\xff\"}",
    };
    for (const auto& line : bad) {
        client.sendRaw(line);
        const auto reply = client.reply();
        ASSERT_TRUE(reply) << line;
        EXPECT_FALSE(reply->ok) << line;
        EXPECT_EQ(reply->error->domain, "QVHelperError");
        EXPECT_EQ(reply->error->code, 400) << line;
        EXPECT_FALSE(reply->error->message.empty());
    }
    EXPECT_EQ(client.call(opRequest(99, HelperOp::getVersion))->version, "1.0.0");
    EXPECT_TRUE(readFile(m_config.auditLogPath).empty());
}

TEST_F(HelperConnectionTest, OversizedLineIsRefusedOnceAndSkipped)
{
    start();
    RawClient client(m_config.socketPath);
    // Sent in pieces, with a request packed right behind it.
    const std::string huge = "{\"id\":1,\"op\":\"getVersion\",\"pad\":\"" + std::string(200000, 'a') + "\"}";
    for (std::size_t at = 0; at < huge.size(); at += 50000)
        client.sendBytes(huge.substr(at, 50000));
    client.sendBytes("\n" + platform::encodeHelperRequest(opRequest(2, HelperOp::getVersion)) + "\n");
    const auto refused = client.reply();
    expectError(refused, std::nullopt, "QVHelperError", 400, "A request may hold at most 65536 bytes");
    const auto next = client.reply();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id, 2);
    EXPECT_TRUE(next->ok);
}

// A line that arrives in slow pieces is still one request. The idle limit is far beyond the
// sending, however long a loaded machine takes over each pause.
TEST_F(HelperConnectionTest, LineSentInPiecesIsOneRequest)
{
    m_config.idleTimeout = 60s;
    start();
    RawClient slow(m_config.socketPath);
    const std::string line = platform::encodeHelperRequest(opRequest(4, HelperOp::getVersion));
    for (char c : line) {
        slow.sendBytes(std::string(1, c));
        std::this_thread::sleep_for(2ms);
    }
    slow.sendBytes("\n");
    const auto reply = slow.reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, 4);
    EXPECT_TRUE(reply->ok);
}

TEST_F(HelperConnectionTest, HalfSentLines)
{
    m_config.idleTimeout = 300ms;
    start();
    // A client that stalls in the middle of a line does not keep its connection.
    RawClient stalled(m_config.socketPath);
    stalled.sendBytes("{\"id\":5,\"op\":\"getVer");
    EXPECT_TRUE(stalled.closedByPeer(3s));

    // A client that hangs up in the middle of a line gets nothing and leaves nothing behind.
    {
        RawClient gone(m_config.socketPath);
        gone.sendBytes("{\"id\":6,\"op\":\"purgeMem");
    }
    for (int i = 0; i < 200 && m_server->connectionCount() > 1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_LE(m_server->connectionCount(), 1u);
    EXPECT_TRUE(readFile(m_config.auditLogPath).empty());
}

// The idle clock runs from the opening and from each reply, and not while a request is carried out.
TEST_F(HelperConnectionTest, IdleConnectionIsClosedAfterItsOpeningOrLastReply)
{
    m_config.idleTimeout = 1000ms;
    m_config.powerTool = writeScript(path("power"), "sleep 0.8\necho 'CPU Power: 5 mW'");
    start();

    RawClient silent(m_config.socketPath);
    const auto opened = std::chrono::steady_clock::now();
    EXPECT_TRUE(silent.closedByPeer(3s));
    EXPECT_GE(std::chrono::steady_clock::now() - opened, 900ms);

    RawClient client(m_config.socketPath);
    const auto sample = client.call(opRequest(1, HelperOp::getPowerMetrics));
    ASSERT_TRUE(sample && sample->ok);
    // 1.3 s after the request, but only 0.5 s after its reply.
    std::this_thread::sleep_for(500ms);
    const auto version = client.call(opRequest(2, HelperOp::getVersion));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->id, 2);

    // A sample that takes longer than the idle time still gets its reply.
    writeScript(path("power"), "sleep 1.5\necho 'CPU Power: 6 mW'");
    const auto slow = client.call(opRequest(3, HelperOp::getPowerMetrics));
    ASSERT_TRUE(slow && slow->ok);
    EXPECT_EQ(slow->data, "CPU Power: 6 mW\n");
    const auto replied = std::chrono::steady_clock::now();
    EXPECT_TRUE(client.closedByPeer(3s));
    EXPECT_GE(std::chrono::steady_clock::now() - replied, 900ms);
}

std::size_t threadCount()
{
    return std::size_t(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator()));
}

// A flood of slow requests runs one per connection and the user's share at once; the others are
// answered "busy" at once, so the helper's threads and children stay few.
TEST_F(HelperConnectionTest, SlowRequestsNeverPassTheirBound)
{
    // Each run of the tool marks its start and end, so the runs at once can be counted.
    m_config.powerTool = writeScript(path("power"),
        "echo + >> " + path("runs") + "\nsleep 0.3\necho - >> " + path("runs") + "\necho 'CPU Power: 5 mW'");
    start();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (std::size_t c = 0; c < m_config.maxConnectionsPerUser; ++c) {
        clients.push_back(std::make_unique<RawClient>(m_config.socketPath));
        ASSERT_TRUE(clients.back()->call(opRequest(0, HelperOp::getVersion)));
    }
    // The threads now, with the watcher's own: counted here, as the watcher may not have run yet.
    const std::size_t before = threadCount() + 1;
    std::atomic<bool> watching {true};
    std::atomic<std::size_t> most {before};
    std::thread watcher([&] {
        while (watching) {
            most = std::max(most.load(), threadCount());
            std::this_thread::sleep_for(1ms);
        }
    });

    // 200 on one connection, then 25 on each of the user's connections.
    for (const std::size_t senders : {std::size_t(1), clients.size()}) {
        const int each = int(200 / senders);
        std::string burst;
        for (int i = 1; i <= each; ++i)
            burst += platform::encodeHelperRequest(opRequest(i, HelperOp::getPowerMetrics)) + "\n";
        for (std::size_t c = 0; c < senders; ++c)
            clients[c]->sendBytes(burst);
        int done = 0;
        int busy = 0;
        for (std::size_t c = 0; c < senders; ++c) {
            for (int i = 0; i < each; ++i) {
                const auto reply = clients[c]->reply();
                ASSERT_TRUE(reply);
                done += reply->ok ? 1 : 0;
                busy += !reply->ok && reply->error->code == 503 ? 1 : 0;
            }
        }
        EXPECT_EQ(done + busy, 200);
        EXPECT_GE(done, 1);
        EXPECT_LE(std::size_t(done), senders == 1 ? 1u : m_config.maxSlowRequestsPerUser + 1);
    }
    watching = false;
    watcher.join();
    std::size_t running = 0;
    std::size_t mostRunning = 0;
    for (const auto& mark : readLines(path("runs"))) {
        running = mark == "+" ? running + 1 : running - 1;
        mostRunning = std::max(mostRunning, running);
    }
    EXPECT_GE(mostRunning, 1u);
    EXPECT_LE(mostRunning, m_config.maxSlowRequestsPerUser);
    // A worker frees its place before it sends its reply and ends, so one more may be finishing.
    EXPECT_LE(most - before, 2 * m_config.maxSlowRequestsPerUser);
    std::printf("400 slow requests: at most %zu tool runs and %zu helper threads beyond the connections' own\n",
        mostRunning, most - before);
}

} // namespace
