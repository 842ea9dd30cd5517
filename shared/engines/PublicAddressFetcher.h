#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// Asks an HTTPS echo service for the address the internet sees. At most one request is in flight, and
// after a failure the next one waits 5 s, doubling up to 5 minutes, so an offline machine is not asked
// to reach the network every second. Thread-safe.
class PublicAddressFetcher
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr const char* defaultServiceUrl = "https://api.ipify.org";
    // How often the dashboard asks at most, while a view shows the address.
    static constexpr std::chrono::minutes refreshInterval {10};

    // `clock` dates the back-off (empty: Clock::now).
    explicit PublicAddressFetcher(std::string baseUrl = defaultServiceUrl, std::string path = "/",
        std::chrono::milliseconds timeout = std::chrono::milliseconds(3000),
        std::function<Clock::time_point()> clock = {});

    // Claims the one request slot; false while a request runs or while backing off.
    bool tryBegin() { return tryBegin(m_clock()); }
    bool tryBegin(Clock::time_point now);

    // Sends the claimed request (blocking) and frees the slot. The answer is the body as an IPv4 or
    // IPv6 address without surrounding white space; nothing for a transport failure, a status other
    // than 200 or a body that is not an address.
    std::optional<std::string> fetch();

    // The delay before the next request may start, after the given number of failures in a row.
    static std::chrono::seconds backoffAfter(int failures);

    static std::optional<std::string> parseAddress(std::string_view body);

private:
    void finish(bool succeeded, Clock::time_point now);

    std::string m_baseUrl;
    std::string m_path;
    std::chrono::milliseconds m_timeout;
    std::function<Clock::time_point()> m_clock;
    std::mutex m_mutex;
    bool m_inFlight = false;
    int m_failures = 0;
    Clock::time_point m_notBefore {};
};
