#include "engines/PublicAddressFetcher.h"

#include "records/PrivacyMetricsEngine.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A loopback echo service whose answer each test chooses.
class FakeEcho
{
public:
    FakeEcho()
    {
        m_server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
            ++requests;
            res.status = status;
            res.set_content(body, "text/plain");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~FakeEcho()
    {
        m_server.stop();
        m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    std::atomic<int> requests = 0;
    int status = 200;
    std::string body;

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace

TEST(PublicAddressFetcherTest, AcceptsOnlyAddressesAndTrimsThem)
{
    EXPECT_EQ(PublicAddressFetcher::parseAddress("203.0.113.7\n"), "203.0.113.7");
    EXPECT_EQ(PublicAddressFetcher::parseAddress("  2001:db8::42\r\n"), "2001:db8::42");
    EXPECT_FALSE(PublicAddressFetcher::parseAddress("<html>Service Unavailable</html>"));
    EXPECT_FALSE(PublicAddressFetcher::parseAddress("203.0.113.7 extra"));
    EXPECT_FALSE(PublicAddressFetcher::parseAddress("256.1.1.1"));
    EXPECT_FALSE(PublicAddressFetcher::parseAddress(""));
    EXPECT_FALSE(PublicAddressFetcher::parseAddress(" \n"));
}

TEST(PublicAddressFetcherTest, FetchesFromTheServiceAndChecksTheStatus)
{
    FakeEcho echo;
    PublicAddressFetcher fetcher(echo.url());
    echo.body = "198.51.100.23\n";
    ASSERT_TRUE(fetcher.tryBegin());
    EXPECT_EQ(fetcher.fetch(), "198.51.100.23");

    // An error page carrying an address-like body is still an error.
    echo.status = 503;
    ASSERT_TRUE(fetcher.tryBegin());
    EXPECT_FALSE(fetcher.fetch());
    echo.status = 200;
    echo.body = "<html>captive portal</html>";
    ASSERT_TRUE(fetcher.tryBegin(PublicAddressFetcher::Clock::now() + 1h));
    EXPECT_FALSE(fetcher.fetch());
    EXPECT_EQ(echo.requests, 3);

    // Every request, answered or not, is in the ledger of the program's own network calls.
    int ledgered = 0;
    for (const auto& call : PrivacyMetricsEngine::shared().ownNetworkActivity()) {
        if (call.destination == echo.url() + "/" && call.purpose == "Look up the public IP address")
            ledgered += call.callCount;
    }
    EXPECT_EQ(ledgered, 3);
}

TEST(PublicAddressFetcherTest, OneRequestInFlight)
{
    PublicAddressFetcher fetcher("http://127.0.0.1:9");
    EXPECT_TRUE(fetcher.tryBegin());
    EXPECT_FALSE(fetcher.tryBegin());
    EXPECT_FALSE(fetcher.tryBegin(PublicAddressFetcher::Clock::now() + 1h));
}

TEST(PublicAddressFetcherTest, BacksOffAfterFailuresAndResetsOnSuccess)
{
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(0), 0s);
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(1), 5s);
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(2), 10s);
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(4), 40s);
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(7), 300s);
    EXPECT_EQ(PublicAddressFetcher::backoffAfter(1000), 300s);

    FakeEcho echo;
    echo.status = 500;
    PublicAddressFetcher fetcher(echo.url());
    ASSERT_TRUE(fetcher.tryBegin());
    EXPECT_FALSE(fetcher.fetch());
    const auto failedAt = PublicAddressFetcher::Clock::now();
    EXPECT_FALSE(fetcher.tryBegin(failedAt + 1s)); // an offline machine is not asked again at once
    ASSERT_TRUE(fetcher.tryBegin(failedAt + 6s));
    EXPECT_FALSE(fetcher.fetch());
    EXPECT_FALSE(fetcher.tryBegin(PublicAddressFetcher::Clock::now() + 6s)); // second failure: 10 s
    echo.status = 200;
    echo.body = "192.0.2.1";
    ASSERT_TRUE(fetcher.tryBegin(PublicAddressFetcher::Clock::now() + 11s));
    EXPECT_EQ(fetcher.fetch(), "192.0.2.1");
    EXPECT_TRUE(fetcher.tryBegin()); // success clears the back-off
}

TEST(PublicAddressFetcherTest, RefusedConnectionAndBadUrlAreFailures)
{
    // Port 9 (discard) on loopback: nothing listens in the test environment.
    PublicAddressFetcher refused("http://127.0.0.1:9", "/", 500ms);
    ASSERT_TRUE(refused.tryBegin());
    EXPECT_FALSE(refused.fetch());
    PublicAddressFetcher bad("not a url");
    ASSERT_TRUE(bad.tryBegin());
    EXPECT_FALSE(bad.fetch());
    EXPECT_FALSE(bad.tryBegin());
}
