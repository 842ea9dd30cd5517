#include "AuditEvent.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

void to_json(Json& j, const AuditEvent& e)
{
    j = Json {{"id", e.id}, {"timestamp", e.timestamp}, {"category", e.category},
        {"actionDescription", e.actionDescription}, {"success", e.success}};
    putOptional(j, "targetProcess", e.targetProcess);
    putOptional(j, "targetPid", e.targetPid);
}

void from_json(const Json& j, AuditEvent& e)
{
    e.id = require<Uuid>(j, "id");
    e.timestamp = require<Date>(j, "timestamp");
    e.category = require<std::string>(j, "category");
    e.actionDescription = require<std::string>(j, "actionDescription");
    e.targetProcess = optional<std::string>(j, "targetProcess");
    e.targetPid = optional<std::int32_t>(j, "targetPid");
    e.success = require<bool>(j, "success");
}
