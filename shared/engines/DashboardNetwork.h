#pragma once

#include "DashboardSampler.h"

#include "core/PendingWork.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PublicAddressFetcher;

// One established external TCP connection as the connections tab lists it.
struct ConnectionRow
{
    QString remote; // "local->remote"
    QString status;
    QString processName;
    QString pid;
    bool operator==(const ConnectionRow&) const = default;
};

// The dashboard's network figures that cost something to read, read only while a view that shows them
// holds a demand: the established connections and the public address. Lives on the GUI thread inside the
// dashboard model, which forwards its signals.
class DashboardNetwork : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 15;
    static inline const QString kCheckingPublicIP = QStringLiteral("Checking...");
    // Shown once a lookup has failed before any succeeded: nothing is being checked until the next try.
    static inline const QString kUnknownPublicIP = QStringLiteral("—");

    // The listings run on `pool`, which outlives this object.
    DashboardNetwork(std::shared_ptr<DashboardSampler> sampler, QThreadPool& pool, const DashboardSources& sources,
        QObject* parent = nullptr);

    // Ends the process behind a connection row (pid as the row holds it) and lists the connections again
    // 0.25 s later. Ids that are not a positive number are ignored.
    QFuture<void> killConnectionProcess(const QString& pid);

    // The connection list costs the kernel a walk of its whole socket table, so ticks list connections only
    // while a view that shows them holds a demand. The first demand lists them at once (the returned future
    // finishes when that listing is published); the last release empties the list, so that a view opened
    // later never shows an old one.
    QFuture<void> retainConnections();
    void releaseConnections();
    bool listsConnections() const { return m_connectionDemand > 0; }

    // The public address is asked of an outside service, so it is looked up only while a view that shows
    // it holds a demand: at once when the first demand comes (unless the last lookup is recent), then
    // again every PublicAddressFetcher::refreshInterval at most, however often the ticks come, and never
    // with no demand.
    void retainPublicAddress();
    void releasePublicAddress();
    bool looksUpPublicAddress() const { return m_publicAddressDemand > 0; }

    // A tick's share: starts the public-address lookup when one is due and publishes the connections the
    // tick listed. True when a figure changed; figuresChanged is then the tick's to send.
    bool publishTick(const DashboardSample& sample);

    const std::vector<ConnectionRow>& activeConnections() const { return m_activeConnections; }
    // True once a listing for the views that hold a demand has been published: an empty list is then
    // "no connections" rather than "not listed yet".
    bool connectionsListed() const { return m_connectionsListed; }
    QString publicIP() const { return m_publicIP; }

signals:
    void activeConnectionsChanged();
    void connectionsListedChanged();
    void publicIPChanged();
    // After a publication outside a tick, once the figures that changed have been signalled.
    void figuresChanged();

private:
    // True when the rows or the listed flag changed.
    bool publishConnections(const std::vector<platform::TcpConnection>& connections);
    // Lists the connections on the pool and publishes them while some view still wants them.
    QFuture<void> listConnections(std::chrono::milliseconds delay = {});
    void fetchPublicIP();

    std::vector<ConnectionRow> m_activeConnections;
    bool m_connectionsListed = false;
    QString m_publicIP = kCheckingPublicIP;

    // Used on the pool's threads by the listings, beside the tick in flight.
    std::shared_ptr<DashboardSampler> m_sampler;
    QThreadPool& m_pool;
    std::shared_ptr<PublicAddressFetcher> m_publicAddress;
    std::function<std::chrono::steady_clock::time_point()> m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_lastPublicLookup;
    int m_connectionDemand = 0;
    int m_publicAddressDemand = 0;
    PendingWork m_work {this, &m_pool};
};
