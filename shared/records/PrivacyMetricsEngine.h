#pragma once

#include "AuditEvent.h"
#include "DataEraser.h"
#include "DataInventory.h"
#include "HelperStatus.h"
#include "PrivacyLocations.h"
#include "PrivacyStores.h"

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/RawEnum.h"
#include "core/Uuid.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class HelperServiceProbe;
}

// The store behind the privacy and transparency pages: the live list of helper actions and its
// listeners, the ledger of the program's own network calls, what the program keeps on disk
// (DataInventory), the helper's status (HelperStatus), erasure by category (DataEraser) and the check
// for leftovers after an uninstall.
// Safe from any thread; inventory, status and erasure block on the disk, the bus and the helper
// socket, so views call them from a worker.
class PrivacyMetricsEngine
{
public:
    static constexpr std::size_t kMaxRecentHelperActions = 50;
    static constexpr double kDaySeconds = 86400;

    struct OwnNetworkCall
    {
        Uuid id;
        Date timestamp; // the latest call counted in the entry
        std::string destination;
        std::string purpose;
        bool isExpected = true;
        int callCount = 1;

        bool operator==(const OwnNetworkCall&) const = default;
    };

    using DataInventory = ::DataInventory;
    using HelperStatus = ::HelperStatus;
    using ClearableDataType = ::ClearableDataType;
    static std::optional<std::string> warningMessage(ClearableDataType type)
    {
        return DataEraser::warningMessage(type);
    }

    struct UninstallVerification
    {
        struct PathCheck
        {
            Uuid id;
            std::string path;
            std::string description;
            bool exists = false;
            bool isEmpty = true;

            bool operator==(const PathCheck&) const = default;
        };
        std::vector<PathCheck> checks;

        bool isClean() const;
        bool operator==(const UninstallVerification&) const = default;
    };

    // The stores whose contents the engine measures and erases, reached through their owners.
    using Stores = PrivacyStores;

    // A listener of the helper activity; it hears every action recorded from its creation until it
    // is destroyed or cancelled. Outliving the engine is harmless.
    class HelperActivityStream
    {
    public:
        ~HelperActivityStream();
        HelperActivityStream(const HelperActivityStream&) = delete;
        HelperActivityStream& operator=(const HelperActivityStream&) = delete;
        void cancel();

    private:
        friend class PrivacyMetricsEngine;
        struct Listener;
        struct Registry;
        HelperActivityStream(std::weak_ptr<Registry> registry, Uuid id);
        std::weak_ptr<Registry> m_registry;
        Uuid m_id;
    };

    // The engine of the whole program, over the real stores, systemd and the helper's socket.
    static PrivacyMetricsEngine& shared();

    PrivacyMetricsEngine(Stores stores, PrivacyLocations locations, std::shared_ptr<platform::HelperServiceProbe> probe,
        std::function<Date()> clock = &Date::now);
    ~PrivacyMetricsEngine();
    PrivacyMetricsEngine(const PrivacyMetricsEngine&) = delete;
    PrivacyMetricsEngine& operator=(const PrivacyMetricsEngine&) = delete;

    std::vector<AuditEvent> recentHelperActions() const;
    // The callback runs on the thread that records the action; a view hands it to its own thread.
    std::unique_ptr<HelperActivityStream> helperActivityStream(std::function<void(const AuditEvent&)> onEvent);
    void recordHelperAction(const AuditEvent& event);

    std::vector<OwnNetworkCall> ownNetworkActivity() const;
    // Calls to the same destination for the same purpose on the same local calendar day share one entry.
    void recordOwnNetworkCall(const std::string& destination, const std::string& purpose);
    int last24HourCallCount() const;
    int outboundNonLocalCallCount() const;
    // Whether the last request to the local model server was answered with a status of 200..399;
    // nothing before the first request. The network page calls the server active only then.
    void recordModelServerReply(bool answered);
    std::optional<bool> modelServerAnswered() const;

    DataInventory calculateDataInventory() const;
    HelperStatus helperStatus() const;
    // Erases each chosen category through the store that owns it and answers the categories that
    // could not be erased (a file that was already gone is no failure).
    std::vector<ClearableDataType> clearData(const std::set<ClearableDataType>& types);
    std::vector<ClearableDataType> clearAllData();
    // Told, after each erasure, which categories were erased, so that engines holding a copy in
    // memory (the persona engine's saved-you counters) drop it too. Runs on the erasing thread.
    using ErasureListener = std::function<void(const std::set<ClearableDataType>& erased)>;
    void setOnErased(ErasureListener listener);
    UninstallVerification verifyCompleteRemoval() const;

private:
    const Stores m_stores;
    const PrivacyLocations m_locations;
    const std::shared_ptr<platform::HelperServiceProbe> m_probe;
    const std::function<Date()> m_clock;
    mutable std::mutex m_mutex;
    std::vector<AuditEvent> m_recentHelperActions;
    std::vector<OwnNetworkCall> m_ownNetworkActivity;
    std::optional<bool> m_modelServerAnswered;
    std::shared_ptr<HelperActivityStream::Registry> m_listeners;
    ErasureListener m_onErased;
    const DataEraser m_eraser;
};

void to_json(Json& j, const PrivacyMetricsEngine::OwnNetworkCall& c);
void from_json(const Json& j, PrivacyMetricsEngine::OwnNetworkCall& c);
