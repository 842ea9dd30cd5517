#include "platform/ipc/HelperProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

// Whatever a local user writes to the root helper's socket goes through this decoder. Besides not
// crashing, a line it accepts must survive encoding and decoding unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto decoded = platform::decodeHelperRequest(line);
    if (const auto* request = std::get_if<platform::HelperRequest>(&decoded)) {
        const auto again = platform::decodeHelperRequest(platform::encodeHelperRequest(*request));
        const auto* same = std::get_if<platform::HelperRequest>(&again);
        if (!same || !(*same == *request))
            std::abort();
    } else {
        const auto& failure = std::get<platform::RequestDecodeFailure>(decoded);
        // The refusal is sent back as a reply; it must always be encodable and readable.
        const auto reply = platform::failureReply(failure.id, platform::badRequestError(failure.message));
        if (!platform::decodeHelperReply(platform::encodeHelperReply(reply)))
            std::abort();
    }
    return 0;
}
