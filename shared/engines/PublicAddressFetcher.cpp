#include "PublicAddressFetcher.h"

#include "records/PrivacyMetricsEngine.h"

#include <arpa/inet.h>
#include <httplib.h>

PublicAddressFetcher::PublicAddressFetcher(
    std::string baseUrl, std::string path, std::chrono::milliseconds timeout, std::function<Clock::time_point()> clock)
    : m_baseUrl(std::move(baseUrl))
    , m_path(std::move(path))
    , m_timeout(timeout)
    , m_clock(clock ? std::move(clock) : [] { return Clock::now(); })
{
}

bool PublicAddressFetcher::tryBegin(Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (m_inFlight || now < m_notBefore)
        return false;
    m_inFlight = true;
    return true;
}

std::optional<std::string> PublicAddressFetcher::fetch()
{
    std::optional<std::string> address;
    PrivacyMetricsEngine::shared().recordOwnNetworkCall(m_baseUrl + m_path, "Look up the public IP address");
    try {
        httplib::Client client(m_baseUrl);
        client.set_connection_timeout(m_timeout);
        client.set_read_timeout(m_timeout);
        client.set_write_timeout(m_timeout);
        if (auto response = client.Get(m_path); response && response->status == 200)
            address = parseAddress(response->body);
    } catch (const std::exception&) {
        // A malformed address makes the client throw; that is a failed fetch like any other.
    }
    finish(address.has_value(), m_clock());
    return address;
}

void PublicAddressFetcher::finish(bool succeeded, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    m_inFlight = false;
    m_failures = succeeded ? 0 : m_failures + 1;
    m_notBefore = succeeded ? Clock::time_point {} : now + backoffAfter(m_failures);
}

std::chrono::seconds PublicAddressFetcher::backoffAfter(int failures)
{
    if (failures <= 0)
        return std::chrono::seconds(0);
    constexpr long first = 5;
    constexpr long longest = 300;
    const int doublings = std::min(failures - 1, 10);
    return std::chrono::seconds(std::min(first << doublings, longest));
}

std::optional<std::string> PublicAddressFetcher::parseAddress(std::string_view body)
{
    constexpr std::string_view space = " \t\r\n";
    const std::size_t start = body.find_first_not_of(space);
    if (start == std::string_view::npos)
        return std::nullopt;
    const std::string text(body.substr(start, body.find_last_not_of(space) - start + 1));
    unsigned char buffer[16];
    if (::inet_pton(AF_INET, text.c_str(), buffer) == 1 || ::inet_pton(AF_INET6, text.c_str(), buffer) == 1)
        return text;
    return std::nullopt;
}
