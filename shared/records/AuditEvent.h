#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>

// One privileged action of the application, as its audit log and the privacy views show it.
struct AuditEvent
{
    Uuid id;
    Date timestamp;
    // Free-form category chosen by the caller.
    std::string category;
    std::string actionDescription;
    std::optional<std::string> targetProcess;
    std::optional<std::int32_t> targetPid;
    bool success = false;

    bool operator==(const AuditEvent&) const = default;
};

void to_json(Json& j, const AuditEvent& e);
void from_json(const Json& j, AuditEvent& e);
