#include "DashboardNetwork.h"

#include "ChangeBatch.h"
#include "PublicAddressFetcher.h"
#include "core/PoolWork.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>
#include <thread>

DashboardNetwork::DashboardNetwork(
    std::shared_ptr<DashboardSampler> sampler, QThreadPool& pool, const DashboardSources& sources, QObject* parent)
    : QObject(parent)
    , m_sampler(std::move(sampler))
    , m_pool(pool)
    , m_publicAddress(std::make_shared<PublicAddressFetcher>(
          sources.publicAddressUrl, "/", std::chrono::milliseconds(3000), sources.clock))
    , m_clock(sources.clock ? sources.clock : [] { return std::chrono::steady_clock::now(); })
{
}

bool DashboardNetwork::publishTick(const DashboardSample& sample)
{
    if (looksUpPublicAddress())
        fetchPublicIP();
    // A list read before the last view closed is not kept: the next one to open lists afresh.
    return sample.connectionsListed && listsConnections() && publishConnections(sample.connections);
}

void DashboardNetwork::retainPublicAddress()
{
    if (m_publicAddressDemand++ == 0)
        fetchPublicIP();
}

void DashboardNetwork::releasePublicAddress()
{
    if (m_publicAddressDemand > 0)
        --m_publicAddressDemand;
}

void DashboardNetwork::fetchPublicIP()
{
    // A failed lookup counts too: an offline machine is asked no more often, and the fetcher's own
    // back-off holds on top of this.
    const auto now = m_clock();
    if (m_lastPublicLookup && now - *m_lastPublicLookup < PublicAddressFetcher::refreshInterval)
        return;
    if (!m_publicAddress->tryBegin(now))
        return;
    m_lastPublicLookup = now;
    // The lookup may take the fetcher's whole time-out, and is not waited for: the answer of one that
    // outlives this object is dropped.
    auto fetcher = m_publicAddress;
    runOnPool(
        QThreadPool::globalInstance(), this, [fetcher] { return fetcher->fetch(); },
        [this](const std::optional<std::string>& address) {
            // A failure keeps an address already known; before any, "Checking..." would claim a lookup that
            // has ended.
            if (!address && m_publicIP != kCheckingPublicIP)
                return;
            ChangeBatch changes(*this);
            changes.publish(m_publicIP, address ? QString::fromStdString(*address) : kUnknownPublicIP,
                &DashboardNetwork::publicIPChanged);
            changes.finish();
        });
}

bool DashboardNetwork::publishConnections(const std::vector<platform::TcpConnection>& connections)
{
    std::vector<ConnectionRow> rows;
    for (const auto& c : connections) {
        if (rows.size() == kMaxConnections)
            break;
        rows.push_back({QString::fromStdString(c.local + "->" + c.remote), QStringLiteral("ESTABLISHED"),
            QString::fromStdString(c.processName), QString::number(c.pid)});
    }
    // An empty list is the views' to state; no row stands in for a connection that is not there.
    const bool rowsChanged
        = publishFigure(*this, m_activeConnections, rows, &DashboardNetwork::activeConnectionsChanged);
    return publishFigure(*this, m_connectionsListed, true, &DashboardNetwork::connectionsListedChanged) || rowsChanged;
}

QFuture<void> DashboardNetwork::killConnectionProcess(const QString& pid)
{
    const std::string text = pid.toStdString();
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    std::int32_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number < 1)
        return QtFuture::makeReadyFuture();

    std::vector<ConnectionRow> remaining;
    std::copy_if(m_activeConnections.begin(), m_activeConnections.end(), std::back_inserter(remaining),
        [&](const ConnectionRow& row) { return row.pid != pid; });
    ChangeBatch changes(*this);
    changes.publish(m_activeConnections, remaining, &DashboardNetwork::activeConnectionsChanged);
    changes.finish();

    if (::kill(number, SIGKILL) != 0) {
        const int error = errno;
        std::printf("Failed to kill connection PID %d: %s\n", number, std::strerror(error));
        std::fflush(stdout);
        return QtFuture::makeReadyFuture();
    }
    // Give the kernel a moment to close the dead process's sockets before listing again.
    return listConnections(std::chrono::milliseconds(250));
}

QFuture<void> DashboardNetwork::retainConnections()
{
    if (m_connectionDemand++ > 0)
        return QtFuture::makeReadyFuture();
    return listConnections();
}

void DashboardNetwork::releaseConnections()
{
    if (m_connectionDemand == 0 || --m_connectionDemand > 0)
        return;
    ChangeBatch changes(*this);
    changes.publish(m_activeConnections, {}, &DashboardNetwork::activeConnectionsChanged);
    changes.publish(m_connectionsListed, false, &DashboardNetwork::connectionsListedChanged);
    changes.finish();
}

QFuture<void> DashboardNetwork::listConnections(std::chrono::milliseconds delay)
{
    return m_work.run(
        [sampler = m_sampler, delay] {
            if (delay.count() > 0)
                std::this_thread::sleep_for(delay);
            return sampler->connections();
        },
        [this](const std::vector<platform::TcpConnection>& connections) {
            if (listsConnections() && publishConnections(connections))
                emit figuresChanged();
        });
}
