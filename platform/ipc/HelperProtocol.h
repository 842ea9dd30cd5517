#pragma once

#include "platform/ipc/DomainError.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The messages between the application and its root helper: one compact JSON object per line.
// A request names its operation and carries an id that its one reply repeats, so several requests
// may be in flight on one connection.
namespace platform {

inline constexpr std::size_t kMaxHelperMessageBytes = 64 * 1024;
inline constexpr const char* kHelperVersion = "1.0.0";
inline constexpr const char* kDefaultHelperSocketPath = "/run/quorvane/com.quorvane.helper.sock";
inline constexpr const char* kHelperSocketEnvironment = "QUORVANE_HELPER_SOCKET";
inline constexpr const char* kHelperErrorDomain = "QVHelperError";

// Codes of the "QVHelperError" domain. A system tool that ends with a non-zero status answers that
// status (1 to 255) as the code, with "Process exited with code <status>".
inline constexpr int kHelperBadRequest = 400; // the line is not a request the helper takes
inline constexpr int kHelperUnauthorized = 403; // the caller or the target is refused
// The target is not the process it was asked for: another process has its pid now, or it was stopped
// by someone else (its user, a shell's job control, a debugger), which the helper leaves as it is.
inline constexpr int kHelperConflict = 409;
inline constexpr int kHelperRateLimited = 429; // over one user's signal rate or machine-wide request rate
// A stop the helper could not write to its list of stopped processes (a full or read-only folder) is
// refused, and not sent.
inline constexpr int kHelperCannotRecord = 507;
// Ask again later: the user's slow operations are all under way, the helper is short of descriptors or
// memory (to check the caller or the target, or to write its list of stopped processes), it could not
// tell which processes hold the caller's end of the connection, or it cannot watch the program that
// asks for a stop (that user's programs holding stops are all watched, or no descriptor is free for
// it), and so does not send the stop.
inline constexpr int kHelperBusy = 503;

enum class HelperOp { sendSignal, pauseFileIndexer, resumeFileIndexer, getPowerMetrics, getVersion, purgeMemory };

const char* helperOpName(HelperOp op);

struct HelperRequest
{
    std::int64_t id = 0;
    HelperOp op = HelperOp::getVersion;
    std::int32_t signal = 0; // sendSignal only
    std::int32_t pid = 0; // sendSignal only
    // sendSignal only, optional: the start time (clock ticks after boot, as /proc/<pid>/stat gives it)
    // of the process the caller chose, so that a process given its pid since is never signalled.
    std::optional<std::uint64_t> startTime = std::nullopt;

    bool operator==(const HelperRequest&) const = default;
};

// Why a line is not a request; `id` is set when the line carried a usable one, so the error reply
// can name the request it refuses.
struct RequestDecodeFailure
{
    std::optional<std::int64_t> id;
    std::string message;
};

// Strict: one flat object, no duplicate or unknown keys, integers of the right range, exactly the
// keys the operation takes (and, for sendSignal, an optional "startTime").
std::variant<HelperRequest, RequestDecodeFailure> decodeHelperRequest(std::string_view line);
std::string encodeHelperRequest(const HelperRequest& request);

struct HelperReply
{
    std::optional<std::int64_t> id; // absent only when the request's own id could not be read
    bool ok = false;
    std::optional<DomainError> error;
    std::optional<std::string> data;
    std::optional<std::string> version;

    bool operator==(const HelperReply&) const = default;
};

HelperReply successReply(std::int64_t id);
HelperReply failureReply(std::optional<std::int64_t> id, DomainError error);
DomainError badRequestError(std::string message);

// Text that is not valid UTF-8 is encoded with replacement characters rather than failing.
std::string encodeHelperReply(const HelperReply& reply);
// Keys this side does not know are ignored so that a newer helper stays readable; a known key
// of the wrong type makes the whole reply unreadable.
std::optional<HelperReply> decodeHelperReply(std::string_view line);

} // namespace platform
