#pragma once

#include "engines/PowerMetrics.h"
#include "platform/ipc/DomainError.h"
#include "platform/ipc/HelperProtocol.h"
#include "records/AuditEvent.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The application's only client of the root helper. One connection is opened on first use and
// opened again after it breaks; every request is bounded by a 1.5 s time-out and answered by
// exactly one of its reply, a connection error or the time-out. Safe from any thread; requests of
// several threads share the connection and are in flight together. Every call blocks its caller
// for at most the time-out, so the GUI thread hands them to a worker. The helper is installed
// through HelperService, not through this client.
class XPCConnection
{
public:
    using Error = platform::DomainError;
    template<class T> using Result = platform::Result<T>;

    static constexpr const char* kErrorDomain = "QVXPCError";
    static constexpr std::chrono::milliseconds kTimeout {1500};
    // The code, in kErrorDomain, of a request left unanswered past kTimeout.
    static constexpr int kTimedOutCode = -2;

    // A request that timed out may still have been carried out.
    static bool timedOut(const Error& error) { return error.domain == kErrorDomain && error.code == kTimedOutCode; }

    XPCConnection();
    virtual ~XPCConnection();
    XPCConnection(const XPCConnection&) = delete;
    XPCConnection& operator=(const XPCConnection&) = delete;

    // The requests, virtual so that a client reaching no helper can stand in for this one.
    // SIGSTOP; with startTicks (when the process started, in clock ticks after boot) the helper
    // refuses, with kHelperConflict, a pid that now belongs to a later process.
    virtual Result<void> freezeProcess(std::int32_t pid, std::optional<std::uint64_t> startTicks = std::nullopt);
    virtual Result<void> resumeProcess(std::int32_t pid); // SIGCONT
    virtual Result<void> pauseFileIndexer();
    virtual Result<void> resumeFileIndexer();
    // Writes dirty pages back and drops the clean caches (needs the helper's root).
    virtual Result<void> purgeMemory();
    virtual Result<PowerMetrics> getPowerMetrics();
    virtual Result<std::string> getVersion();

    // Every request's outcome is handed to the recorder as a helper action with the category
    // "SIGSTOP", "SIGCONT", "Spotlight", "Power" or "System". By default it goes to the audit log,
    // whose new-event callback feeds the privacy pages' live activity.
    using ActionRecorder = std::function<void(const AuditEvent&)>;
    void setActionRecorder(ActionRecorder recorder);

    // Reads "CPU Power:" and "GPU Power:" figures (mW or W) from the power sampler's text.
    static PowerMetrics parsePowerMetrics(std::string_view data);

private:
    class Link;
    struct Pending;

    Result<std::shared_ptr<Link>> helperLink();
    Result<platform::HelperReply> executeXPC(platform::HelperRequest request);
    Result<void> simpleRequest(platform::HelperRequest request, const char* failureText);
    // A request that acts on the whole machine, logged under `category`.
    Result<void> machineRequest(
        platform::HelperOp op, const char* failureText, const char* category, const char* description);
    Result<void> sendSignal(std::int32_t pid, int signal, std::optional<std::uint64_t> startTicks = std::nullopt);
    void recordAction(const char* category, std::string description, const std::optional<Error>& failure,
        std::optional<std::int32_t> pid = std::nullopt, std::optional<std::string> target = std::nullopt);

    const std::string m_socketPath;
    mutable std::mutex m_mutex;
    std::shared_ptr<Link> m_link;
    std::int64_t m_nextId = 0;
    ActionRecorder m_recorder;
};
