#pragma once

#include "AutoPersona.h"

#include "core/Date.h"
#include "core/JsonCodec.h"

#include <cstdint>
#include <optional>
#include <string>

// One period during which a persona was active; `deactivated` is absent while it still is.
struct PersonaEvent
{
    // The trigger of a persona switched on by hand.
    static inline const std::string manualOverrideTrigger = "manual override";

    AutoPersona persona = AutoPersona::compileMode;
    // Why it became active: a process name, "power disconnected", "model loaded", "manual override".
    std::string trigger;
    Date activated;
    std::optional<Date> deactivated;
    // How many processes the activation suspended.
    std::int64_t processesAffected = 0;

    // "<persona>-<activation as seconds since 1970>", e.g. "Compile Mode-1700000000.0". Two events of
    // the same persona activated at the same instant share an id.
    std::string id() const;

    bool operator==(const PersonaEvent&) const = default;
};

void to_json(Json& j, const PersonaEvent& e);
void from_json(const Json& j, PersonaEvent& e);
