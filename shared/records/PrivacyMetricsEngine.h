#pragma once

#include "AuditEvent.h"
#include "PrivacyLocations.h"

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

class AssistanceTracker;
class AuditLogger;
class UserDefaults;
namespace platform {
class HelperServiceProbe;
}

// The store behind the privacy and transparency pages: the live list of helper actions and its
// listeners, the ledger of the program's own network calls, what the program keeps on disk, the
// helper's status, erasure by category and the check for leftovers after an uninstall.
// Safe from any thread; inventory, status and erasure block on the disk, the bus and the helper
// socket, so views call them from a worker.
class PrivacyMetricsEngine
{
public:
    static constexpr std::size_t kMaxRecentHelperActions = 50;
    static constexpr double kDaySeconds = 86400;
    static inline const std::string helperBundleID = "com.quorvane.helper";
    static inline const std::string helperSocketUnit = "com.quorvane.helper.socket";

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

    struct DataInventory
    {
        int auditLogEntries = 0;
        std::int64_t auditLogSizeBytes = 0;
        int memoryHistoryDays = 0; // calendar days that hold assistance events
        std::int64_t memoryHistorySizeBytes = 0;
        int buildHistorySessions = 0; // builds counted in the build statistics
        std::int64_t buildHistorySizeBytes = 0;
        int weeklyDigestCount = 0;
        std::int64_t weeklyDigestSizeBytes = 0;
        std::int64_t settingsSizeBytes = 0;
        // Processes the persona engine holds suspended, kept so a restart can resume them.
        int suspendedProcessCount = 0;
        std::int64_t suspendedProcessesSizeBytes = 0;

        std::int64_t totalSizeBytes() const;
        QString totalSizeFormatted() const;
        // ~/.local/share/Quorvane; not created here.
        static QString dataDirectory();

        bool operator==(const DataInventory&) const = default;
    };

    struct HelperStatus
    {
        bool isInstalled = false;
        bool isConnected = false;
        std::optional<std::string> version;
        std::string bundleID = helperBundleID;
        std::string teamID;
        // The installed helper binary is root-owned and writable by nobody else.
        bool isRootOwned = false;
        // The capability and sandbox settings of the installed service unit ("Key=value"); empty when
        // the helper is not installed.
        std::vector<std::string> entitlements;

        std::vector<std::pair<std::string, std::string>> entitlementDescriptions() const;

        bool operator==(const HelperStatus&) const = default;
    };

    enum class ClearableDataType { auditLog, memoryHistory, buildHistory, weeklyDigests, savedYouMetrics, settings };
    static std::optional<std::string> warningMessage(ClearableDataType type);

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
    struct Stores
    {
        AuditLogger* auditLogger = nullptr;
        AssistanceTracker* assistance = nullptr;
        UserDefaults* defaults = nullptr;
    };

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
    bool clearOne(ClearableDataType type);

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
};

template<> struct RawEnumTable<PrivacyMetricsEngine::ClearableDataType>
{
    using T = PrivacyMetricsEngine::ClearableDataType;
    static constexpr std::array cases {
        std::pair {T::auditLog, std::string_view("Audit Log")},
        std::pair {T::memoryHistory, std::string_view("Memory History")},
        std::pair {T::buildHistory, std::string_view("Build History")},
        std::pair {T::weeklyDigests, std::string_view("Weekly Digests")},
        std::pair {T::savedYouMetrics, std::string_view("Saved You Lifetime Metrics")},
        std::pair {T::settings, std::string_view("All Settings (resets to defaults)")},
    };
};

void to_json(Json& j, const PrivacyMetricsEngine::OwnNetworkCall& c);
void from_json(const Json& j, PrivacyMetricsEngine::OwnNetworkCall& c);
