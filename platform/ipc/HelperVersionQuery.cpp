#include "HelperVersionQuery.h"

#include "platform/ipc/HelperProtocol.h"
#include "platform/ipc/LineChannel.h"
#include "platform/ipc/UnixSocket.h"

#include <cstdlib>

namespace platform {

std::string helperSocketPath()
{
    const char* path = std::getenv(kHelperSocketEnvironment);
    return path && *path ? path : kDefaultHelperSocketPath;
}

std::optional<std::string> queryHelperVersion(const std::string& socketPath, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto fd = connectUnixSocket(socketPath);
    if (!fd)
        return std::nullopt;
    constexpr std::int64_t kRequestId = 1;
    if (writeLine(fd.value().get(), encodeHelperRequest({kRequestId, HelperOp::getVersion, 0, 0}), timeout) != 0)
        return std::nullopt;
    LineChannel channel(fd.value().get());
    for (;;) {
        const auto result = channel.readLine(deadline);
        if (result.status == LineChannel::Status::Oversized)
            continue;
        if (result.status != LineChannel::Status::Line)
            return std::nullopt;
        const auto reply = decodeHelperReply(result.line);
        if (!reply || reply->id != kRequestId)
            continue;
        if (!reply->ok || reply->error)
            return std::nullopt;
        return reply->version;
    }
}

} // namespace platform
