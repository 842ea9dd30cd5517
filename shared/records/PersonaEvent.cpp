#include "PersonaEvent.h"

#include "core/NumberFormat.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

std::string PersonaEvent::id() const
{
    return rawValue(persona) + "-" + shortestDecimal(activated.timeIntervalSince1970());
}

void to_json(Json& j, const PersonaEvent& e)
{
    j = Json {{"persona", e.persona}, {"trigger", e.trigger}, {"activated", e.activated},
        {"processesAffected", e.processesAffected}};
    putOptional(j, "deactivated", e.deactivated);
}

void from_json(const Json& j, PersonaEvent& e)
{
    e.persona = require<AutoPersona>(j, "persona");
    e.trigger = require<std::string>(j, "trigger");
    e.activated = require<Date>(j, "activated");
    e.deactivated = optional<Date>(j, "deactivated");
    e.processesAffected = require<std::int64_t>(j, "processesAffected");
}
